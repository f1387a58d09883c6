#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "discovery/Senders.h"

namespace lanscope {

class CThread;

// An operating-system failure inside the thread framework, with the system's
// own text. Thrown by value.
class CThreadException {
  public:
    enum Type : std::int32_t {
        kCreateFailed = 1,
        kAlreadyStarted = 2,
        kTerminateFailed = 3,
        kEventFailed = 4,
        kQueueFailed = 5,
    };

    CThreadException(CThread* owner, std::string message, std::int32_t type)
        : m_owner(owner), m_message(std::move(message)), m_type(type) {}

    CThread* owner() const { return m_owner; }
    const std::string& message() const { return m_message; }
    std::int32_t type() const { return m_type; }

  private:
    CThread* m_owner;
    std::string m_message;
    std::int32_t m_type;
};

// A worker thread driven by numbered commands. The owner starts it and posts
// pause, resume and stop; the derived class's Run asks for the next command
// and acts on it. One class-wide lock serialises every object's handles,
// queue and registration.
class CThread {
  public:
    static constexpr std::uint32_t kCmdNone = 0;
    static constexpr std::uint32_t kCmdTimeout = 1;
    static constexpr std::uint32_t kCmdStarted = 2;
    static constexpr std::uint32_t kCmdRun = 3;
    static constexpr std::uint32_t kCmdPause = 4;
    static constexpr std::uint32_t kCmdResume = 5;
    static constexpr std::uint32_t kCmdUser = 6;
    static constexpr std::uint32_t kCmdStop = 7;

    static constexpr std::uint32_t kExitCodeInitial = 0xFFFFFFFEu;
    static constexpr std::uint32_t kStillActive = 259;
    static constexpr std::uint32_t kInfinite = 0xFFFFFFFFu;

    static constexpr const char* kAlreadyStartedText = "Thread is already started!";

    CThread(void* context1 = nullptr, void* context2 = nullptr);
    virtual ~CThread();
    CThread(const CThread&) = delete;
    CThread& operator=(const CThread&) = delete;

    void Start();
    // Asks the thread to end and waits, polling every 100 ms, at most
    // `pollLimit` polls (-1: no limit). True when it has ended.
    bool Stop(std::uint32_t& exitCode, int pollLimit = -1);
    void Pause();
    void Resume();
    // Ends a running thread. Nothing here kills a thread: the stop command is
    // queued and the thread is joined, since a killed thread could leave the
    // class lock held. `quiet` stores the given exit code.
    void Terminate(std::uint32_t exitCode, bool quiet);

    void* Context1() const { return m_context1; }
    void* Context2() const { return m_context2; }
    std::int32_t GetStatus() const { return m_status.load(); }
    void SetStatus(std::int32_t status) { m_status.store(status); }
    std::uint32_t ExitCode() const;
    bool IsRunning() const;

    // Queues at the tail, skipping a code equal to the newest one queued.
    // Returns false with the error text when the command could not be queued.
    bool QueueCommand(std::uint32_t code, std::string& error);
    bool QueueCommandFirst(std::uint32_t code);
    // The oldest queued command; waits up to `timeoutMs` for one (kInfinite:
    // no limit) and gives kCmdTimeout when none came, kCmdNone when this
    // object carries no commands.
    std::uint32_t WaitForCommand(std::uint32_t timeoutMs);

    // For tests and diagnostics: the commands queued now, oldest first.
    std::deque<std::uint32_t> QueuedCommands() const;
    // How many running threads share the synchronicity entry of this name.
    static std::uint32_t SynchronicityCount(const std::string& name);

  protected:
    virtual std::uint32_t Run() = 0;
    virtual void OnTerminated() {}

    // A derived class stops its thread in its own destructor, while Run can
    // still reach the derived object.
    void StopAndJoin();

    bool m_notificationEnabled = false;
    bool m_synchronicityEnabled = false;
    std::string m_name;

  private:
    static void StartRoutine(CThread* self);
    void Reset();
    bool IsRunningUnlocked() const;
    bool QueueCommandUnlocked(std::uint32_t code, std::string& error);
    // Pause and Resume: queued at the tail when a thread exists.
    void QueueOrRaise(std::uint32_t code);
    bool TakeCommand(std::uint32_t& code);
    void Register();
    void Unregister();
    void JoinIfEnded();

    void* m_context1;
    void* m_context2;
    std::thread m_thread;
    bool m_handleHeld = false;
    std::atomic<bool> m_alive{false};
    std::uint32_t m_result = 0;
    mutable std::uint32_t m_exitCode = kExitCodeInitial;
    std::atomic<std::int32_t> m_status{1};
    bool m_registered = false;

    // The auto-reset command event: a flag and a condition variable.
    bool m_eventCreated = false;
    std::mutex m_eventMutex;
    std::condition_variable m_eventSignal;
    bool m_eventSet = false;

    std::deque<std::uint32_t> m_queue;
};

// Sends one discovery request after it is started and one more each time it is
// resumed while paused; never on its own.
class CRequestThread : public CThread {
  public:
    static constexpr std::int32_t kStatusRunning = 2;
    static constexpr std::int32_t kStatusPaused = 3;
    static constexpr std::int32_t kStatusResuming = 4;

    explicit CRequestThread(DiscoveryRequestSender& socket,
                            std::chrono::milliseconds pauseAfterRequest = std::chrono::seconds(1));
    ~CRequestThread() override;

    // Turns of the command loop so far: a paused thread must not spin.
    std::uint64_t LoopTurns() const { return m_turns.load(); }

  protected:
    std::uint32_t Run() override;

  private:
    DiscoveryRequestSender& m_socket;
    std::chrono::milliseconds m_pauseAfterRequest;
    std::atomic<std::uint64_t> m_turns{0};
};

}  // namespace lanscope
