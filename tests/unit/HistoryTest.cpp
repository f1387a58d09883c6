#include <gtest/gtest.h>

#include <cctype>
#include <nlohmann/json.hpp>
#include <sstream>

#include "history/History.h"
#include "history/HistoryReport.h"

namespace lanscope {
namespace {

HistoryEvent UpdateEvent(std::string id, std::string time, HistoryResult result) {
    HistoryEvent event;
    event.id = std::move(id);
    event.time = std::move(time);
    event.host = "bench-3";
    event.user = "tech";
    event.program = "cli";
    event.action = HistoryAction::Update;
    event.result = result;
    event.module = {"02-4C-53-00-00-01", "192.0.2.10", "Pump, \"north\"", "Halle \u00C4"};
    event.update =
        HistoryUpdate{"/srv/fw/PC42_APP.s19", 0x10000, 4096, 0x0001F2A0, "PC42", true, 4096, 3.5};
    return event;
}

HistoryEvent SettingsEvent(std::string id, std::string time, HistoryResult result) {
    HistoryEvent event;
    event.id = std::move(id);
    event.time = std::move(time);
    event.action = HistoryAction::Settings;
    event.result = result;
    event.module = {"02-4C-53-00-00-02", "192.0.2.11", "Valve", ""};
    event.settings = HistorySettings{{false, "192.0.2.11", "255.255.255.0", "0.0.0.0", "0.0.0.0"},
                                     {false, "192.0.2.20", "255.255.255.0", "192.0.2.1", "0.0.0.0"},
                                     HistoryVerified::Verified};
    return event;
}

TEST(HistoryLine, ReadsBackEveryFieldOnOneLine) {
    HistoryEvent update = UpdateEvent("a-1", "2026-12-08T15:04:05.123Z", HistoryResult::Failed);
    update.message = "The module declined the update.\nTry again.";
    HistoryEvent save;
    save.id = "a-2";
    save.time = "2026-12-08T15:05:00.000Z";
    save.action = HistoryAction::Save;
    save.result = HistoryResult::Ok;
    save.save = HistorySave{"in.s19", "out.bin", 0x400, 12, 0xFFFFFFFF};
    HistoryEvent settings =
        SettingsEvent("a-3", "2026-12-08T15:06:00.000Z", HistoryResult::Cancelled);

    std::string text;
    for (const HistoryEvent* event : {&update, &save, &settings}) {
        const std::string line = FormatHistoryLine(*event);
        ASSERT_EQ(line.find('\n'), line.size() - 1) << line;
        text += line;
    }
    const HistoryReading reading = ReadHistory(text);
    EXPECT_TRUE(reading.warnings.empty());
    ASSERT_EQ(reading.events.size(), 3u);
    EXPECT_EQ(reading.events[0], update);
    EXPECT_EQ(reading.events[1], save);
    EXPECT_EQ(reading.events[2], settings);
}

TEST(HistoryLine, TextThatIsNotUtf8CostsNotTheEvent) {
    HistoryEvent event = UpdateEvent("a", "2026-12-08T15:04:05.123Z", HistoryResult::Ok);
    event.module.name = "Ger\xE4t";
    const HistoryReading reading = ReadHistory(FormatHistoryLine(event));
    ASSERT_EQ(reading.events.size(), 1u);
    EXPECT_EQ(reading.events[0].module.name, "Ger\uFFFDt");
}

TEST(HistoryLine, WritesEveryTextAsTheJsonLibraryDoes) {
    for (const std::string text :
         {"plain", "", "a \"b\" \\c", "tab\there\r\n\x01\x1F\x7F", "Ger\xC3\xA4t \xE2\x82\xAC",
          "cut \xE2\x82", "bad \xFF\xC0\xAF"}) {
        HistoryEvent event = UpdateEvent("a", "2026-12-08T15:04:05.123Z", HistoryResult::Ok);
        event.message = text;
        event.update->seconds = 0.1 + 0.2;
        const std::string line = FormatHistoryLine(event);
        const auto dump = [](const nlohmann::json& value) {
            return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
        };
        EXPECT_NE(line.find("\"message\":" + dump(text) + ","), std::string::npos) << line;
        EXPECT_NE(line.find("\"seconds\":" + dump(0.1 + 0.2) + "}"), std::string::npos) << line;
    }
}

TEST(HistoryFileName, EscapesWhatIsNoUtf8SoNoTwoNamesMeetAndTheBytesComeBack) {
    struct Case {
        std::string name;
        std::string text;
    };
    const Case cases[] = {
        {"/srv/fw/PC42_APP.s19", "/srv/fw/PC42_APP.s19"},
        {"/home/j\u00FCrgen/\u6F22.s19", "/home/j\u00FCrgen/\u6F22.s19"},
        {"caf\xE9.s19", "caf\\xe9.s19"},
        // A name that holds the escape's text itself is told apart.
        {"caf\\xe9.s19", "caf\\\\xe9.s19"},
        {"a\\b", "a\\\\b"},
        // Overlong, a surrogate, cut short, above U+10FFFF.
        {"\xC0\xAF", "\\xc0\\xaf"},
        {"\xED\xA0\x80", "\\xed\\xa0\\x80"},
        {"x\xE2\x82", "x\\xe2\\x82"},
        {"\xF4\x90\x80\x80", "\\xf4\\x90\\x80\\x80"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(EscapeHistoryFileName(c.name), c.text);
        EXPECT_EQ(UnescapeHistoryFileName(c.text), c.name) << c.text;
    }
}

TEST(HistoryLine, AWriteOnlySentReadsBackAndOlderOkLinesStillRead) {
    HistoryEvent sent = SettingsEvent("s", "2026-12-08T15:04:05.123Z", HistoryResult::Sent);
    sent.settings->verified.reset();
    const std::string line = FormatHistoryLine(sent);
    EXPECT_NE(line.find("\"result\":\"sent\""), std::string::npos) << line;
    HistoryEvent older = sent;
    older.result = HistoryResult::Ok;
    const HistoryReading reading = ReadHistory(line + FormatHistoryLine(older));
    ASSERT_EQ(reading.events.size(), 2u);
    EXPECT_EQ(reading.events[0], sent);
    EXPECT_EQ(reading.events[1].result, HistoryResult::Ok);
}

std::string Line(const HistoryEvent& event) {
    return FormatHistoryLine(event);
}

const std::string kGood = Line(UpdateEvent("g", "2026-12-08T15:04:05.123Z", HistoryResult::Ok));

// kGood with `field` (a JSON member) after its other members, where it
// counts over one of the same name.
std::string GoodWith(const std::string& field) {
    return kGood.substr(0, kGood.size() - 2) + "," + field + "}\n";
}

struct ReaderCase {
    const char* name;
    std::string text;
    std::size_t events;
    std::vector<std::string> warnings;

    friend void PrintTo(const ReaderCase& c, std::ostream* out) { *out << c.name; }
};

class HistoryReaderCases : public testing::TestWithParam<ReaderCase> {};

TEST_P(HistoryReaderCases, SkipsWhatItCannotReadAndKeepsTheRest) {
    const ReaderCase& c = GetParam();
    const HistoryReading whole = ReadHistory(c.text);
    EXPECT_EQ(whole.events.size(), c.events);
    EXPECT_EQ(whole.warnings, c.warnings);

    // The same in the pieces a file is read in.
    HistoryReader reader;
    for (std::size_t at = 0; at < c.text.size(); at += 7) {
        reader.feed(std::string_view(c.text).substr(at, 7));
    }
    const HistoryReading pieces = reader.finish();
    EXPECT_EQ(pieces.events, whole.events);
    EXPECT_EQ(pieces.warnings, whole.warnings);
}

INSTANTIATE_TEST_SUITE_P(
    History, HistoryReaderCases,
    testing::Values(
        ReaderCase{"damaged line",
                   kGood + "{\"id\":\"x\",\"time\n" + kGood,
                   2,
                   {"line 2: damaged, skipped"}},
        ReaderCase{"cut last line",
                   kGood + kGood.substr(0, kGood.size() / 2),
                   1,
                   {"line 2: cut short, skipped"}},
        ReaderCase{"unknown fields",
                   GoodWith(R"("color":"red","module2":{"mac":[1,{"a":null}]},"n":1.5e300)"),
                   1,
                   {}},
        ReaderCase{
            "blank lines and CRLF", "\n" + kGood.substr(0, kGood.size() - 1) + "\r\n \n", 1, {}},
        ReaderCase{"wrong type",
                   kGood + GoodWith(R"("update":{"base":"0x10"})"),
                   1,
                   {"line 2: a field has the wrong type, skipped"}},
        ReaderCase{"negative number",
                   GoodWith(R"("update":{"length":-1})"),
                   0,
                   {"line 1: a field has the wrong type, skipped"}},
        ReaderCase{"unknown action",
                   GoodWith(R"("action":"reboot")") + kGood,
                   1,
                   {"line 1: no action or result this program knows, skipped"}},
        ReaderCase{"no time", GoodWith(R"("time":"yesterday")"), 0, {"line 1: no time, skipped"}},
        ReaderCase{
            "not an object",
            "[1,2]\n\"text\"\n" + kGood,
            1,
            {"line 1: not a history entry, skipped", "line 2: not a history entry, skipped"}},
        ReaderCase{
            "huge line",
            kGood + "{\"message\":\"" + std::string(kMaxHistoryLineBytes, 'x') + "\"}\n" + kGood,
            2,
            {"line 2: longer than any entry, skipped"}},
        ReaderCase{"deep nesting",
                   std::string(100000, '[') + "\n" + kGood,
                   1,
                   {"line 1: damaged, skipped"}}),
    [](const testing::TestParamInfo<ReaderCase>& info) {
        std::string name = info.param.name;
        for (char& c : name) {
            c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        }
        return name;
    });

TEST(HistoryReader, ReadsAStream) {
    std::istringstream in(kGood + "nonsense\n" + kGood);
    const HistoryReading reading = ReadHistory(in);
    EXPECT_EQ(reading.events.size(), 2u);
    EXPECT_EQ(reading.warnings, std::vector<std::string>{"line 2: damaged, skipped"});
}

TEST(HistoryReader, KeepsOnlyTheEventsOfTheFilterAndStillTellsEveryDamagedLine) {
    std::string text;
    text += Line(UpdateEvent("a", "2026-12-08T10:00:00.000Z", HistoryResult::Started));
    text += Line(SettingsEvent("b", "2026-12-08T10:00:01.000Z", HistoryResult::Ok));
    text += "{\n";
    text += Line(UpdateEvent("a", "2026-12-08T10:00:09.000Z", HistoryResult::Ok));
    HistoryFilter filter;
    filter.mac = ParseMac("02-4c-53-00-00-01");
    const HistoryReading reading = ReadHistory(text, HistoryFilterKeep(filter));
    ASSERT_EQ(reading.events.size(), 2u);
    EXPECT_EQ(reading.events[0].result, HistoryResult::Started);
    EXPECT_EQ(reading.events[1].result, HistoryResult::Ok);
    EXPECT_EQ(reading.warnings, std::vector<std::string>{"line 3: damaged, skipped"});
}

TEST(HistoryTime, FormatsUtcWithMilliseconds) {
    using namespace std::chrono;
    const sys_days day = year{2028} / February / 29;
    EXPECT_EQ(FormatHistoryTime(day + hours{23} + minutes{59} + seconds{58} + milliseconds{7}),
              "2028-02-29T23:59:58.007Z");
    EXPECT_EQ(FormatHistoryTime(sys_days{year{1969} / December / 31} + milliseconds{999}),
              "1969-12-31T00:00:00.999Z");
    // And reads back what it writes.
    const auto now = floor<milliseconds>(system_clock::now());
    EXPECT_EQ(ParseHistoryTime(FormatHistoryTime(now)), now.time_since_epoch().count());
}

TEST(HistoryTime, ReadsDatesAndTimesOfTheCommandLine) {
    using namespace std::chrono;
    const std::int64_t day =
        duration_cast<milliseconds>(sys_days{year{2026} / December / 8}.time_since_epoch()).count();
    const std::int64_t hour = 3'600'000;
    struct Case {
        const char* text;
        std::optional<std::int64_t> ms;
    };
    const Case cases[] = {
        {"2026-12-08", day},
        {"2026-12-08T15:04", day + 15 * hour + 4 * 60'000},
        {"2026-12-08 15:04:05", day + 15 * hour + 4 * 60'000 + 5000},
        {"2026-12-08T15:04:05.1Z", day + 15 * hour + 4 * 60'000 + 5100},
        {"2026-12-08T15:04:05.123456789Z", day + 15 * hour + 4 * 60'000 + 5123},
        {"2026-12-08T01:00+02:00", day - hour},
        {"2026-12-08T01:00-0130", day + 2 * hour + 30 * 60'000},
        {"2026-02-29", std::nullopt},
        {"2026-13-01", std::nullopt},
        {"2026-12-08T24:00", std::nullopt},
        {"2026-12-08T15:04:05.", std::nullopt},
        {"2026-12-08Z", std::nullopt},
        {"2026-12-8", std::nullopt},
        {"2026-12-08T15:04:05Zjunk", std::nullopt},
        {"", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseHistoryTime(c.text), c.ms) << c.text;
    }
}

TEST(HistoryJoin, ShowsAStartedEventWithItsOutcomeAsOneRow) {
    const auto rows = JoinHistory({
        UpdateEvent("a", "2026-12-08T10:00:00.000Z", HistoryResult::Started),
        SettingsEvent("b", "2026-12-08T10:00:01.000Z", HistoryResult::Started),
        UpdateEvent("a", "2026-12-08T10:00:09.000Z", HistoryResult::Ok),
        // An outcome whose start is not in the history, and one without an id.
        UpdateEvent("c", "2026-12-08T10:01:00.000Z", HistoryResult::Failed),
        UpdateEvent("", "2026-12-08T10:02:00.000Z", HistoryResult::Started),
        UpdateEvent("", "2026-12-08T10:02:01.000Z", HistoryResult::Cancelled),
    });
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[0].time(), "2026-12-08T10:00:00.000Z");
    EXPECT_EQ(rows[0].event.time, "2026-12-08T10:00:09.000Z");
    EXPECT_EQ(HistoryRowResult(rows[0]), "ok");
    EXPECT_EQ(HistoryRowResult(rows[1]), "no outcome recorded");
    EXPECT_EQ(HistoryRowResult(rows[2]), "failed");
    EXPECT_EQ(rows[2].time(), "2026-12-08T10:01:00.000Z");
    EXPECT_EQ(HistoryRowResult(rows[3]), "no outcome recorded");
    EXPECT_EQ(HistoryRowResult(rows[4]), "cancelled");
}

TEST(HistoryJoin, AnOutcomeEndsOnlyTheLatestStartWithItsId) {
    const auto rows = JoinHistory({
        UpdateEvent("a", "2026-12-08T10:00:00.000Z", HistoryResult::Started),
        UpdateEvent("a", "2026-12-08T11:00:00.000Z", HistoryResult::Started),
        UpdateEvent("a", "2026-12-08T11:00:05.000Z", HistoryResult::Ok),
        UpdateEvent("a", "2026-12-08T11:00:06.000Z", HistoryResult::Failed),
    });
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(HistoryRowResult(rows[0]), "no outcome recorded");
    EXPECT_EQ(rows[1].started, "2026-12-08T11:00:00.000Z");
    EXPECT_EQ(HistoryRowResult(rows[1]), "ok");
    EXPECT_EQ(HistoryRowResult(rows[2]), "failed");
}

TEST(HistoryJoin, HandsOnEachRowOnceItAndTheRowsBeforeItAreWhole) {
    std::vector<std::string> emitted;
    HistoryJoiner joiner([&](HistoryRow&& row) { emitted.push_back(HistoryRowResult(row)); });
    const auto add = [&](std::string id, HistoryResult result) {
        joiner.add(UpdateEvent(std::move(id), "2026-12-08T10:00:00.000Z", result));
        return emitted.size();
    };
    EXPECT_EQ(add("a", HistoryResult::Started), 0u);
    EXPECT_EQ(add("b", HistoryResult::Started), 0u);
    EXPECT_EQ(add("", HistoryResult::Failed), 0u);  // whole, but behind the starts
    EXPECT_EQ(add("a", HistoryResult::Ok), 1u);
    EXPECT_EQ(add("b", HistoryResult::Started), 3u);  // the first b can no longer be joined
    EXPECT_EQ(add("c", HistoryResult::Started), 3u);
    EXPECT_EQ(add("b", HistoryResult::Cancelled), 4u);
    joiner.finish();
    EXPECT_EQ(emitted, (std::vector<std::string>{"ok", "no outcome recorded", "failed", "cancelled",
                                                 "no outcome recorded"}));
}

TEST(HistoryFilter, KeepsTheRowsEveryConditionHolds) {
    const auto rows = JoinHistory({
        UpdateEvent("a", "2026-12-07T23:59:59.999Z", HistoryResult::Started),
        UpdateEvent("a", "2026-12-08T00:00:01.000Z", HistoryResult::Ok),
        UpdateEvent("b", "2026-12-08T00:00:00.000Z", HistoryResult::Ok),
        SettingsEvent("c", "2026-12-09T12:00:00.000Z", HistoryResult::Ok),
    });
    struct Case {
        const char* name;
        HistoryFilter filter;
        std::vector<std::string> ids;
    };
    const Case cases[] = {
        {"none", {}, {"a", "b", "c"}},
        {"mac typed otherwise", {ParseMac("02:4c:53:00:00:02"), {}, {}, {}}, {"c"}},
        {"address", {{}, MakeIpv4(192, 0, 2, 10), {}, {}}, {"a", "b"}},
        // A row is as old as its start.
        {"since a date", {{}, {}, ParseHistoryTime("2026-12-08"), {}}, {"b", "c"}},
        {"since a time", {{}, {}, ParseHistoryTime("2026-12-09T13:00+01:00"), {}}, {"c"}},
        {"action", {{}, {}, {}, HistoryAction::Update}, {"a", "b"}},
        {"all at once",
         {ParseMac("02-4C-53-00-00-01"), MakeIpv4(192, 0, 2, 10), ParseHistoryTime("2026-12-08"),
          HistoryAction::Update},
         {"b"}},
        {"nothing matches", {{}, MakeIpv4(192, 0, 2, 99), {}, {}}, {}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> ids;
        for (const HistoryRow& row : FilterHistory(rows, c.filter)) {
            ids.push_back(row.event.id);
        }
        EXPECT_EQ(ids, c.ids) << c.name;
    }
}

TEST(HistoryOutputs, TableShowsTheChecksumOrTheNewSettings) {
    const auto rows = JoinHistory({
        UpdateEvent("a", "2026-12-08T10:00:00.000Z", HistoryResult::Ok),
        SettingsEvent("b", "2026-12-08T11:00:00.000Z", HistoryResult::Ok),
    });
    EXPECT_EQ(HistoryTableRow(rows[0]),
              (std::vector<std::string>{"2026-12-08T10:00:00.000Z", "02-4C-53-00-00-01 192.0.2.10",
                                        "update", "ok", "0x0001F2A0"}));
    EXPECT_EQ(HistoryTableRow(rows[1])[4],
              "ip 192.0.2.20 mask 255.255.255.0 gateway 192.0.2.1 dns 0.0.0.0, verified");
    EXPECT_EQ(HistoryTableRow(rows[1]).size(), HistoryTableHeader().size());
}

TEST(HistoryOutputs, JsonIsOneArrayWithARowPerLine) {
    const auto rows = JoinHistory({
        UpdateEvent("a", "2026-12-08T10:00:00.000Z", HistoryResult::Started),
        UpdateEvent("a", "2026-12-08T10:00:04.000Z", HistoryResult::Ok),
        SettingsEvent("b", "2026-12-08T11:00:00.000Z", HistoryResult::Started),
    });
    const std::string text = HistoryJson(rows);
    const auto array = nlohmann::json::parse(text);
    ASSERT_EQ(array.size(), 2u);
    EXPECT_EQ(array[0]["time"], "2026-12-08T10:00:00.000Z");
    EXPECT_EQ(array[0]["finished"], "2026-12-08T10:00:04.000Z");
    EXPECT_EQ(array[0]["result"], "ok");
    EXPECT_EQ(array[0]["module"]["name2"], "Halle \u00C4");
    EXPECT_EQ(array[1]["result"], "started");
    EXPECT_FALSE(array[1].contains("finished"));
    // Line by line: the brackets and one row on each line between them.
    std::istringstream lines(text);
    std::string line;
    std::vector<std::string> all;
    while (std::getline(lines, line)) {
        all.push_back(line);
    }
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(nlohmann::json::parse(all[1].substr(0, all[1].size() - 1))["id"], "a");
    EXPECT_EQ(HistoryJson({}), "[\n]\n");
}

TEST(HistoryOutputs, CsvQuotesAsRfc4180) {
    const auto rows = JoinHistory({
        UpdateEvent("a", "2026-12-08T10:00:00.000Z", HistoryResult::Started),
    });
    const std::string csv = HistoryCsv(rows);
    const auto headerEnd = csv.find("\r\n");
    ASSERT_NE(headerEnd, std::string::npos);
    const std::string row = csv.substr(headerEnd + 2);
    EXPECT_EQ(row.rfind("2026-12-08T10:00:00.000Z,,02-4C-53-00-00-01,192.0.2.10,"
                        "\"Pump, \"\"north\"\"\",Halle \u00C4,update,no outcome recorded,",
                        0),
              0u)
        << row;
    EXPECT_EQ(row.substr(row.size() - 2), "\r\n");
    // As many fields in the row as in the header (none of the quoted commas
    // counted).
    auto fields = [](const std::string& line) {
        std::size_t count = 1;
        bool quoted = false;
        for (const char c : line) {
            quoted = c == '"' ? !quoted : quoted;
            count += !quoted && c == ',' ? 1 : 0;
        }
        return count;
    };
    EXPECT_EQ(fields(row), fields(csv.substr(0, headerEnd)));
}

TEST(HistoryFilePath, FollowsTheEnvironment) {
    struct Case {
        HistoryEnvironment environment;
        HistorySystem system;
        const char* path;
    };
    const Case cases[] = {
        {{"/tmp/h.jsonl", "/data", "/home/t", "C:\\L"}, HistorySystem::Posix, "/tmp/h.jsonl"},
        {{"", "/data/", "/home/t", ""}, HistorySystem::Posix, "/data/lanscope/history.jsonl"},
        {{"", "data", "/home/t", ""},
         HistorySystem::Posix,
         "/home/t/.local/share/lanscope/history.jsonl"},
        {{"", "", "", ""}, HistorySystem::Posix, ""},
        {{"", "/data", "/home/t", "C:\\Users\\t\\AppData\\Local"},
         HistorySystem::Windows,
         "C:\\Users\\t\\AppData\\Local\\Lanscope\\history.jsonl"},
        {{"D:\\h.jsonl", "", "", "C:\\L"}, HistorySystem::Windows, "D:\\h.jsonl"},
        {{"", "", "", ""}, HistorySystem::Windows, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(HistoryFilePath(c.environment, c.system), c.path);
    }
}

TEST(HistoryNetwork, ReadsDhcpFromTheRecordsAddress) {
    ModuleRecord record;
    record.setMask(MakeIpv4(255, 255, 0, 0));
    EXPECT_TRUE(HistoryNetworkOf(record).dhcp);
    record.setAddress(MakeIpv4(192, 0, 2, 5));
    const HistoryNetwork network = HistoryNetworkOf(record);
    EXPECT_FALSE(network.dhcp);
    EXPECT_EQ(network.ip, "192.0.2.5");
    EXPECT_EQ(network.mask, "255.255.0.0");
}

}  // namespace
}  // namespace lanscope
