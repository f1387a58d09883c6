#include <gtest/gtest.h>

#include <fstream>
#include <map>

#ifdef _WIN32
#include <thread>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "history/HistoryFile.h"
#include "history/HistoryRecorder.h"
#include "history/HistoryReport.h"
#include "support/TempFolder.h"

namespace lanscope {
namespace {

HistoryEvent Update(std::string id, std::string message = {}) {
    HistoryEvent event;
    event.id = std::move(id);
    event.time = "2026-12-08T15:04:05.123Z";
    event.action = HistoryAction::Update;
    event.result = HistoryResult::Ok;
    event.message = std::move(message);
    event.module = {"02-4C-53-00-00-01", "192.0.2.10", "Pump", "Hall"};
    event.update = HistoryUpdate{"PC42_APP.s19", 0, 4096, 0x1234, "PC42", true, 4096, 1.5};
    return event;
}

// Appends `count` events with ids "<who>-0", "<who>-1", ...
bool AppendEvents(const std::string& path, const std::string& who, int count) {
    for (int i = 0; i < count; ++i) {
        // Long lines, so a write that is not one whole line shows.
        const auto appended = AppendHistoryLine(
            path,
            FormatHistoryLine(Update(who + "-" + std::to_string(i), std::string(3000, who[0]))));
        if (!appended) {
            return false;
        }
    }
    return true;
}

TEST(HistoryFile, AppendsOfTwoProgramsAtOnceStayWholeLines) {
    test::TempFolder folder;
    const std::string path = folder.file("new/history.jsonl");
    constexpr int kLines = 500;
#ifdef _WIN32
    // Two handles of one process lock against each other as two programs do.
    bool ok[2] = {};
    std::thread a([&] { ok[0] = AppendEvents(path, "a", kLines); });
    std::thread b([&] { ok[1] = AppendEvents(path, "b", kLines); });
    a.join();
    b.join();
    EXPECT_TRUE(ok[0] && ok[1]);
#else
    // Both programs wait for the gate to open, so they write at once.
    int gate[2];
    ASSERT_EQ(pipe(gate), 0);
    std::vector<pid_t> children;
    for (const char* who : {"a", "b"}) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(gate[1]);
            char opened = 0;
            const bool waited = read(gate[0], &opened, 1) == 0;
            _exit(waited && AppendEvents(path, who, kLines) ? 0 : 1);
        }
        children.push_back(child);
    }
    close(gate[0]);
    close(gate[1]);
    for (const pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
#endif
    const auto reading = ReadHistoryFile(path);
    ASSERT_TRUE(reading.ok()) << reading.error().text;
    EXPECT_TRUE(reading->warnings.empty()) << reading->warnings.front();
    ASSERT_EQ(reading->events.size(), 2u * kLines);
    // Every event once, each program's in the order it wrote them.
    std::map<char, int> next;
    for (const HistoryEvent& event : reading->events) {
        const char who = event.id[0];
        EXPECT_EQ(event.id, std::string(1, who) + "-" + std::to_string(next[who]++));
        EXPECT_EQ(event.message, std::string(3000, who));
    }
    EXPECT_EQ(next['a'], kLines);
    EXPECT_EQ(next['b'], kLines);
}

TEST(HistoryFile, ALineCutByAnEarlierWriteStaysApartFromTheNext) {
    test::TempFolder folder;
    const std::string path = folder.file("history.jsonl");
    const std::string line = FormatHistoryLine(Update("whole"));
    std::ofstream(path, std::ios::binary) << line << line.substr(0, 40);
    ASSERT_TRUE(AppendHistoryLine(path, FormatHistoryLine(Update("after"))).ok());
    const auto reading = ReadHistoryFile(path);
    ASSERT_TRUE(reading.ok());
    ASSERT_EQ(reading->events.size(), 2u);
    EXPECT_EQ(reading->events[1].id, "after");
    EXPECT_EQ(reading->warnings, std::vector<std::string>{"line 2: damaged, skipped"});
}

TEST(HistoryFile, AFileThatDoesNotExistYetIsAnEmptyHistory) {
    test::TempFolder folder;
    const auto reading = ReadHistoryFile(folder.file("none/history.jsonl"));
    ASSERT_TRUE(reading.ok());
    EXPECT_TRUE(reading->events.empty());
    EXPECT_TRUE(reading->warnings.empty());
}

TEST(HistoryFile, AFolderThatCannotBeMadeIsAnErrorNamingTheFile) {
    test::TempFolder folder;
    // A regular file where the folder should be stops even the superuser.
    std::ofstream(folder.file("plain")) << "x";
    const std::string path = folder.file("plain/history.jsonl");
    const auto appended = AppendHistoryLine(path, FormatHistoryLine(Update("x")));
    ASSERT_FALSE(appended.ok());
    EXPECT_NE(appended.error().text.find(path), std::string::npos) << appended.error().text;
}

std::chrono::system_clock::time_point At(std::int64_t ms) {
    return std::chrono::system_clock::time_point(std::chrono::milliseconds(ms));
}

TEST(HistoryRecorder, StampsEventsAndJoinsAnOutcomeToItsStart) {
    test::TempFolder folder;
    std::int64_t now = 1'796'742'245'123;  // 2026-12-08T15:04:05.123Z
    FileHistoryRecorder recorder(folder.file("history.jsonl"), {"bench-3", "tech", "cli"}, true,
                                 [&] { return At(now); });
    HistoryEvent started = Update("");
    started.result = HistoryResult::Started;
    started.host = "forged";
    started = recorder.record(started);
    EXPECT_FALSE(started.id.empty());
    EXPECT_EQ(started.time, "2026-12-08T15:04:05.123Z");
    EXPECT_EQ(started.host, "bench-3");
    now += 2500;
    recorder.record(HistoryOutcome(started, HistoryResult::Failed, "The module declined."));
    // Another event gets an id of its own.
    EXPECT_NE(recorder.record(Update("")).id, started.id);
    EXPECT_FALSE(recorder.takeFailure());

    const auto reading = ReadHistoryFile(recorder.path());
    ASSERT_TRUE(reading.ok());
    const auto rows = JoinHistory(reading->events);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].time(), "2026-12-08T15:04:05.123Z");
    EXPECT_EQ(rows[0].event.time, "2026-12-08T15:04:07.623Z");
    EXPECT_EQ(rows[0].event.message, "The module declined.");
    EXPECT_EQ(rows[0].event.user, "tech");
    EXPECT_EQ(rows[0].event.program, "cli");
    EXPECT_EQ(HistoryRowResult(rows[0]), "failed");
}

TEST(HistoryRecorder, AFailureIsKeptOnceAndNeverStopsTheWork) {
    test::TempFolder folder;
    std::ofstream(folder.file("plain")) << "x";
    FileHistoryRecorder recorder(folder.file("plain/history.jsonl"), {"h", "u", "window"}, true);
    const HistoryEvent recorded = recorder.record(Update(""));
    EXPECT_FALSE(recorded.id.empty());
    recorder.record(Update(""));
    const auto failure = recorder.takeFailure();
    ASSERT_TRUE(failure);
    EXPECT_NE(failure->text.find(recorder.path()), std::string::npos);
    EXPECT_FALSE(recorder.takeFailure());
    // The next run says so again.
    recorder.record(Update(""));
    EXPECT_TRUE(recorder.takeFailure());
}

TEST(HistoryRecorder, WritesNothingWhenHistoryIsOff) {
    test::TempFolder folder;
    FileHistoryRecorder recorder(folder.file("history.jsonl"), {"h", "u", "window"}, false);
    EXPECT_FALSE(recorder.record(Update("")).id.empty());
    EXPECT_FALSE(std::filesystem::exists(recorder.path()));
    EXPECT_FALSE(recorder.takeFailure());
}

}  // namespace
}  // namespace lanscope
