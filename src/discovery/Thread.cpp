#include "discovery/Thread.h"

#include <algorithm>
#include <list>
#include <memory>
#include <system_error>

namespace lanscope {

namespace {

// A critical section may be entered again by its holder; so may this lock.
std::recursive_mutex& ClassLock() {
    static std::recursive_mutex lock;
    return lock;
}

struct SynchronicityEntry {
    std::string name;
    std::unique_ptr<std::mutex> section;
    std::uint32_t count = 0;
};

std::list<SynchronicityEntry>& SynchronicityList() {
    static std::list<SynchronicityEntry> list;
    return list;
}

std::list<SynchronicityEntry>::iterator FindEntry(const std::string& name) {
    auto& list = SynchronicityList();
    return std::find_if(list.begin(), list.end(),
                        [&](const SynchronicityEntry& entry) { return entry.name == name; });
}

}  // namespace

CThread::CThread(void* context1, void* context2) : m_context1(context1), m_context2(context2) {
    Reset();
}

CThread::~CThread() {
    StopAndJoin();
    std::lock_guard lock(ClassLock());
    Reset();
}

void CThread::StopAndJoin() {
    if (IsRunning()) {
        try {
            Terminate(0, true);
        } catch (...) {
            // The destructor never raises.
        }
    }
    JoinIfEnded();
}

void CThread::Reset() {
    m_handleHeld = false;
    m_status = 1;
    m_registered = false;
    m_queue.clear();
    m_queue.shrink_to_fit();
}

bool CThread::IsRunningUnlocked() const {
    if (!m_handleHeld) {
        return false;
    }
    m_exitCode = m_alive ? kStillActive : m_result;
    return m_exitCode == kStillActive;
}

bool CThread::IsRunning() const {
    std::lock_guard lock(ClassLock());
    return IsRunningUnlocked();
}

std::uint32_t CThread::ExitCode() const {
    std::lock_guard lock(ClassLock());
    return m_exitCode;
}

void CThread::JoinIfEnded() {
    // Only the owner joins; a thread that has done its exit bookkeeping
    // returns at once.
    if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id()) {
        bool ended;
        {
            std::lock_guard lock(ClassLock());
            ended = !m_handleHeld || !m_alive;
        }
        if (ended) {
            m_thread.join();
        }
    }
}

bool CThread::QueueCommandUnlocked(std::uint32_t code, std::string& error) {
    error.clear();
    if (!m_notificationEnabled || !m_eventCreated || code == kCmdNone) {
        return true;
    }
    if (!m_queue.empty() && m_queue.back() == code) {
        return true;  // a burst of equal posts costs one slot
    }
    try {
        m_queue.push_back(code);
    } catch (const std::bad_alloc&) {
        return false;
    }
    {
        std::lock_guard eventLock(m_eventMutex);
        m_eventSet = true;
    }
    m_eventSignal.notify_one();
    return true;
}

bool CThread::QueueCommand(std::uint32_t code, std::string& error) {
    std::lock_guard lock(ClassLock());
    return QueueCommandUnlocked(code, error);
}

bool CThread::QueueCommandFirst(std::uint32_t code) {
    std::lock_guard lock(ClassLock());
    if (!m_handleHeld || !m_notificationEnabled || code == kCmdNone) {
        return false;
    }
    try {
        m_queue.push_front(code);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool CThread::TakeCommand(std::uint32_t& code) {
    std::lock_guard lock(ClassLock());
    code = kCmdNone;
    if (!m_notificationEnabled || !m_eventCreated || m_queue.empty()) {
        return false;
    }
    code = m_queue.front();
    m_queue.pop_front();
    return true;
}

std::uint32_t CThread::WaitForCommand(std::uint32_t timeoutMs) {
    {
        std::lock_guard lock(ClassLock());
        if (!m_notificationEnabled || !m_eventCreated) {
            return kCmdNone;
        }
    }
    for (;;) {
        std::uint32_t code;
        if (TakeCommand(code)) {
            return code;
        }
        std::unique_lock eventLock(m_eventMutex);
        const auto signalled = [this] { return m_eventSet; };
        bool woke;
        if (timeoutMs == kInfinite) {
            m_eventSignal.wait(eventLock, signalled);
            woke = true;
        } else {
            woke =
                m_eventSignal.wait_for(eventLock, std::chrono::milliseconds(timeoutMs), signalled);
        }
        if (!woke) {
            return kCmdTimeout;
        }
        m_eventSet = false;  // auto-reset
    }
}

std::deque<std::uint32_t> CThread::QueuedCommands() const {
    std::lock_guard lock(ClassLock());
    return m_queue;
}

void CThread::Register() {
    if (!m_synchronicityEnabled) {
        return;
    }
    auto entry = FindEntry(m_name);
    if (entry != SynchronicityList().end()) {
        ++entry->count;
    } else {
        SynchronicityList().push_back({m_name, std::make_unique<std::mutex>(), 1});
    }
    m_registered = true;
}

void CThread::Unregister() {
    if (!m_synchronicityEnabled || !m_registered) {
        return;
    }
    auto entry = FindEntry(m_name);
    if (entry != SynchronicityList().end()) {
        if (entry->count > 1) {
            --entry->count;
        } else {
            SynchronicityList().erase(entry);
        }
    }
    m_registered = false;
}

std::uint32_t CThread::SynchronicityCount(const std::string& name) {
    std::lock_guard lock(ClassLock());
    auto entry = FindEntry(name);
    return entry == SynchronicityList().end() ? 0 : entry->count;
}

void CThread::Start() {
    std::unique_lock lock(ClassLock());
    if (IsRunningUnlocked()) {
        lock.unlock();
        throw CThreadException(this, kAlreadyStartedText, CThreadException::kAlreadyStarted);
    }
    // A previous run of this object has ended; collect its thread.
    if (m_thread.joinable()) {
        m_thread.join();
    }
    Reset();
    if (m_notificationEnabled && !m_eventCreated) {
        m_eventCreated = true;
        std::lock_guard eventLock(m_eventMutex);
        m_eventSet = false;
    }
    Register();
    m_alive = true;
    m_handleHeld = true;
    try {
        m_thread = std::thread(&CThread::StartRoutine, this);
    } catch (const std::system_error& e) {
        m_alive = false;
        m_handleHeld = false;
        Unregister();
        lock.unlock();
        throw CThreadException(this, e.code().message(), CThreadException::kCreateFailed);
    }
    std::string error;
    if (!QueueCommandUnlocked(kCmdStarted, error)) {
        // The new thread cannot be killed; it is told to stop and collected.
        m_queue.clear();
        m_queue.push_back(kCmdStop);
        lock.unlock();
        m_thread.join();
        lock.lock();
        Unregister();
        Reset();
        lock.unlock();
        throw CThreadException(this, error, CThreadException::kQueueFailed);
    }
    m_status = 0;
}

void CThread::StartRoutine(CThread* self) {
    std::uint32_t result = 0;
    try {
        result = self->Run();
    } catch (...) {
        // An exception must not end the program from a worker thread.
        result = 0xFFFFFFFFu;
    }
    std::lock_guard lock(ClassLock());
    self->Unregister();
    self->Reset();
    self->m_result = result;
    self->m_exitCode = result;
    self->m_alive = false;
}

bool CThread::Stop(std::uint32_t& exitCode, int pollLimit) {
    std::unique_lock lock(ClassLock());
    if (!IsRunningUnlocked()) {
        if (m_handleHeld) {
            m_exitCode = m_result;
            Unregister();
        }
        exitCode = m_exitCode;
        Reset();
        lock.unlock();
        JoinIfEnded();
        return true;
    }
    std::string error;
    if (!QueueCommandUnlocked(kCmdStop, error)) {
        exitCode = m_exitCode;
        lock.unlock();
        throw CThreadException(this, error, CThreadException::kQueueFailed);
    }
    lock.unlock();

    int polls = 0;
    while (IsRunning()) {
        if (pollLimit != -1 && polls >= pollLimit) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        ++polls;
    }
    lock.lock();
    exitCode = m_exitCode;
    const bool ended = exitCode != kStillActive;
    lock.unlock();
    if (ended) {
        JoinIfEnded();
    }
    return ended;
}

void CThread::QueueOrRaise(std::uint32_t code) {
    std::unique_lock lock(ClassLock());
    if (!m_handleHeld) {
        return;
    }
    std::string error;
    if (!QueueCommandUnlocked(code, error)) {
        lock.unlock();
        throw CThreadException(this, error, CThreadException::kQueueFailed);
    }
}

void CThread::Pause() {
    QueueOrRaise(kCmdPause);
}

void CThread::Resume() {
    QueueOrRaise(kCmdResume);
}

void CThread::Terminate(std::uint32_t exitCode, bool quiet) {
    std::unique_lock lock(ClassLock());
    if (!IsRunningUnlocked() && !m_handleHeld) {
        m_exitCode = exitCode;
        Reset();
        return;
    }
    std::string error;
    QueueCommandUnlocked(kCmdStop, error);
    lock.unlock();
    if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id()) {
        m_thread.join();
    }
    lock.lock();
    if (quiet) {
        m_exitCode = exitCode;
    }
    Unregister();
    Reset();
    OnTerminated();
}

CRequestThread::CRequestThread(DiscoveryRequestSender& socket,
                               std::chrono::milliseconds pauseAfterRequest)
    : CThread(nullptr, nullptr), m_socket(socket), m_pauseAfterRequest(pauseAfterRequest) {
    m_name = "CGDIThread";
    m_notificationEnabled = true;
    m_synchronicityEnabled = true;
}

CRequestThread::~CRequestThread() {
    StopAndJoin();
}

std::uint32_t CRequestThread::Run() {
    for (;;) {
        ++m_turns;
        // Paused, only a command can change anything, so wait for one rather
        // than cycling.
        const std::uint32_t timeout = GetStatus() == kStatusPaused ? kInfinite : 0;
        switch (WaitForCommand(timeout)) {
            case kCmdTimeout:
                if (GetStatus() != kStatusPaused) {
                    (void)m_socket.SendDiscoveryRequest();
                    std::this_thread::sleep_for(m_pauseAfterRequest);
                    Pause();
                }
                break;
            case kCmdStarted:
                QueueCommandFirst(kCmdRun);
                break;
            case kCmdRun:
                if (GetStatus() != kStatusPaused) {
                    SetStatus(kStatusRunning);
                }
                break;
            case kCmdPause:
                if (GetStatus() != kStatusPaused) {
                    SetStatus(kStatusPaused);
                }
                break;
            case kCmdResume:
                if (GetStatus() == kStatusPaused) {
                    SetStatus(kStatusResuming);
                    QueueCommandFirst(kCmdRun);
                }
                break;
            case kCmdStop:
                return 0;
            default:
                break;
        }
    }
}

}  // namespace lanscope
