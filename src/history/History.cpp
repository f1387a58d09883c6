#include "history/History.h"

#include <array>
#include <cstdio>
#include <istream>
#include <limits>
#include <nlohmann/json.hpp>

#include "common/Text.h"
#include "history/HistoryJson.h"

namespace lanscope {

namespace {

constexpr std::array<std::string_view, 3> kActionNames{"update", "save", "settings"};
constexpr std::array<std::string_view, 4> kResultNames{"started", "ok", "failed", "cancelled"};

// Days since 1970-01-01 of a date in the proleptic Gregorian calendar, and
// back (the usual era arithmetic: exact for every year, no time zone tables).
std::int64_t DaysFromCivil(std::int64_t year, unsigned month, unsigned day) {
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const auto yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

struct Civil {
    std::int64_t year;
    unsigned month;
    unsigned day;
};

Civil CivilFromDays(std::int64_t days) {
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const auto dayOfEra = static_cast<unsigned>(days - era * 146097);
    const unsigned yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned monthIndex = (5 * dayOfYear + 2) / 153;
    const unsigned day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
    const unsigned month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
    return {static_cast<std::int64_t>(yearOfEra) + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

bool IsLeapYear(std::int64_t year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

unsigned DaysInMonth(std::int64_t year, unsigned month) {
    constexpr std::array<unsigned, 12> kDays{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Reads exactly `count` decimal digits at `at`.
bool Digits(std::string_view text, std::size_t& at, std::size_t count, unsigned& value) {
    if (at > text.size() || text.size() - at < count) {
        return false;
    }
    value = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const char c = text[at + i];
        if (c < '0' || c > '9') {
            return false;
        }
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    at += count;
    return true;
}

bool Take(std::string_view text, std::size_t& at, char c) {
    if (at < text.size() && text[at] == c) {
        ++at;
        return true;
    }
    return false;
}

using Json = nlohmann::json;
using OrderedJson = nlohmann::ordered_json;

OrderedJson NetworkJson(const HistoryNetwork& network) {
    return {{"dhcp", network.dhcp},
            {"ip", network.ip},
            {"mask", network.mask},
            {"gateway", network.gateway},
            {"dns", network.dns}};
}

// Reading one line's object: fields that are missing keep their defaults,
// fields of the wrong type make the line damaged.
class Fields {
  public:
    explicit Fields(const Json& object) : m_object(object) {}

    bool damaged() const { return m_damaged; }

    const Json* find(const char* key) {
        const auto it = m_object.find(key);
        return it == m_object.end() || it->is_null() ? nullptr : &*it;
    }

    void text(const char* key, std::string& out) {
        if (const Json* value = find(key)) {
            if (value->is_string()) {
                out = value->get_ref<const std::string&>();
            } else {
                m_damaged = true;
            }
        }
    }

    void flag(const char* key, bool& out) {
        if (const Json* value = find(key)) {
            if (value->is_boolean()) {
                out = value->get<bool>();
            } else {
                m_damaged = true;
            }
        }
    }

    template <class Unsigned>
    void number(const char* key, Unsigned& out) {
        const Json* value = find(key);
        if (value == nullptr) {
            return;
        }
        if (value->is_number_unsigned() &&
            value->get<std::uint64_t>() <= std::numeric_limits<Unsigned>::max()) {
            out = static_cast<Unsigned>(value->get<std::uint64_t>());
        } else {
            m_damaged = true;
        }
    }

    // "0x0001F2A0" as the checksum is written, or a plain number.
    void hex32(const char* key, std::uint32_t& out) {
        const Json* value = find(key);
        if (value == nullptr || !value->is_string()) {
            number(key, out);
            return;
        }
        const auto& text = value->get_ref<const std::string&>();
        std::uint64_t result = 0;
        const bool prefixed =
            text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
        if (!prefixed || text.size() > 10) {
            m_damaged = true;
            return;
        }
        for (std::size_t i = 2; i < text.size(); ++i) {
            const char c = text[i];
            const int digit = c >= '0' && c <= '9'   ? c - '0'
                              : c >= 'a' && c <= 'f' ? c - 'a' + 10
                              : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                     : -1;
            if (digit < 0) {
                m_damaged = true;
                return;
            }
            result = result * 16 + static_cast<std::uint64_t>(digit);
        }
        out = static_cast<std::uint32_t>(result);
    }

    void real(const char* key, double& out) {
        if (const Json* value = find(key)) {
            if (value->is_number()) {
                out = value->get<double>();
            } else {
                m_damaged = true;
            }
        }
    }

    // A nested object; nothing when absent, damaged when not an object.
    const Json* object(const char* key) {
        const Json* value = find(key);
        if (value != nullptr && !value->is_object()) {
            m_damaged = true;
            return nullptr;
        }
        return value;
    }

    void merge(const Fields& inner) { m_damaged = m_damaged || inner.m_damaged; }

  private:
    const Json& m_object;
    bool m_damaged = false;
};

void ReadNetwork(Fields& outer, const char* key, HistoryNetwork& network) {
    if (const Json* object = outer.object(key)) {
        Fields fields(*object);
        fields.flag("dhcp", network.dhcp);
        fields.text("ip", network.ip);
        fields.text("mask", network.mask);
        fields.text("gateway", network.gateway);
        fields.text("dns", network.dns);
        outer.merge(fields);
    }
}

// Why a parsed line is no event; empty when it is one.
std::string ReadEvent(const Json& line, HistoryEvent& event) {
    if (!line.is_object()) {
        return "not a history entry";
    }
    Fields fields(line);
    std::string action;
    std::string result;
    fields.text("id", event.id);
    fields.text("time", event.time);
    fields.text("host", event.host);
    fields.text("user", event.user);
    fields.text("program", event.program);
    fields.text("action", action);
    fields.text("result", result);
    fields.text("message", event.message);
    if (const Json* module = fields.object("module")) {
        Fields inner(*module);
        inner.text("mac", event.module.mac);
        inner.text("address", event.module.address);
        inner.text("name", event.module.name);
        inner.text("name2", event.module.name2);
        fields.merge(inner);
    }
    if (const Json* update = fields.object("update")) {
        Fields inner(*update);
        HistoryUpdate& u = event.update.emplace();
        inner.text("file", u.file);
        inner.number("base", u.base);
        inner.number("length", u.length);
        inner.hex32("checksum", u.checksum);
        inner.text("platform", u.platform);
        inner.flag("restart", u.restart);
        inner.number("ack_bytes", u.ackBytes);
        inner.real("seconds", u.seconds);
        fields.merge(inner);
    }
    if (const Json* save = fields.object("save")) {
        Fields inner(*save);
        HistorySave& s = event.save.emplace();
        inner.text("source", s.source);
        inner.text("target", s.target);
        inner.number("base", s.base);
        inner.number("length", s.length);
        inner.hex32("checksum", s.checksum);
        fields.merge(inner);
    }
    if (const Json* settings = fields.object("settings")) {
        Fields inner(*settings);
        HistorySettings& s = event.settings.emplace();
        ReadNetwork(inner, "before", s.before);
        ReadNetwork(inner, "after", s.after);
        std::string verified;
        inner.text("verified", verified);
        if (verified == "verified") {
            s.verified = HistoryVerified::Verified;
        } else if (verified == "not verified") {
            s.verified = HistoryVerified::NotVerified;
        }
        fields.merge(inner);
    }
    if (fields.damaged()) {
        return "a field has the wrong type";
    }
    const auto parsedAction = ParseHistoryAction(action);
    const auto parsedResult = ParseHistoryResult(result);
    if (!parsedAction || !parsedResult) {
        return "no action or result this program knows";
    }
    if (!ParseHistoryTime(event.time)) {
        return "no time";
    }
    event.action = *parsedAction;
    event.result = *parsedResult;
    return {};
}

}  // namespace

std::string_view HistoryActionName(HistoryAction action) {
    return kActionNames[static_cast<std::size_t>(action)];
}

std::string_view HistoryResultName(HistoryResult result) {
    return kResultNames[static_cast<std::size_t>(result)];
}

std::optional<HistoryAction> ParseHistoryAction(std::string_view name) {
    for (std::size_t i = 0; i < kActionNames.size(); ++i) {
        if (kActionNames[i] == name) {
            return static_cast<HistoryAction>(i);
        }
    }
    return std::nullopt;
}

std::optional<HistoryResult> ParseHistoryResult(std::string_view name) {
    for (std::size_t i = 0; i < kResultNames.size(); ++i) {
        if (kResultNames[i] == name) {
            return static_cast<HistoryResult>(i);
        }
    }
    return std::nullopt;
}

HistoryModule HistoryModuleOf(const MacAddress& mac, Ipv4 address, std::string_view name,
                              std::string_view name2) {
    return {FormatMacPlain(mac), FormatIpv4(address), EightBitToUtf8(name), EightBitToUtf8(name2)};
}

HistoryNetwork HistoryNetworkOf(const ModuleRecord& record) {
    return {record.address() == 0, FormatIpv4(record.address()), FormatIpv4(record.mask()),
            FormatIpv4(record.gateway()), FormatIpv4(record.dns())};
}

HistoryEvent HistoryOutcome(HistoryEvent started, HistoryResult result, std::string message) {
    started.result = result;
    started.message = std::move(message);
    return started;
}

std::string FormatHistoryTime(std::chrono::system_clock::time_point time) {
    const auto ms = std::chrono::floor<std::chrono::milliseconds>(time).time_since_epoch().count();
    constexpr std::int64_t kMsPerDay = 86'400'000;
    const std::int64_t days = (ms >= 0 ? ms : ms - (kMsPerDay - 1)) / kMsPerDay;
    const std::int64_t ofDay = ms - days * kMsPerDay;
    const Civil date = CivilFromDays(days);
    char text[48];
    std::snprintf(text, sizeof text, "%04lld-%02u-%02uT%02lld:%02lld:%02lld.%03lldZ",
                  static_cast<long long>(date.year), date.month, date.day,
                  static_cast<long long>(ofDay / 3'600'000),
                  static_cast<long long>(ofDay / 60'000 % 60),
                  static_cast<long long>(ofDay / 1000 % 60), static_cast<long long>(ofDay % 1000));
    return text;
}

std::optional<std::int64_t> ParseHistoryTime(std::string_view text) {
    std::size_t at = 0;
    unsigned year = 0;
    unsigned month = 0;
    unsigned day = 0;
    if (!Digits(text, at, 4, year) || !Take(text, at, '-') || !Digits(text, at, 2, month) ||
        !Take(text, at, '-') || !Digits(text, at, 2, day) || month < 1 || month > 12 || day < 1 ||
        day > DaysInMonth(year, month)) {
        return std::nullopt;
    }
    std::int64_t ms = DaysFromCivil(year, month, day) * 86'400'000;
    if (at == text.size()) {
        return ms;
    }
    unsigned hour = 0;
    unsigned minute = 0;
    unsigned second = 0;
    if (!(Take(text, at, 'T') || Take(text, at, ' ')) || !Digits(text, at, 2, hour) ||
        !Take(text, at, ':') || !Digits(text, at, 2, minute) || hour > 23 || minute > 59) {
        return std::nullopt;
    }
    if (Take(text, at, ':')) {
        if (!Digits(text, at, 2, second) || second > 59) {
            return std::nullopt;
        }
        if (Take(text, at, '.')) {
            unsigned fraction = 0;
            std::size_t digits = 0;
            unsigned digit = 0;
            while (Digits(text, at, 1, digit)) {
                fraction = digits < 3 ? fraction * 10 + digit : fraction;
                ++digits;
            }
            if (digits == 0 || digits > 9) {
                return std::nullopt;
            }
            for (; digits < 3; ++digits) {
                fraction *= 10;
            }
            ms += fraction;
        }
    }
    ms += ((std::int64_t{hour} * 60 + minute) * 60 + second) * 1000;
    if (at == text.size() || Take(text, at, 'Z')) {
        return at == text.size() ? std::optional<std::int64_t>(ms) : std::nullopt;
    }
    const char sign = text[at];
    unsigned offsetHours = 0;
    unsigned offsetMinutes = 0;
    if ((sign != '+' && sign != '-') || !Digits(text, ++at, 2, offsetHours) || offsetHours > 23) {
        return std::nullopt;
    }
    Take(text, at, ':');
    if (!Digits(text, at, 2, offsetMinutes) || offsetMinutes > 59 || at != text.size()) {
        return std::nullopt;
    }
    // Local time = UTC + offset.
    const std::int64_t offset = (std::int64_t{offsetHours} * 60 + offsetMinutes) * 60'000;
    return sign == '+' ? ms - offset : ms + offset;
}

std::string HistoryHex32(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(value));
    return text;
}

nlohmann::ordered_json HistoryEventJson(const HistoryEvent& event) {
    OrderedJson line{
        {"id", event.id},
        {"time", event.time},
        {"host", event.host},
        {"user", event.user},
        {"program", event.program},
        {"action", HistoryActionName(event.action)},
        {"result", HistoryResultName(event.result)},
        {"message", event.message},
        {"module",
         {{"mac", event.module.mac},
          {"address", event.module.address},
          {"name", event.module.name},
          {"name2", event.module.name2}}},
    };
    if (event.update) {
        const HistoryUpdate& u = *event.update;
        line["update"] = {{"file", u.file},          {"base", u.base},
                          {"length", u.length},      {"checksum", HistoryHex32(u.checksum)},
                          {"platform", u.platform},  {"restart", u.restart},
                          {"ack_bytes", u.ackBytes}, {"seconds", u.seconds}};
    }
    if (event.save) {
        const HistorySave& s = *event.save;
        line["save"] = {{"source", s.source},
                        {"target", s.target},
                        {"base", s.base},
                        {"length", s.length},
                        {"checksum", HistoryHex32(s.checksum)}};
    }
    if (event.settings) {
        const HistorySettings& s = *event.settings;
        OrderedJson settings{{"before", NetworkJson(s.before)}, {"after", NetworkJson(s.after)}};
        if (s.verified) {
            settings["verified"] =
                *s.verified == HistoryVerified::Verified ? "verified" : "not verified";
        }
        line["settings"] = std::move(settings);
    }
    return line;
}

std::string FormatHistoryLine(const HistoryEvent& event) {
    // One line whatever the texts hold: dump() escapes line ends, and text
    // that is not UTF-8 must not cost the event.
    return HistoryEventJson(event).dump(-1, ' ', false, OrderedJson::error_handler_t::replace) +
           "\n";
}

void HistoryReader::feed(std::string_view text) {
    while (!text.empty()) {
        const auto end = text.find('\n');
        const std::string_view piece = text.substr(0, end);
        if (!m_tooLong) {
            if (m_line.size() + piece.size() > kMaxHistoryLineBytes) {
                m_tooLong = true;
                m_line.clear();
                m_line.shrink_to_fit();
            } else if (end != std::string_view::npos && m_line.empty()) {
                // The whole line is in this piece: read it where it lies.
                ++m_lineNumber;
                takeLine(piece);
                text.remove_prefix(end + 1);
                continue;
            } else {
                m_line.append(piece);
            }
        }
        if (end == std::string_view::npos) {
            return;
        }
        ++m_lineNumber;
        if (m_tooLong) {
            m_reading.warnings.push_back("line " + std::to_string(m_lineNumber) +
                                         ": longer than any entry, skipped");
            m_tooLong = false;
        } else {
            takeLine(m_line);
        }
        m_line.clear();
        text.remove_prefix(end + 1);
    }
}

HistoryReading HistoryReader::finish() {
    if (m_tooLong || !m_line.empty()) {
        m_unterminated = true;
        feed("\n");
    }
    HistoryReading reading = std::move(m_reading);
    *this = HistoryReader();
    return reading;
}

void HistoryReader::takeLine(std::string_view line) {
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    if (line.find_first_not_of(" \t") == std::string_view::npos) {
        return;
    }
    const Json parsed = Json::parse(line, nullptr, false);
    // A last line without its end is what a write cut short leaves.
    std::string why = m_unterminated ? "cut short, skipped" : "damaged, skipped";
    if (!parsed.is_discarded()) {
        HistoryEvent event;
        why = ReadEvent(parsed, event);
        if (why.empty()) {
            m_reading.events.push_back(std::move(event));
            return;
        }
        why += ", skipped";
    }
    m_reading.warnings.push_back("line " + std::to_string(m_lineNumber) + ": " + why);
}

HistoryReading ReadHistory(std::string_view text) {
    HistoryReader reader;
    reader.feed(text);
    return reader.finish();
}

HistoryReading ReadHistory(std::istream& in) {
    HistoryReader reader;
    std::array<char, 1 << 16> block;
    while (in.read(block.data(), block.size()) || in.gcount() > 0) {
        reader.feed(std::string_view(block.data(), static_cast<std::size_t>(in.gcount())));
    }
    return reader.finish();
}

std::string HistoryFilePath(const HistoryEnvironment& environment, HistorySystem system) {
    if (!environment.history.empty()) {
        return environment.history;
    }
    if (system == HistorySystem::Windows) {
        if (environment.localAppData.empty()) {
            return {};
        }
        std::string folder = environment.localAppData;
        if (folder.back() != '\\' && folder.back() != '/') {
            folder += '\\';
        }
        return folder + "Lanscope\\history.jsonl";
    }
    std::string folder;
    if (!environment.xdgDataHome.empty() && environment.xdgDataHome.front() == '/') {
        folder = environment.xdgDataHome;
    } else if (!environment.home.empty()) {
        folder = environment.home;
        if (folder.back() != '/') {
            folder += '/';
        }
        folder += ".local/share";
    } else {
        return {};
    }
    if (folder.back() != '/') {
        folder += '/';
    }
    return folder + "lanscope/history.jsonl";
}

HistoryEvent RecordHistory(HistorySink* sink, HistoryEvent event) {
    return sink != nullptr ? sink->record(std::move(event)) : event;
}

}  // namespace lanscope
