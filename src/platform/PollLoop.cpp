#include "platform/PollLoop.h"

#include <algorithm>
#include <cerrno>
#include <thread>

#ifdef _WIN32
#include <winsock2.h>
#else
#include <poll.h>
#endif

namespace lanscope {

namespace {

using Clock = std::chrono::steady_clock;

#ifdef _WIN32
using PollEntry = WSAPOLLFD;
constexpr short kReadable = POLLRDNORM;
int Poll(PollEntry* entries, std::size_t count, int timeoutMs) {
    if (count == 0) {
        // WSAPoll refuses an empty set.
        ::Sleep(static_cast<DWORD>(timeoutMs));
        return 0;
    }
    return ::WSAPoll(entries, static_cast<ULONG>(count), timeoutMs);
}
bool Interrupted() {
    return false;
}
#else
using PollEntry = pollfd;
constexpr short kReadable = POLLIN;
int Poll(PollEntry* entries, std::size_t count, int timeoutMs) {
    return ::poll(entries, static_cast<nfds_t>(count), timeoutMs);
}
bool Interrupted() {
    return errno == EINTR;
}
#endif

}  // namespace

struct PollLoop::Entry {
    SocketHandle socket = kNoSocket;  // a watch when set, else a timer
    Callback callback;
    Clock::time_point due{};
    std::chrono::milliseconds interval{};
    bool repeat = false;
    bool alive = true;
};

namespace {

class PollRegistration : public EventLoop::Registration {
  public:
    PollRegistration(std::weak_ptr<std::vector<std::shared_ptr<PollLoop::Entry>>> entries,
                     std::shared_ptr<PollLoop::Entry> entry)
        : m_entries(std::move(entries)), m_entry(std::move(entry)) {}
    ~PollRegistration() override {
        m_entry->alive = false;
        if (auto entries = m_entries.lock()) {
            std::erase(*entries, m_entry);
        }
    }

  private:
    std::weak_ptr<std::vector<std::shared_ptr<PollLoop::Entry>>> m_entries;
    std::shared_ptr<PollLoop::Entry> m_entry;
};

}  // namespace

PollLoop::PollLoop() : m_entries(std::make_shared<std::vector<std::shared_ptr<Entry>>>()) {}

PollLoop::~PollLoop() = default;

std::unique_ptr<EventLoop::Registration> PollLoop::watchReadable(SocketHandle socket,
                                                                 Callback onReadable) {
    auto entry = std::make_shared<Entry>();
    entry->socket = socket;
    entry->callback = std::move(onReadable);
    m_entries->push_back(entry);
    return std::make_unique<PollRegistration>(m_entries, std::move(entry));
}

std::unique_ptr<EventLoop::Registration> PollLoop::startTimer(std::chrono::milliseconds interval,
                                                              bool repeat, Callback onTimeout) {
    auto entry = std::make_shared<Entry>();
    entry->callback = std::move(onTimeout);
    entry->interval = std::max(interval, std::chrono::milliseconds(0));
    entry->repeat = repeat;
    entry->due = Clock::now() + entry->interval;
    m_entries->push_back(entry);
    return std::make_unique<PollRegistration>(m_entries, std::move(entry));
}

bool PollLoop::runUntil(std::chrono::milliseconds timeout, const std::function<bool()>& done) {
    const auto deadline = Clock::now() + timeout;
    if (done && done()) {
        return true;
    }
    while (Clock::now() < deadline) {
        if (turn(deadline, done)) {
            return true;
        }
    }
    return false;
}

bool PollLoop::turn(Clock::time_point deadline, const std::function<bool()>& done) {
    // A copy: callbacks may add or end registrations while we go through it.
    const std::vector<std::shared_ptr<Entry>> entries = *m_entries;
    std::vector<PollEntry> sockets;
    std::vector<std::shared_ptr<Entry>> watched;
    Clock::time_point wakeUp = deadline;
    for (const auto& entry : entries) {
        if (!entry->alive) {
            continue;
        }
        if (entry->socket != kNoSocket) {
            PollEntry polled{};
            polled.fd = static_cast<decltype(polled.fd)>(entry->socket);
            polled.events = kReadable;
            sockets.push_back(polled);
            watched.push_back(entry);
        } else {
            wakeUp = std::min(wakeUp, entry->due);
        }
    }
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(wakeUp - Clock::now()).count();
    const int ready = Poll(sockets.data(), sockets.size(),
                           static_cast<int>(std::clamp<long long>(wait, 0, 1000 * 60 * 60)));
    if (ready < 0 && !Interrupted()) {
        // Not the sockets' doing alone (out of memory, a closed handle): wait
        // a little rather than spin, and keep the timers going.
        std::this_thread::sleep_for(std::chrono::milliseconds(std::clamp<long long>(wait, 1, 10)));
    }
    const auto finished = [&] { return done && done(); };
    for (std::size_t i = 0; ready > 0 && i < sockets.size(); ++i) {
        // An error or hang-up also calls the owner, whose read then fails and
        // says why; a loop that ignored it would spin.
        if (sockets[i].revents != 0 && watched[i]->alive) {
            watched[i]->callback();
            if (finished()) {
                return true;
            }
        }
    }
    const auto now = Clock::now();
    for (const auto& entry : entries) {
        if (entry->socket != kNoSocket || !entry->alive || entry->due > now) {
            continue;
        }
        if (entry->repeat) {
            entry->due = now + std::max(entry->interval, std::chrono::milliseconds(1));
        } else {
            entry->alive = false;
        }
        entry->callback();
        if (finished()) {
            return true;
        }
    }
    return false;
}

}  // namespace lanscope
