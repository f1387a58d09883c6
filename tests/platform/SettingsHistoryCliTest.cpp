#include <gtest/gtest.h>
#include <fstream>
#include <sstream>

#include "cli/Commands.h"
#include "history/HistoryReport.h"
#include "support/CliRun.h"
#include "support/ListHistory.h"
#include "support/LoopWait.h"
#include "support/LoopbackModule.h"
#include "support/RecordingPrompt.h"
#include "support/TempFolder.h"

namespace lanscope::cli {
namespace {

sim::ModuleIdentity Module() {
    return test::LoopbackModuleIdentity();
}

// Auto IP from 127.0.0.5, where nothing else has the address it gives.
struct Cli : test::CliRun {
    explicit Cli(std::uint16_t modulePort) : CliRun(modulePort) {
        context.hostAddresses = [] { return std::vector<Ipv4>{MakeIpv4(127, 0, 0, 5)}; };
        context.addressAnswers = [](Ipv4) { return false; };
    }
};

struct SetCase {
    const char* name;
    SetOptions options;
    std::deque<bool> answers;
    int exitCode;
    // The joined row's result, what was shown, settings after; nothing
    // recorded when `result` is empty.
    std::string result;
    std::string message;
    HistoryNetwork after;
    std::optional<HistoryVerified> verified;
    std::size_t events;
};

SetOptions Set(SetMode mode, std::optional<Ipv4> gateway, bool verify) {
    SetOptions options;
    options.mac = "02-4c-53-00-00-01";
    options.mode = mode;
    options.gateway = gateway;
    options.verify = verify;
    options.waitSeconds = 1;
    options.verifySeconds = 5;
    return options;
}

void PrintTo(const SetCase& c, std::ostream* out) {
    *out << c.name;
}

class SetHistory : public testing::TestWithParam<SetCase> {};

TEST_P(SetHistory, RecordsTheSettingsBeforeAndAfterOfEveryWriteSent) {
    const SetCase& c = GetParam();
    test::LoopbackModule module(Module(), test::TestLoop());
    Cli cli(module.port());
    cli.prompt.answers = c.answers;
    EXPECT_EQ(RunSet(c.options, cli.context), c.exitCode) << cli.err.str();
    ASSERT_EQ(cli.history.events.size(), c.events);
    if (c.events == 0) {
        return;
    }
    const auto rows = JoinHistory(cli.history.events);
    ASSERT_EQ(rows.size(), 1u);
    const HistoryEvent& event = rows[0].event;
    EXPECT_EQ(event.action, HistoryAction::Settings);
    EXPECT_EQ(HistoryRowResult(rows[0]), c.result);
    EXPECT_EQ(event.message, c.message);
    EXPECT_EQ(event.module, (HistoryModule{"02-4C-53-00-00-01", "127.0.0.1", "Pump", "Hall"}));
    ASSERT_TRUE(event.settings);
    EXPECT_EQ(event.settings->before,
              (HistoryNetwork{false, "127.0.0.1", "255.0.0.0", "127.0.0.254", "127.0.0.53"}));
    EXPECT_EQ(event.settings->after, c.after);
    EXPECT_EQ(event.settings->verified, c.verified);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SetHistory,
    testing::Values(
        SetCase{"StaticWithoutVerify",
                Set(SetMode::Static, MakeIpv4(127, 0, 0, 1), false),
                {},
                kExitOk,
                "sent",
                "Configuration sent to [02-4C-53-00-00-01]: 127.0.0.1 mask 255.0.0.0 gateway "
                "127.0.0.1 DNS 127.0.0.53",
                {false, "127.0.0.1", "255.0.0.0", "127.0.0.1", "127.0.0.53"},
                std::nullopt,
                1},
        SetCase{"DhcpVerified",
                Set(SetMode::Dhcp, std::nullopt, true),
                {},
                kExitOk,
                "ok",
                "The module answers with the new settings.",
                {true, "0.0.0.0", "255.0.0.0", "127.0.0.254", "127.0.0.53"},
                HistoryVerified::Verified,
                2},
        SetCase{"AutoIp",
                Set(SetMode::AutoIp, std::nullopt, false),
                {true},
                kExitOk,
                "sent",
                "Configuration sent to [02-4C-53-00-00-01]: 127.0.0.15 mask 255.255.0.0 gateway "
                "127.0.0.254 DNS 127.0.0.53",
                {false, "127.0.0.15", "255.255.0.0", "127.0.0.254", "127.0.0.53"},
                std::nullopt,
                1},
        SetCase{"AutoIpDeclinedSendsAndRecordsNothing",
                Set(SetMode::AutoIp, std::nullopt, false),
                {false},
                kExitFailed,
                "",
                "",
                {},
                std::nullopt,
                0}),
    [](const testing::TestParamInfo<SetCase>& info) { return info.param.name; });

TEST(ConfigureHistory, RecordsEachRowWrittenWithItsVerificationAndNothingForRowsNotSent) {
    test::LoopbackModule module(Module(), test::TestLoop());
    test::TempFolder folder;
    const std::string plan = folder.file("plan.csv");
    std::ofstream(plan) << "mac,gateway,dns\n"
                           "02-4c-53-00-00-01,127.0.0.9,\n"
                           "02-4c-53-00-00-77,127.0.0.9,\n"
                           "nonsense,,\n";
    ConfigureOptions options;
    options.file = plan;
    options.waitSeconds = 1;
    options.verifySeconds = 5;
    for (const bool dryRun : {true, false}) {
        Cli cli(module.port());
        options.dryRun = dryRun;
        (void)RunConfigure(options, cli.context);
        if (dryRun) {
            EXPECT_TRUE(cli.history.events.empty());
            continue;
        }
        ASSERT_EQ(cli.history.events.size(), 2u);
        EXPECT_EQ(cli.history.events[0].result, HistoryResult::Started);
        const auto rows = JoinHistory(cli.history.events);
        ASSERT_EQ(rows.size(), 1u);
        const HistoryEvent& event = rows[0].event;
        EXPECT_EQ(event.result, HistoryResult::Ok);
        EXPECT_EQ(event.message, "verified");
        EXPECT_EQ(event.module.mac, "02-4C-53-00-00-01");
        EXPECT_EQ(event.settings->before.gateway, "127.0.0.254");
        EXPECT_EQ(event.settings->after.gateway, "127.0.0.9");
        EXPECT_EQ(event.settings->after.dns, "127.0.0.53");
        EXPECT_EQ(event.settings->verified, HistoryVerified::Verified);
    }
}

}  // namespace
}  // namespace lanscope::cli
