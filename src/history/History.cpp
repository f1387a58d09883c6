#include "history/History.h"

#include <algorithm>
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
constexpr std::array<std::string_view, 6> kResultNames{"started",   "ok",   "failed",
                                                       "cancelled", "sent", "unknown"};

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

// Reads one line's object into an event as the parser goes through it,
// without building the object first: a long history is read several times
// faster so. Fields that are missing keep their defaults, a null is a
// missing field, fields this program does not know (and everything inside
// them) are passed over, and a known field of the wrong type makes the line
// damaged.
class EventReader {
  public:
    using number_integer_t = Json::number_integer_t;
    using number_unsigned_t = Json::number_unsigned_t;
    using number_float_t = Json::number_float_t;
    using string_t = Json::string_t;
    using binary_t = Json::binary_t;

    explicit EventReader(HistoryEvent& event) : m_event(event) {}

    bool syntaxError() const { return m_syntaxError; }
    bool isObject() const { return m_isObject; }
    bool damaged() const { return m_damaged; }
    const std::string& action() const { return m_action; }
    const std::string& result() const { return m_result; }

    bool null() { return true; }
    bool boolean(bool value) {
        if (!scalar()) {
            return true;
        }
        if (bool* target = flagField()) {
            *target = value;
        } else {
            m_damaged = m_damaged || isKnownField();
        }
        return true;
    }
    bool number_integer(number_integer_t value) {
        // Only negative numbers come here: no field of an event holds one,
        // but seconds.
        if (!scalar()) {
            return true;
        }
        if (m_context.back() == Context::Update && m_key == "seconds") {
            m_event.update->seconds = static_cast<double>(value);
        } else {
            m_damaged = m_damaged || isKnownField();
        }
        return true;
    }
    bool number_unsigned(number_unsigned_t value) {
        if (!scalar()) {
            return true;
        }
        const Context context = m_context.back();
        if (context == Context::Update && m_key == "seconds") {
            m_event.update->seconds = static_cast<double>(value);
        } else if (context == Context::Update && m_key == "ack_bytes") {
            m_event.update->ackBytes = value;
        } else if (std::uint32_t* target = number32Field()) {
            if (value > std::numeric_limits<std::uint32_t>::max()) {
                m_damaged = true;
            } else {
                *target = static_cast<std::uint32_t>(value);
            }
        } else {
            m_damaged = m_damaged || isKnownField();
        }
        return true;
    }
    bool number_float(number_float_t value, const string_t&) {
        if (!scalar()) {
            return true;
        }
        if (m_context.back() == Context::Update && m_key == "seconds") {
            m_event.update->seconds = value;
        } else {
            m_damaged = m_damaged || isKnownField();
        }
        return true;
    }
    bool string(string_t& value) {
        if (!scalar()) {
            return true;
        }
        if (std::string* target = textField()) {
            target->assign(value);  // into the room the last line's text left
        } else if (std::uint32_t* target = hexField()) {
            const auto number = ParseHex32(value);
            m_damaged = m_damaged || !number;
            *target = number.value_or(0);
        } else if (m_context.back() == Context::Settings && m_key == "verified") {
            if (value == "verified") {
                m_event.settings->verified = HistoryVerified::Verified;
            } else if (value == "not verified") {
                m_event.settings->verified = HistoryVerified::NotVerified;
            }
        } else {
            m_damaged = m_damaged || isKnownField();
        }
        return true;
    }
    bool binary(binary_t&) { return true; }

    bool start_object(std::size_t) {
        if (m_context.empty()) {
            m_isObject = true;
            m_context.push_back(Context::Top);
            return true;
        }
        const Context context = m_context.back();
        Context inner = Context::Ignored;
        if (context == Context::Top && m_key == "module") {
            inner = Context::Module;
        } else if (context == Context::Top && m_key == "update") {
            m_event.update.emplace();
            inner = Context::Update;
        } else if (context == Context::Top && m_key == "save") {
            m_event.save.emplace();
            inner = Context::Save;
        } else if (context == Context::Top && m_key == "settings") {
            m_event.settings.emplace();
            inner = Context::Settings;
        } else if (context == Context::Settings && m_key == "before") {
            m_event.settings->before = {};
            inner = Context::Before;
        } else if (context == Context::Settings && m_key == "after") {
            m_event.settings->after = {};
            inner = Context::After;
        } else {
            m_damaged = m_damaged || isKnownField();
        }
        m_context.push_back(inner);
        return true;
    }
    bool end_object() {
        m_context.pop_back();
        return true;
    }
    bool start_array(std::size_t) {
        if (!m_context.empty()) {
            m_damaged = m_damaged || isKnownField();
        }
        // Values inside an array have no field of their own.
        m_context.push_back(Context::Ignored);
        return true;
    }
    bool end_array() {
        m_context.pop_back();
        return true;
    }
    bool key(string_t& key) {
        m_key = std::move(key);
        return true;
    }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) {
        m_syntaxError = true;
        return false;
    }

  private:
    enum class Context { Top, Module, Update, Save, Settings, Before, After, Ignored };

    // Whether a plain value belongs to a field at all (not the line itself,
    // not inside an array or an unknown field).
    bool scalar() const { return !m_context.empty() && m_context.back() != Context::Ignored; }

    std::string* textField() {
        switch (m_context.back()) {
            case Context::Top:
                return m_key == "id"        ? &m_event.id
                       : m_key == "time"    ? &m_event.time
                       : m_key == "host"    ? &m_event.host
                       : m_key == "user"    ? &m_event.user
                       : m_key == "program" ? &m_event.program
                       : m_key == "action"  ? &m_action
                       : m_key == "result"  ? &m_result
                       : m_key == "message" ? &m_event.message
                                            : nullptr;
            case Context::Module:
                return m_key == "mac"       ? &m_event.module.mac
                       : m_key == "address" ? &m_event.module.address
                       : m_key == "name"    ? &m_event.module.name
                       : m_key == "name2"   ? &m_event.module.name2
                                            : nullptr;
            case Context::Update:
                return m_key == "file"       ? &m_event.update->file
                       : m_key == "platform" ? &m_event.update->platform
                                             : nullptr;
            case Context::Save:
                return m_key == "source"   ? &m_event.save->source
                       : m_key == "target" ? &m_event.save->target
                                           : nullptr;
            case Context::Before:
            case Context::After: {
                HistoryNetwork& network = m_context.back() == Context::Before
                                              ? m_event.settings->before
                                              : m_event.settings->after;
                return m_key == "ip"        ? &network.ip
                       : m_key == "mask"    ? &network.mask
                       : m_key == "gateway" ? &network.gateway
                       : m_key == "dns"     ? &network.dns
                                            : nullptr;
            }
            default:
                return nullptr;
        }
    }

    bool* flagField() {
        switch (m_context.back()) {
            case Context::Update:
                return m_key == "restart" ? &m_event.update->restart : nullptr;
            case Context::Before:
                return m_key == "dhcp" ? &m_event.settings->before.dhcp : nullptr;
            case Context::After:
                return m_key == "dhcp" ? &m_event.settings->after.dhcp : nullptr;
            default:
                return nullptr;
        }
    }

    std::uint32_t* number32Field() {
        switch (m_context.back()) {
            case Context::Update:
                return m_key == "base"       ? &m_event.update->base
                       : m_key == "length"   ? &m_event.update->length
                       : m_key == "checksum" ? &m_event.update->checksum
                                             : nullptr;
            case Context::Save:
                return m_key == "base"       ? &m_event.save->base
                       : m_key == "length"   ? &m_event.save->length
                       : m_key == "checksum" ? &m_event.save->checksum
                                             : nullptr;
            default:
                return nullptr;
        }
    }

    // The checksum as written: "0x0001F2A0".
    std::uint32_t* hexField() {
        if (m_key != "checksum") {
            return nullptr;
        }
        switch (m_context.back()) {
            case Context::Update:
                return &m_event.update->checksum;
            case Context::Save:
                return &m_event.save->checksum;
            default:
                return nullptr;
        }
    }

    // Whether the current key names a field of this program's, which then
    // has the wrong type.
    bool isKnownField() const {
        static constexpr std::array<std::string_view, 8> kTop{
            "id", "time", "host", "user", "program", "action", "result", "message"};
        static constexpr std::array<std::string_view, 4> kObjects{"module", "update", "save",
                                                                  "settings"};
        static constexpr std::array<std::string_view, 4> kModule{"mac", "address", "name", "name2"};
        static constexpr std::array<std::string_view, 8> kUpdate{
            "file", "base", "length", "checksum", "platform", "restart", "ack_bytes", "seconds"};
        static constexpr std::array<std::string_view, 5> kSave{"source", "target", "base", "length",
                                                               "checksum"};
        static constexpr std::array<std::string_view, 3> kSettings{"before", "after", "verified"};
        static constexpr std::array<std::string_view, 5> kNetwork{"dhcp", "ip", "mask", "gateway",
                                                                  "dns"};
        auto in = [this](const auto& names) {
            return std::find(names.begin(), names.end(), m_key) != names.end();
        };
        switch (m_context.back()) {
            case Context::Top:
                return in(kTop) || in(kObjects);
            case Context::Module:
                return in(kModule);
            case Context::Update:
                return in(kUpdate);
            case Context::Save:
                return in(kSave);
            case Context::Settings:
                return in(kSettings);
            case Context::Before:
            case Context::After:
                return in(kNetwork);
            default:
                return false;
        }
    }

    static std::optional<std::uint32_t> ParseHex32(std::string_view text) {
        if (text.size() < 3 || text.size() > 10 || text[0] != '0' ||
            (text[1] != 'x' && text[1] != 'X')) {
            return std::nullopt;
        }
        std::uint32_t result = 0;
        for (const char c : text.substr(2)) {
            const int digit = c >= '0' && c <= '9'   ? c - '0'
                              : c >= 'a' && c <= 'f' ? c - 'a' + 10
                              : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                     : -1;
            if (digit < 0) {
                return std::nullopt;
            }
            result = result * 16 + static_cast<std::uint32_t>(digit);
        }
        return result;
    }

    HistoryEvent& m_event;
    std::vector<Context> m_context;
    std::string m_key;
    std::string m_action;
    std::string m_result;
    bool m_syntaxError = false;
    bool m_isObject = false;
    bool m_damaged = false;
};

// An event with nothing in it, its texts keeping their room.
void Clear(HistoryEvent& event) {
    for (std::string* text :
         {&event.id, &event.time, &event.host, &event.user, &event.program, &event.message,
          &event.module.mac, &event.module.address, &event.module.name, &event.module.name2}) {
        text->clear();
    }
    event.action = HistoryAction::Update;
    event.result = HistoryResult::Started;
    event.update.reset();
    event.save.reset();
    event.settings.reset();
}

// Why a line is no event; empty when it is one.
std::string ReadEvent(std::string_view line, HistoryEvent& event) {
    Clear(event);
    EventReader reader(event);
    Json::sax_parse(line.begin(), line.end(), &reader);
    if (reader.syntaxError()) {
        return "damaged";
    }
    if (!reader.isObject()) {
        return "not a history entry";
    }
    if (reader.damaged()) {
        return "a field has the wrong type";
    }
    const auto action = ParseHistoryAction(reader.action());
    const auto result = ParseHistoryResult(reader.result());
    if (!action || !result) {
        return "no action or result this program knows";
    }
    if (!ParseHistoryTime(event.time)) {
        return "no time";
    }
    event.action = *action;
    event.result = *result;
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

HistoryModule HistoryModuleOfLine(std::string_view line) {
    const ListLineColumns columns = SplitListLine(line);
    std::string_view mac = columns.mac;
    if (mac.size() >= 2 && mac.front() == '[' && mac.back() == ']') {
        mac = mac.substr(1, mac.size() - 2);
    }
    return {std::string(mac), columns.address, EightBitToUtf8(columns.name),
            EightBitToUtf8(columns.name2)};
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

namespace {

// How many bytes the well-formed UTF-8 character at `at` has; 0 when the
// byte there starts none (no overlong forms, no surrogates, nothing above
// U+10FFFF).
std::size_t Utf8CharacterAt(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned first = byte(at);
    if (first < 0x80) {
        return 1;
    }
    std::size_t size = 0;
    unsigned low = 0x80;
    unsigned high = 0xBF;
    if (first >= 0xC2 && first <= 0xDF) {
        size = 2;
    } else if (first >= 0xE0 && first <= 0xEF) {
        size = 3;
        low = first == 0xE0 ? 0xA0 : 0x80;
        high = first == 0xED ? 0x9F : 0xBF;
    } else if (first >= 0xF0 && first <= 0xF4) {
        size = 4;
        low = first == 0xF0 ? 0x90 : 0x80;
        high = first == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (text.size() - at < size) {
        return 0;
    }
    for (std::size_t i = 1; i < size; ++i) {
        const unsigned next = byte(at + i);
        if (next < (i == 1 ? low : 0x80u) || next > (i == 1 ? high : 0xBFu)) {
            return 0;
        }
    }
    return size;
}

int HexDigit(char c) {
    return c >= '0' && c <= '9'   ? c - '0'
           : c >= 'a' && c <= 'f' ? c - 'a' + 10
           : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                  : -1;
}

}  // namespace

std::string EscapeHistoryFileName(std::string_view bytes) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string text;
    text.reserve(bytes.size());
    for (std::size_t at = 0; at < bytes.size();) {
        if (bytes[at] == '\\') {
            text += "\\\\";
            ++at;
            continue;
        }
        if (const std::size_t size = Utf8CharacterAt(bytes, at); size > 0) {
            text.append(bytes.substr(at, size));
            at += size;
            continue;
        }
        const auto byte = static_cast<unsigned char>(bytes[at++]);
        text += "\\x";
        text += kHex[byte >> 4];
        text += kHex[byte & 0xF];
    }
    return text;
}

std::string UnescapeHistoryFileName(std::string_view text) {
    std::string bytes;
    bytes.reserve(text.size());
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] == '\\' && at + 1 < text.size() && text[at + 1] == '\\') {
            bytes += '\\';
            ++at;
        } else if (text[at] == '\\' && at + 3 < text.size() && text[at + 1] == 'x' &&
                   HexDigit(text[at + 2]) >= 0 && HexDigit(text[at + 3]) >= 0) {
            bytes += static_cast<char>(HexDigit(text[at + 2]) * 16 + HexDigit(text[at + 3]));
            at += 3;
        } else {
            bytes += text[at];  // a text not written so (an older record) stays as it is
        }
    }
    return bytes;
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
    m_reading = {};
    m_line.clear();
    m_lineNumber = 0;
    m_unterminated = false;
    return reading;
}

void HistoryReader::takeLine(std::string_view line) {
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    if (line.find_first_not_of(" \t") == std::string_view::npos) {
        return;
    }
    std::string why = ReadEvent(line, m_scratch);
    if (why.empty()) {
        if (!m_keep) {
            m_reading.events.push_back(std::move(m_scratch));
        } else if (m_keep(m_scratch)) {
            m_reading.events.push_back(m_scratch);
        }
        return;
    }
    // A last line without its end is what a write cut short leaves.
    if (why == "damaged" && m_unterminated) {
        why = "cut short";
    }
    m_reading.warnings.push_back("line " + std::to_string(m_lineNumber) + ": " + why + ", skipped");
}

HistoryReading ReadHistory(std::string_view text, HistoryKeep keep) {
    HistoryReader reader(std::move(keep));
    reader.feed(text);
    return reader.finish();
}

HistoryReading ReadHistory(std::istream& in, HistoryKeep keep) {
    HistoryReader reader(std::move(keep));
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
