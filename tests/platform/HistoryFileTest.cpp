#include <gtest/gtest.h>

#include <fstream>
#include <map>

#ifdef _WIN32
#include <thread>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
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

#ifndef _WIN32
std::string Contents(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), {});
}

mode_t ModeOf(const std::string& path) {
    struct stat status {};
    EXPECT_EQ(::stat(path.c_str(), &status), 0) << path;
    return status.st_mode & 07777;
}

// Another program that holds the lock and never lets go: the work goes on
// after a bounded wait, with a failure that says why.
TEST(HistoryFile, ALockHeldForGoodEndsTheWaitWithAFailure) {
    test::TempFolder folder;
    const std::string path = folder.file("history.jsonl");
    ASSERT_TRUE(AppendHistoryLine(path, FormatHistoryLine(Update("before"))));
    const int holder = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);
    const auto wait = std::chrono::milliseconds(50);
    const auto appended = AppendHistoryLine(path, FormatHistoryLine(Update("held")), wait);
    ASSERT_FALSE(appended.ok());
    EXPECT_NE(appended.error().text.find("lock"), std::string::npos) << appended.error().text;
    EXPECT_NE(appended.error().text.find(path), std::string::npos) << appended.error().text;
    const auto read = ReadHistoryFile(path, {}, wait);
    EXPECT_FALSE(read.ok());
    ::close(holder);
    ASSERT_TRUE(AppendHistoryLine(path, FormatHistoryLine(Update("after")), wait));
    const auto reading = ReadHistoryFile(path, {}, wait);
    ASSERT_TRUE(reading.ok());
    ASSERT_EQ(reading->events.size(), 2u);
    EXPECT_EQ(reading->events[1].id, "after");
}

// Only a regular file of its own: a FIFO (which would hold the reader and
// the writer for good), a device, a symbolic link (whose target is left as
// it was) are each refused with a reason.
TEST(HistoryFile, OnlyARegularFileIsReadOrWrittenNeverThroughALink) {
    test::TempFolder folder;
    const std::string fifo = folder.file("fifo.jsonl");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string target = folder.file("target.jsonl");
    const std::string kept = FormatHistoryLine(Update("kept"));
    std::ofstream(target, std::ios::binary) << kept;
    const std::string link = folder.file("link.jsonl");
    ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
    struct Case {
        std::string path;
        const char* said;
    };
    const Case cases[] = {
        {fifo, "not a regular file"},
        {"/dev/null", "not a regular file"},
        {link, "symbolic link"},
    };
    for (const Case& c : cases) {
        const auto read = ReadHistoryFile(c.path);
        ASSERT_FALSE(read.ok()) << c.path;
        EXPECT_NE(read.error().text.find(c.said), std::string::npos) << read.error().text;
        const auto appended = AppendHistoryLine(c.path, FormatHistoryLine(Update("x")));
        ASSERT_FALSE(appended.ok()) << c.path;
        EXPECT_NE(appended.error().text.find(c.said), std::string::npos) << appended.error().text;
    }
    EXPECT_EQ(Contents(target), kept);
}

TEST(HistoryFile, IsKeptToItsOwnerInFoldersKeptToTheirOwner) {
    test::TempFolder folder;
    const std::string made = folder.file("data/lanscope/history.jsonl");
    ASSERT_TRUE(AppendHistoryLine(made, FormatHistoryLine(Update("new"))));
    EXPECT_EQ(ModeOf(made), 0600u);
    EXPECT_EQ(ModeOf(folder.file("data/lanscope")), 0700u);
    EXPECT_EQ(ModeOf(folder.file("data")), 0700u);
    // A file an older program (or anyone) left open to others is narrowed.
    const std::string wide = folder.file("wide.jsonl");
    std::ofstream(wide) << FormatHistoryLine(Update("old"));
    ASSERT_EQ(::chmod(wide.c_str(), 0644), 0);
    ASSERT_TRUE(AppendHistoryLine(wide, FormatHistoryLine(Update("next"))));
    EXPECT_EQ(ModeOf(wide), 0600u);
}

// A name that is no UTF-8 is recorded with its bytes escaped, so the file
// can still be found, and not with replacement characters.
TEST(HistoryRecorder, FileNamesThatAreNoUtf8AreRecordedSoTheirBytesComeBack) {
    test::TempFolder folder;
    FileHistoryRecorder recorder(folder.file("history.jsonl"), {"h", "u", "cli"}, true);
    const std::string name = "/srv/fw/Pumpe-\xE4-\xff\xfe.s19";
    const std::string backslash = "/srv/fw/a\\xe4.bin";
    HistoryEvent update = Update("u");
    update.update->file = name;
    recorder.record(update);
    HistoryEvent save;
    save.action = HistoryAction::Save;
    save.result = HistoryResult::Ok;
    save.save = HistorySave{name, backslash, 0, 0, 0};
    recorder.record(save);
    ASSERT_FALSE(recorder.takeFailure());

    const auto reading = ReadHistoryFile(recorder.path());
    ASSERT_TRUE(reading.ok());
    ASSERT_EQ(reading->events.size(), 2u);
    EXPECT_EQ(reading->events[0].update->file, "/srv/fw/Pumpe-\\xe4-\\xff\\xfe.s19");
    EXPECT_EQ(UnescapeHistoryFileName(reading->events[0].update->file), name);
    EXPECT_EQ(UnescapeHistoryFileName(reading->events[1].save->source), name);
    EXPECT_EQ(reading->events[1].save->target, "/srv/fw/a\\\\xe4.bin");
    EXPECT_EQ(UnescapeHistoryFileName(reading->events[1].save->target), backslash);
}
#endif

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
