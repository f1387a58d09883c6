#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/Commands.h"
#include "history/HistoryJson.h"
#include "history/HistoryRecorder.h"
#include "support/ListHistory.h"
#include "support/LoopWait.h"
#include "support/RecordingPrompt.h"
#include "support/TempFolder.h"

namespace lanscope::cli {
namespace {

// A history written by the recorder, as the commands will write it.
class HistoryCli : public testing::Test {
  protected:
    HistoryCli() {
        FileHistoryRecorder recorder(m_path, {"bench-3", "tech", "cli"}, true, [this] {
            return std::chrono::system_clock::time_point(std::chrono::milliseconds(m_now));
        });
        HistoryEvent update;
        update.action = HistoryAction::Update;
        update.result = HistoryResult::Started;
        update.module = {"02-4C-53-00-00-01", "192.0.2.10", "Pump\x1b[2J", "Hall"};
        update.update = HistoryUpdate{"PC42_APP.s19", 0, 4096, 0x1234ABCD, "PC42", true, 0, 0};
        update = recorder.record(update);
        m_now += 4000;
        recorder.record(HistoryOutcome(update, HistoryResult::Ok, "Update complete."));
        m_now += 86'400'000;
        HistoryEvent settings;
        settings.action = HistoryAction::Settings;
        settings.result = HistoryResult::Started;
        settings.module = {"02-4C-53-00-00-02", "192.0.2.11", "Valve", ""};
        settings.settings = HistorySettings{{}, {true, "0.0.0.0", "", "", ""}, std::nullopt};
        recorder.record(settings);
        std::ofstream(m_path, std::ios::app) << "{\"cut\n";
        context.historyFile = m_path;
    }

    test::TempFolder m_folder;
    const std::string m_path = m_folder.file("history.jsonl");
    std::int64_t m_now = 1'796'742'245'123;  // 2026-12-08T15:04:05.123Z
    std::ostringstream out;
    std::ostringstream err;
    test::RecordingPrompt prompt;
    CliContext context{out, err, prompt, test::TestLoop(), {}, {}};
};

TEST_F(HistoryCli, PrintsATableAndTellsTheLinesItSkipped) {
    EXPECT_EQ(RunHistory({}, context), kExitOk);
    EXPECT_EQ(out.str(),
              "Time                      Module                        Action    Result         "
              "      Image / settings\n"
              "2026-12-08T15:04:05.123Z  02-4C-53-00-00-01 192.0.2.10  update    ok             "
              "      0x1234ABCD\n"
              "2026-12-09T15:04:09.123Z  02-4C-53-00-00-02 192.0.2.11  settings  no outcome "
              "recorded  DHCP\n");
    EXPECT_EQ(err.str(), "lanscope-cli: " + m_path + ": line 4: damaged, skipped\n");
}

TEST_F(HistoryCli, FiltersAndPrintsJsonOrCsv) {
    HistoryOptions options;
    options.mac = "02:4c:53:00:00:01";
    options.json = true;
    EXPECT_EQ(RunHistory(options, context), kExitOk);
    const auto rows = nlohmann::json::parse(out.str());
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0]["result"], "ok");
    EXPECT_EQ(rows[0]["finished"], "2026-12-08T15:04:09.123Z");
    // Texts go out as they are: JSON escapes what needs it.
    EXPECT_EQ(rows[0]["module"]["name"], "Pump\x1b[2J");

    out.str("");
    options = {};
    options.since = "2026-12-09";
    options.action = "settings";
    options.csv = true;
    EXPECT_EQ(RunHistory(options, context), kExitOk);
    std::istringstream csv(out.str());
    std::string header;
    std::string row;
    std::string more;
    std::getline(csv, header);
    std::getline(csv, row);
    EXPECT_FALSE(std::getline(csv, more));
    EXPECT_EQ(row.rfind("2026-12-09T15:04:09.123Z,,02-4C-53-00-00-02,", 0), 0u) << row;
}

TEST_F(HistoryCli, RefusesFiltersItCannotRead) {
    struct Case {
        const char* mac;
        const char* since;
        const char* action;
        const char* said;
    };
    const Case cases[] = {
        {"02-4C-53", "", "", "not a hardware address"},
        {"", "08.12.2026", "", "not a date"},
        {"", "", "reboot", "not an action"},
    };
    for (const Case& c : cases) {
        err.str("");
        EXPECT_EQ(RunHistory({c.mac, {}, c.since, c.action, false, false}, context), kExitUsage);
        EXPECT_NE(err.str().find(c.said), std::string::npos) << err.str();
    }
    EXPECT_TRUE(out.str().empty());
}

TEST_F(HistoryCli, FollowsLanscopeHistoryAndTakesNoHistoryBeforeOrAfterTheCommand) {
#ifdef _WIN32
    _putenv_s("LANSCOPE_HISTORY", m_path.c_str());
#else
    setenv("LANSCOPE_HISTORY", m_path.c_str(), 1);
#endif
    const std::vector<std::vector<const char*>> lines = {
        {"lanscope-cli", "--no-history", "history", "--json"},
        {"lanscope-cli", "history", "--json", "--no-history"},
    };
    for (const auto& line : lines) {
        std::ostringstream cliOut;
        std::ostringstream cliErr;
        EXPECT_EQ(
            RunCli(static_cast<int>(line.size()), const_cast<char**>(line.data()), cliOut, cliErr),
            kExitOk)
            << cliErr.str();
        EXPECT_EQ(nlohmann::json::parse(cliOut.str()).size(), 2u);
    }
#ifdef _WIN32
    _putenv_s("LANSCOPE_HISTORY", "");
#else
    unsetenv("LANSCOPE_HISTORY");
#endif
}

// An image file the command line writes is recorded as one the update
// window saves: a save with its source, target, base, length and checksum;
// one that could not be made as a failed save with what was said.
TEST(ConvertHistory, RecordsEveryImageFileWrittenOrNotAsASave) {
    test::TempFolder folder;
    const std::string good = folder.file("a_APP.s19");
    const std::string bad = folder.file("bad_APP.s19");
    std::ofstream(good, std::ios::binary) << "S0030000FC\nS107100001020304DE\nS9030000FC\n";
    std::ofstream(bad, std::ios::binary) << "S107100001020304D0\n";
    struct Case {
        std::string input;
        int exit;
        HistoryResult result;
        std::uint32_t length;
    };
    const Case cases[] = {
        {good, kExitOk, HistoryResult::Ok, 4},
        {bad, kExitFailed, HistoryResult::Failed, 0},
    };
    for (const Case& c : cases) {
        std::ostringstream out;
        std::ostringstream err;
        test::RecordingPrompt prompt;
        test::ListHistory history;
        CliContext context{out, err, prompt, test::TestLoop(), {}, {}};
        context.history = &history;
        const std::string target = folder.file("a.bin");
        EXPECT_EQ(RunConvert({c.input, target, "Pump"}, context), c.exit) << c.input;
        ASSERT_EQ(history.events.size(), 1u) << c.input;
        const HistoryEvent& event = history.events[0];
        EXPECT_EQ(event.action, HistoryAction::Save);
        EXPECT_EQ(event.result, c.result);
        ASSERT_TRUE(event.save);
        EXPECT_FALSE(event.update);
        EXPECT_EQ(event.save->source, c.input);
        EXPECT_EQ(event.save->target, target);
        EXPECT_EQ(event.save->length, c.length);
        if (c.result == HistoryResult::Ok) {
            EXPECT_EQ(event.save->base, 0x1000u);
            EXPECT_NE(out.str().find(HistoryHex32(event.save->checksum)), std::string::npos)
                << out.str();
        } else {
            ASSERT_FALSE(prompt.shown.empty());
            EXPECT_EQ(event.message, prompt.shown.back().text);
        }
    }
}

}  // namespace
}  // namespace lanscope::cli
