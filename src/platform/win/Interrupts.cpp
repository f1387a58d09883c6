#include "platform/Interrupts.h"

#include <windows.h>

#include <atomic>
#include <chrono>
#include <csignal>

namespace lanscope {

namespace {

// The console calls its handler on a thread of its own: the handler leaves
// the exit code here and the loop's timer takes it.
std::atomic<int> g_pending{0};
// Set once the work has ended, so that the handler of a closing console can
// return (and the process end) only after the records are written.
HANDLE g_finished = nullptr;

// Windows ends the process a few seconds after a close event regardless.
constexpr DWORD kCloseWaitMs = 4000;

BOOL WINAPI OnConsoleEvent(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
            g_pending.store(130);
            return TRUE;
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            g_pending.store(143);
            if (g_finished != nullptr) {
                WaitForSingleObject(g_finished, kCloseWaitMs);
            }
            return TRUE;
        default:
            return FALSE;
    }
}

// The C runtime's own signals (raise, and a Ctrl-C that reaches the runtime
// before this handler is set) take the same way.
extern "C" void OnSignal(int signal) {
    g_pending.store(signal == SIGINT ? 130 : 143);
    std::signal(signal, OnSignal);  // the runtime has put back the default
}

// Often enough that Ctrl-C feels immediate.
constexpr auto kPollInterval = std::chrono::milliseconds(100);

}  // namespace

struct InterruptWatch::System {
    std::unique_ptr<EventLoop::Registration> timer;
    void (*previousInt)(int) = SIG_DFL;
    void (*previousTerm)(int) = SIG_DFL;
};

InterruptWatch::InterruptWatch(EventLoop& loop, std::function<void(int)> onInterrupt)
    : m_onInterrupt(std::move(onInterrupt)), m_system(std::make_unique<System>()) {
    g_pending.store(0);
    g_finished = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
    m_system->previousInt = std::signal(SIGINT, OnSignal);
    m_system->previousTerm = std::signal(SIGTERM, OnSignal);
    m_system->timer = loop.startTimer(kPollInterval, true, [this] {
        const int code = g_pending.exchange(0);
        if (code != 0 && m_received == 0) {
            m_received = code;
            if (m_onInterrupt) {
                m_onInterrupt(code);
            }
        }
    });
}

InterruptWatch::~InterruptWatch() {
    m_system->timer.reset();
    done();
    SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
    std::signal(SIGINT, m_system->previousInt == SIG_ERR ? SIG_DFL : m_system->previousInt);
    std::signal(SIGTERM, m_system->previousTerm == SIG_ERR ? SIG_DFL : m_system->previousTerm);
    if (g_finished != nullptr) {
        CloseHandle(g_finished);
        g_finished = nullptr;
    }
}

void InterruptWatch::done() {
    if (g_finished != nullptr) {
        SetEvent(g_finished);
    }
}

}  // namespace lanscope
