#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "config/AutoIp.h"
#include "config/SettingsHistory.h"
#include "history/ModuleHistory.h"
#include "support/ListHistory.h"
#include "support/RecordingPrompt.h"

namespace lanscope {
namespace {

const HistoryModule kModule{"02-4C-53-00-00-01", "192.0.2.10", "Pump", "Hall \u00C4"};

ModuleRecord Record(Ipv4 address, Ipv4 mask, Ipv4 gateway, Ipv4 dns) {
    ModuleRecord record;
    record.setLength(148);
    record.setMac({0x02, 0x4C, 0x53, 0x00, 0x00, 0x01});
    record.setAddress(address);
    record.setMask(mask);
    record.setGateway(gateway);
    record.setDns(dns);
    return record;
}

const ModuleRecord kStatic = Record(MakeIpv4(192, 0, 2, 10), MakeIpv4(255, 255, 255, 0),
                                    MakeIpv4(192, 0, 2, 1), MakeIpv4(192, 0, 2, 53));

struct SettingsCase {
    const char* name;
    ModuleRecord before;
    ModuleRecord written;
    HistoryResult result;
    std::optional<HistoryVerified> verified;
    HistoryNetwork wantBefore;
    HistoryNetwork wantAfter;
};

void PrintTo(const SettingsCase& c, std::ostream* out) {
    *out << c.name;
}

class SettingsWriteEvents : public testing::TestWithParam<SettingsCase> {};

TEST_P(SettingsWriteEvents, HoldTheSettingsBeforeAndAsWrittenAndWhetherTheyWereConfirmed) {
    const SettingsCase& c = GetParam();
    const HistoryEvent started = SettingsWriteEvent(kModule, c.before, c.written);
    EXPECT_EQ(started.action, HistoryAction::Settings);
    EXPECT_EQ(started.result, HistoryResult::Started);
    EXPECT_EQ(started.module, kModule);
    EXPECT_FALSE(started.update);
    EXPECT_FALSE(started.save);

    const HistoryEvent outcome = SettingsWriteOutcome(started, c.result, "shown", c.verified);
    EXPECT_EQ(outcome.result, c.result);
    EXPECT_EQ(outcome.message, "shown");
    ASSERT_TRUE(outcome.settings);
    EXPECT_EQ(outcome.settings->before, c.wantBefore);
    EXPECT_EQ(outcome.settings->after, c.wantAfter);
    EXPECT_EQ(outcome.settings->verified, c.verified);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SettingsWriteEvents,
    testing::Values(SettingsCase{"StaticToStatic",
                                 kStatic,
                                 Record(MakeIpv4(192, 0, 2, 20), MakeIpv4(255, 255, 0, 0),
                                        MakeIpv4(192, 0, 2, 1), 0),
                                 HistoryResult::Sent,
                                 std::nullopt,
                                 {false, "192.0.2.10", "255.255.255.0", "192.0.2.1", "192.0.2.53"},
                                 {false, "192.0.2.20", "255.255.0.0", "192.0.2.1", "0.0.0.0"}},
                    SettingsCase{"StaticToDhcpVerified",
                                 kStatic,
                                 Record(0, MakeIpv4(255, 255, 255, 0), MakeIpv4(192, 0, 2, 1), 0),
                                 HistoryResult::Ok,
                                 HistoryVerified::Verified,
                                 {false, "192.0.2.10", "255.255.255.0", "192.0.2.1", "192.0.2.53"},
                                 {true, "0.0.0.0", "255.255.255.0", "192.0.2.1", "0.0.0.0"}},
                    SettingsCase{
                        "DhcpToStaticNotConfirmed",
                        Record(0, 0, 0, 0),
                        kStatic,
                        HistoryResult::Failed,
                        HistoryVerified::NotVerified,
                        {true, "0.0.0.0", "0.0.0.0", "0.0.0.0", "0.0.0.0"},
                        {false, "192.0.2.10", "255.255.255.0", "192.0.2.1", "192.0.2.53"}}),
    [](const testing::TestParamInfo<SettingsCase>& info) { return info.param.name; });

TEST(SettingsWriteEvent, CarriesNothingButTheNetworkSettingsOfTheRecords) {
    // Whatever else a record's bytes hold stays out of the history.
    ModuleRecord before = kStatic;
    ModuleRecord written = kStatic;
    written.setAddress(MakeIpv4(192, 0, 2, 99));
    const char secret[] = "hunter2-admin";
    for (ModuleRecord* record : {&before, &written}) {
        std::memcpy(record->bytes.data() + 20, secret, sizeof secret - 1);
    }
    test::ListHistory history;
    HistoryEvent event = RecordHistory(
        &history, SettingsWriteOutcome(SettingsWriteEvent(kModule, before, written),
                                       HistoryResult::Ok, "", HistoryVerified::Verified));
    event.time = "2026-12-08T15:04:05.123Z";
    const std::string line = FormatHistoryLine(event);
    EXPECT_EQ(line.find("hunter2"), std::string::npos) << line;
    EXPECT_EQ(line.find("admin"), std::string::npos) << line;
    EXPECT_NE(line.find("192.0.2.99"), std::string::npos) << line;
}

TEST(SettingsWriteOutcome, IsOkOnlyWhenTheModuleAnsweredWithTheNewSettings) {
    struct Case {
        HistoryResult given;
        std::optional<HistoryVerified> verified;
        HistoryResult recorded;
    };
    const Case cases[] = {
        {HistoryResult::Ok, std::nullopt, HistoryResult::Sent},
        {HistoryResult::Ok, HistoryVerified::NotVerified, HistoryResult::Sent},
        {HistoryResult::Ok, HistoryVerified::Verified, HistoryResult::Ok},
        {HistoryResult::Failed, std::nullopt, HistoryResult::Failed},
    };
    const HistoryEvent started = SettingsWriteEvent(kModule, kStatic, kStatic);
    for (const Case& c : cases) {
        EXPECT_EQ(SettingsWriteOutcome(started, c.given, "", c.verified).result, c.recorded)
            << HistoryResultName(c.given);
    }
}

struct FailingSender : ConfigurationSender {
    std::vector<ModuleRecord> sent;
    bool fail = false;
    Result<std::size_t> SendConfiguration(const ModuleRecord& record) override {
        sent.push_back(record);
        if (fail) {
            return Error{101, "Network is unreachable"};
        }
        return kConfigurationWriteSize;
    }
};

TEST(HistoryRecordingSender, RecordsEachWriteAsItIsSentOkOrFailedWithTheReason) {
    for (const bool fail : {false, true}) {
        FailingSender socket;
        socket.fail = fail;
        test::ListHistory history;
        ModuleRecord record = kStatic;
        HistoryRecordingSender sender(socket, &history, kModule, record);
        WriteSettings(record, {MakeIpv4(10, 0, 0, 7), MakeIpv4(255, 0, 0, 0), 0, 0}, sender);

        ASSERT_EQ(socket.sent.size(), 1u) << fail;
        ASSERT_EQ(history.events.size(), 1u) << fail;
        const HistoryEvent& event = history.events[0];
        EXPECT_EQ(event.result, fail ? HistoryResult::Failed : HistoryResult::Sent);
        EXPECT_EQ(event.message, fail ? "Network is unreachable" : "");
        EXPECT_EQ(event.module, kModule);
        ASSERT_TRUE(event.settings);
        EXPECT_EQ(event.settings->before.ip, "192.0.2.10");
        EXPECT_EQ(event.settings->after.ip, "10.0.0.7");
        EXPECT_EQ(event.settings->after.gateway, "0.0.0.0");
        EXPECT_FALSE(event.settings->verified);
    }
}

TEST(HistoryRecordingSender, AnAutoIpTheUserDeclinesRecordsNothingAndNoHistoryStillSends) {
    FailingSender socket;
    test::ListHistory history;
    ModuleRecord record = kStatic;
    {
        test::RecordingPrompt prompt;
        prompt.answers = {false};
        HistoryRecordingSender sender(socket, &history, kModule, record);
        EXPECT_FALSE(AutoIpUpdate(record, {MakeIpv4(10, 0, 0, 1)}, prompt, sender, false));
    }
    EXPECT_TRUE(history.events.empty());
    HistoryRecordingSender nowhere(socket, nullptr, kModule, record);
    EXPECT_TRUE(nowhere.SendConfiguration(record));
    EXPECT_EQ(socket.sent.size(), 1u);
}

HistoryEvent Event(std::string id, const char* mac, std::string time, HistoryResult result) {
    HistoryEvent event;
    event.id = std::move(id);
    event.time = std::move(time);
    event.action = HistoryAction::Settings;
    event.result = result;
    event.module.mac = mac;
    return event;
}

TEST(ModuleHistory, OneModulesRowsNewestFirstWithStartsJoinedToTheirOutcomes) {
    const char* a = "02-4C-53-00-00-01";
    const char* b = "02-4C-53-00-00-02";
    std::vector<HistoryEvent> events = {
        Event("1", a, "2026-12-08T10:00:00.000Z", HistoryResult::Ok),
        Event("2", a, "2026-12-08T11:00:00.000Z", HistoryResult::Started),
        Event("3", b, "2026-12-08T12:00:00.000Z", HistoryResult::Ok),
        Event("2", a, "2026-12-08T11:00:09.000Z", HistoryResult::Failed),
        Event("4", a, "2026-12-08T13:00:00.000Z", HistoryResult::Started),
        // Written later, after the clock was stepped back (or by a
        // computer whose clock is behind): the file's order stands.
        Event("5", a, "2026-12-08T09:00:00.000Z", HistoryResult::Cancelled),
        Event("6", a, "2026-12-08T10:00:00.000Z", HistoryResult::Ok),
    };
    const auto rows = ModuleHistoryRows(events, *ParseMac(a));
    std::vector<std::string> ids;
    for (const HistoryRow& row : rows) {
        ids.push_back(row.event.id);
    }
    EXPECT_EQ(ids, (std::vector<std::string>{"6", "5", "4", "2", "1"}));
    EXPECT_EQ(HistoryRowResult(rows[2]), "no outcome recorded");
    EXPECT_EQ(HistoryRowResult(rows[3]), "failed");
    EXPECT_EQ(rows[3].time(), "2026-12-08T11:00:00.000Z");
}

TEST(ModuleHistory, SkippedLinesAreToldInAFewLines) {
    struct Case {
        std::vector<std::string> warnings;
        std::string text;
    };
    const Case cases[] = {
        {{}, ""},
        {{"line 2: x"}, "line 2: x"},
        {{"line 1: a", "line 2: b", "line 3: c"}, "line 1: a\nline 2: b\n(1 more)"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(HistoryWarningsText(c.warnings, 2), c.text);
    }
}

}  // namespace
}  // namespace lanscope
