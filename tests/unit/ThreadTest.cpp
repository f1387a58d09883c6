#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "discovery/Thread.h"

namespace lanscope {
namespace {

using namespace std::chrono_literals;

// A thread whose body the test scripts: it records commands until told to end.
class ScriptedThread : public CThread {
  public:
    explicit ScriptedThread(bool notification = true, std::string name = {}) {
        m_notificationEnabled = notification;
        m_synchronicityEnabled = !name.empty();
        m_name = std::move(name);
    }
    ~ScriptedThread() override {
        finish();
        StopAndJoin();
    }

    // Lets a body that takes no commands end.
    void finish() {
        release = true;
        release.notify_all();
    }

    std::atomic<bool> entered{false};
    bool ignoreStop = false;

  protected:
    std::uint32_t Run() override {
        entered = true;
        if (ignoreStop || !m_notificationEnabled) {
            release.wait(false);
            return 7;
        }
        while (WaitForCommand(kInfinite) != kCmdStop) {
        }
        return 42;
    }

  private:
    std::atomic<bool> release{false};
};

// Counts the requests the thread sends.
struct CountingSender : DiscoveryRequestSender {
    std::atomic<int> requests{0};
    Result<std::size_t> SendDiscoveryRequest() override {
        ++requests;
        return kDiscoveryRequestSize;
    }
};

template <class Condition>
bool Eventually(Condition condition, std::chrono::milliseconds limit = 5s) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

TEST(CThread, StopOfANeverStartedThreadReturnsAtOnceWithTheInitialExitCode) {
    ScriptedThread thread;
    std::uint32_t exitCode = 0;
    EXPECT_TRUE(thread.Stop(exitCode));
    EXPECT_EQ(exitCode, 0xFFFFFFFEu);
    EXPECT_EQ(thread.GetStatus(), 1);
}

TEST(CThread, StartedThreadRunsWithExitCode259AndStopsWithRunsResult) {
    ScriptedThread thread;
    thread.Start();
    EXPECT_TRUE(thread.IsRunning());
    EXPECT_EQ(thread.ExitCode(), CThread::kStillActive);
    std::uint32_t exitCode = 0;
    EXPECT_TRUE(thread.Stop(exitCode, -1));
    EXPECT_EQ(exitCode, 42u);
    EXPECT_FALSE(thread.IsRunning());

    // The object can be started again.
    thread.Start();
    EXPECT_TRUE(thread.IsRunning());
    EXPECT_TRUE(thread.Stop(exitCode));
}

TEST(CThread, StartWhileRunningRaisesAlreadyStarted) {
    ScriptedThread thread;
    thread.Start();
    try {
        thread.Start();
        FAIL() << "no exception";
    } catch (const CThreadException& e) {
        EXPECT_EQ(e.type(), CThreadException::kAlreadyStarted);
        EXPECT_EQ(e.message(), "Thread is already started!");
        EXPECT_EQ(e.owner(), &thread);
    }
    EXPECT_TRUE(thread.IsRunning());
}

TEST(CThread, StopWithAPollLimitGivesUpAndReports259) {
    ScriptedThread thread;
    thread.ignoreStop = true;
    thread.Start();
    ASSERT_TRUE(Eventually([&] { return thread.entered.load(); }));
    std::uint32_t exitCode = 0;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(thread.Stop(exitCode, 3));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 300ms);
    EXPECT_EQ(exitCode, CThread::kStillActive);
    thread.finish();
    EXPECT_TRUE(thread.Stop(exitCode, -1));
    EXPECT_EQ(exitCode, 7u);
}

TEST(CThread, TailQueueingCoalescesOnlyWithTheNewestCommand) {
    ScriptedThread thread(true);
    thread.ignoreStop = true;  // the body takes nothing, so the queue stays
    thread.Start();
    ASSERT_TRUE(Eventually([&] { return thread.entered.load(); }));
    std::string error;
    const auto queued = [&] { return thread.QueuedCommands(); };
    EXPECT_EQ(queued(), (std::deque<std::uint32_t>{CThread::kCmdStarted}));
    thread.Pause();
    thread.Pause();
    EXPECT_EQ(queued(), (std::deque<std::uint32_t>{2, 4}));
    thread.Resume();
    thread.Pause();
    EXPECT_EQ(queued(), (std::deque<std::uint32_t>{2, 4, 5, 4}));
    EXPECT_TRUE(thread.QueueCommand(0, error));  // refused silently
    EXPECT_EQ(queued().size(), 4u);
    EXPECT_TRUE(thread.QueueCommandFirst(3));
    EXPECT_EQ(queued(), (std::deque<std::uint32_t>{3, 2, 4, 5, 4}));
    EXPECT_FALSE(thread.QueueCommandFirst(0));
    thread.finish();
}

TEST(CThread, QueueCommandFirstIsTakenBeforeOlderCommands) {
    ScriptedThread thread;
    thread.ignoreStop = true;
    thread.Start();
    thread.Resume();
    EXPECT_TRUE(thread.QueueCommandFirst(3));
    // The test takes the commands in the worker's place.
    EXPECT_EQ(thread.WaitForCommand(0), 3u);
    EXPECT_EQ(thread.WaitForCommand(0), 2u);
    EXPECT_EQ(thread.WaitForCommand(0), 5u);
    EXPECT_EQ(thread.WaitForCommand(0), CThread::kCmdTimeout);
    thread.finish();
}

TEST(CThread, WithoutNotificationNothingIsQueuedAndWaitGivesZero) {
    ScriptedThread thread(false);
    thread.ignoreStop = true;
    EXPECT_EQ(thread.WaitForCommand(0), CThread::kCmdNone);
    thread.Start();
    EXPECT_FALSE(thread.QueueCommandFirst(3));
    std::string error;
    EXPECT_TRUE(thread.QueueCommand(4, error));
    EXPECT_TRUE(thread.QueuedCommands().empty());
    EXPECT_EQ(thread.WaitForCommand(1000), CThread::kCmdNone);
    thread.finish();
}

TEST(CThread, PauseAndResumeWithoutAThreadDoNothing) {
    ScriptedThread thread;
    thread.Pause();
    thread.Resume();
    EXPECT_TRUE(thread.QueuedCommands().empty());
}

TEST(CThread, ThreadsOfOneNameShareASynchronicityEntry) {
    {
        ScriptedThread a(true, "shared-name");
        ScriptedThread b(true, "shared-name");
        a.Start();
        b.Start();
        EXPECT_EQ(CThread::SynchronicityCount("shared-name"), 2u);
        std::uint32_t exitCode = 0;
        a.Stop(exitCode);
        EXPECT_EQ(CThread::SynchronicityCount("shared-name"), 1u);
        b.Stop(exitCode);
    }
    EXPECT_EQ(CThread::SynchronicityCount("shared-name"), 0u);
}

TEST(CThread, DestructorOfARunningThreadStopsAndJoinsIt) {
    auto thread = std::make_unique<ScriptedThread>();
    thread->Start();
    ASSERT_TRUE(Eventually([&] { return thread->entered.load(); }));
    thread.reset();  // must neither hang nor leave the class lock held
    ScriptedThread next;
    next.Start();
    std::uint32_t exitCode = 0;
    EXPECT_TRUE(next.Stop(exitCode));
}

// The request thread with a short pause after each request, so tests stay quick.
constexpr auto kPause = 300ms;

bool Paused(const CRequestThread& thread) {
    return thread.GetStatus() == CRequestThread::kStatusPaused;
}

// Stops the thread and gives what it sent in all. A paused thread waits for a
// command; one that sent on its own would do it on the turn after pausing,
// which it takes before the stop queued here, so the count read after the
// join holds every request the thread made without being asked.
int SentUntilStopped(CRequestThread& thread, const CountingSender& sender) {
    std::uint32_t exitCode = 1;
    EXPECT_TRUE(thread.Stop(exitCode));
    EXPECT_EQ(exitCode, 0u);
    return sender.requests;
}

TEST(CRequestThread, SendsExactlyOneRequestAfterStart) {
    CountingSender sender;
    CRequestThread thread(sender, kPause);
    thread.Start();
    ASSERT_TRUE(Eventually([&] { return Paused(thread); }));
    EXPECT_EQ(SentUntilStopped(thread, sender), 1);
}

TEST(CRequestThread, EachResumeWhilePausedSendsOneMore) {
    CountingSender sender;
    CRequestThread thread(sender, kPause);
    thread.Start();
    ASSERT_TRUE(Eventually([&] { return Paused(thread); }));
    thread.Resume();
    thread.Resume();  // coalesced with the one before
    ASSERT_TRUE(Eventually([&] { return sender.requests == 2 && Paused(thread); }));
    thread.Resume();
    ASSERT_TRUE(Eventually([&] { return sender.requests == 3 && Paused(thread); }));
    EXPECT_EQ(SentUntilStopped(thread, sender), 3);
}

TEST(CRequestThread, ResumeDuringTheSleepAfterARequestSendsNothingMore) {
    CountingSender sender;
    CRequestThread thread(sender, kPause);
    thread.Start();
    ASSERT_TRUE(Eventually([&] { return sender.requests == 1; }));
    thread.Resume();  // the thread is still sleeping after its request
    ASSERT_TRUE(Eventually([&] { return Paused(thread); }));
    EXPECT_EQ(SentUntilStopped(thread, sender), 1);
}

TEST(CRequestThread, APausedThreadDoesNotSpin) {
    CountingSender sender;
    CRequestThread thread(sender, 10ms);
    thread.Start();
    ASSERT_TRUE(Eventually([&] { return Paused(thread); }));
    const auto before = thread.LoopTurns();
    // Spinning shows only over time: at any one instant a waiting thread and
    // a busy one look alike. So this waits a bounded time for turns that must
    // not come; a spinning thread makes thousands in it.
    EXPECT_FALSE(Eventually([&] { return thread.LoopTurns() - before > 5; }, 300ms));
}

TEST(CRequestThread, IsRegisteredUnderItsNameWhileRunning) {
    CountingSender sender;
    CRequestThread thread(sender, kPause);
    thread.Start();
    EXPECT_EQ(CThread::SynchronicityCount("CGDIThread"), 1u);
    std::uint32_t exitCode = 0;
    thread.Stop(exitCode);
    EXPECT_EQ(CThread::SynchronicityCount("CGDIThread"), 0u);
}

}  // namespace
}  // namespace lanscope
