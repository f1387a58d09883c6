#include "platform/Interrupts.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

namespace lanscope {

namespace {

// The self-pipe: the handler only writes the signal's number to it, which is
// all a signal handler may safely do; the loop reads it.
int g_writeEnd = -1;

extern "C" void OnSignal(int signal) {
    const int saved = errno;
    const unsigned char number = static_cast<unsigned char>(signal);
    if (g_writeEnd >= 0) {
        (void)!::write(g_writeEnd, &number, 1);
    }
    errno = saved;
}

constexpr int kSignals[] = {SIGINT, SIGTERM};

}  // namespace

struct InterruptWatch::System {
    int pipe[2] = {-1, -1};
    struct sigaction previous[2] = {};
    std::unique_ptr<EventLoop::Registration> watch;
};

InterruptWatch::InterruptWatch(EventLoop& loop, std::function<void(int)> onInterrupt)
    : m_onInterrupt(std::move(onInterrupt)), m_system(std::make_unique<System>()) {
    System& system = *m_system;
    if (::pipe(system.pipe) != 0) {
        system.pipe[0] = system.pipe[1] = -1;
        return;  // the signals keep their usual effect
    }
    for (const int end : system.pipe) {
        ::fcntl(end, F_SETFL, ::fcntl(end, F_GETFL) | O_NONBLOCK);
        ::fcntl(end, F_SETFD, FD_CLOEXEC);
    }
    g_writeEnd = system.pipe[1];
    struct sigaction action = {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a read from the terminal (a password) ends with EINTR.
    action.sa_flags = 0;
    for (std::size_t i = 0; i < std::size(kSignals); ++i) {
        ::sigaction(kSignals[i], &action, &system.previous[i]);
    }
    system.watch = loop.watchReadable(system.pipe[0], [this] {
        unsigned char number = 0;
        while (::read(m_system->pipe[0], &number, 1) == 1) {
            const int code = 128 + number;
            if (m_received == 0) {
                m_received = code;
                if (m_onInterrupt) {
                    m_onInterrupt(code);
                }
            }
        }
    });
}

InterruptWatch::~InterruptWatch() {
    System& system = *m_system;
    system.watch.reset();
    if (system.pipe[0] < 0) {
        return;
    }
    for (std::size_t i = 0; i < std::size(kSignals); ++i) {
        ::sigaction(kSignals[i], &system.previous[i], nullptr);
    }
    g_writeEnd = -1;
    ::close(system.pipe[0]);
    ::close(system.pipe[1]);
}

void InterruptWatch::done() {}

}  // namespace lanscope
