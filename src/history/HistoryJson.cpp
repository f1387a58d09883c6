#include "history/HistoryJson.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <concepts>
#include <cstdio>
#include <iterator>
#include <limits>
#include <nlohmann/json.hpp>
#include <optional>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

namespace lanscope {

namespace {

using Json = nlohmann::json;

template <class T, class S>
concept Of = std::same_as<std::remove_const_t<T>, S>;

template <class T>
inline constexpr bool kIsOptional = false;
template <class T>
inline constexpr bool kIsOptional<std::optional<T>> = true;

// The fields of each object a line holds, in the order they are written.
// The writer, the reader and the clearing of the reader's event all walk
// these, so a field is named here and nowhere else. `hex` is a number
// written as "0x0001F2A0".
void Fields(auto& walk, Of<HistoryModule> auto& module) {
    walk.field("mac", module.mac);
    walk.field("address", module.address);
    walk.field("name", module.name);
    walk.field("name2", module.name2);
}

void Fields(auto& walk, Of<HistoryUpdate> auto& update) {
    walk.field("file", update.file);
    walk.field("base", update.base);
    walk.field("length", update.length);
    walk.hex("checksum", update.checksum);
    walk.field("platform", update.platform);
    walk.field("restart", update.restart);
    walk.field("ack_bytes", update.ackBytes);
    walk.field("seconds", update.seconds);
}

void Fields(auto& walk, Of<HistorySave> auto& save) {
    walk.field("source", save.source);
    walk.field("target", save.target);
    walk.field("base", save.base);
    walk.field("length", save.length);
    walk.hex("checksum", save.checksum);
}

void Fields(auto& walk, Of<HistoryNetwork> auto& network) {
    walk.field("dhcp", network.dhcp);
    walk.field("ip", network.ip);
    walk.field("mask", network.mask);
    walk.field("gateway", network.gateway);
    walk.field("dns", network.dns);
}

void Fields(auto& walk, Of<HistorySettings> auto& settings) {
    walk.field("before", settings.before);
    walk.field("after", settings.after);
    walk.field("verified", settings.verified);  // only when someone asked
}

void Fields(auto& walk, Of<HistoryEvent> auto& event) {
    walk.field("id", event.id);
    walk.field("time", event.time);
    walk.field("host", event.host);
    walk.field("user", event.user);
    walk.field("program", event.program);
    walk.field("action", event.action);
    walk.field("result", event.result);
    walk.field("message", event.message);
    walk.field("module", event.module);
    // The details of the action: only the one it has.
    walk.field("update", event.update);
    walk.field("save", event.save);
    walk.field("settings", event.settings);
}

constexpr std::array<std::string_view, 2> kVerifiedNames{"verified", "not verified"};

// Writes the object of one of the structures above as JSON text, exactly as
// the object's dump() would (no blanks, keys in the order walked), without
// building the object: a long history goes out several times faster so.
class Writer {
  public:
    // `time`, when given, is written in place of the top object's own.
    Writer(std::string& out, const std::string* time = nullptr) : m_out(out), m_time(time) {}

    void open() { m_out += '{'; }
    void close() { m_out += '}'; }

    template <class T>
    void field(std::string_view name, const T& value) {
        if constexpr (kIsOptional<T>) {
            if (value) {
                field(name, *value);
            }
        } else if constexpr (std::is_same_v<T, HistoryAction>) {
            key(name);
            text(HistoryActionName(value));
        } else if constexpr (std::is_same_v<T, HistoryResult>) {
            key(name);
            text(HistoryResultName(value));
        } else if constexpr (std::is_same_v<T, HistoryVerified>) {
            key(name);
            text(kVerifiedNames[static_cast<std::size_t>(value)]);
        } else if constexpr (std::is_same_v<T, std::string>) {
            key(name);
            text(m_time && name == "time" ? *m_time : value);
        } else if constexpr (std::is_class_v<T>) {
            key(name);
            Writer inner(m_out);
            inner.open();
            Fields(inner, value);
            inner.close();
        } else if constexpr (std::is_same_v<T, bool>) {
            key(name);
            m_out += value ? "true" : "false";
        } else if constexpr (std::is_integral_v<T>) {
            key(name);
            char digits[24];
            const auto written = std::to_chars(std::begin(digits), std::end(digits), value);
            m_out.append(digits, written.ptr);
        } else {
            // Floating point as the JSON library writes it: the shortest
            // text that reads back as the same number.
            key(name);
            m_out += Json(value).dump();
        }
    }
    void hex(std::string_view name, std::uint32_t value) {
        key(name);
        text(HistoryHex32(value));
    }

    void key(std::string_view name) {
        if (m_fields++ > 0) {
            m_out += ',';
        }
        text(name);
        m_out += ':';
    }
    // A string in quotes. Only printable ASCII without quote or backslash
    // is copied as it is; anything else (escapes, other characters, bytes
    // that are not UTF-8 and get replacement characters) goes through the
    // JSON library, so the text stays what it has always been.
    void text(std::string_view value) {
        const bool plain = std::all_of(value.begin(), value.end(), [](char c) {
            return c >= 0x20 && c < 0x7F && c != '"' && c != '\\';
        });
        if (plain) {
            m_out += '"';
            m_out += value;
            m_out += '"';
            return;
        }
        m_out += Json(std::string(value)).dump(-1, ' ', false, Json::error_handler_t::replace);
    }

  private:
    std::string& m_out;
    const std::string* m_time;
    int m_fields = 0;
};

// Empties every field of the reader's event; texts keep their room.
class Clearer {
  public:
    template <class T>
    void field(std::string_view, T& value) {
        if constexpr (std::is_same_v<T, std::string>) {
            value.clear();
        } else if constexpr (std::is_same_v<T, HistoryModule>) {
            Fields(*this, value);
        } else {
            value = T{};
        }
    }
    void hex(std::string_view, std::uint32_t& value) { value = 0; }
};

// A checksum field as written: "0x0001F2A0".
struct HexField {
    std::uint32_t& value;
};

// Calls `take` with the field named `key` of an object, if it has one.
template <class Take>
class Finder {
  public:
    Finder(std::string_view key, Take& take) : m_key(key), m_take(take) {}

    bool found() const { return m_found; }

    template <class T>
    void field(std::string_view name, T& target) {
        if (!m_found && name == m_key) {
            m_found = true;
            m_take(target);
        }
    }
    void hex(std::string_view name, std::uint32_t& target) {
        if (!m_found && name == m_key) {
            m_found = true;
            HexField field{target};
            m_take(field);
        }
    }

  private:
    std::string_view m_key;
    Take& m_take;
    bool m_found = false;
};

std::optional<std::uint32_t> ParseHex32(std::string_view text) {
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
    bool kindsKnown() const { return m_actionKnown && m_resultKnown; }

    bool null() { return true; }
    bool boolean(bool value) { return scalar(value); }
    // Only negative numbers come here: no field of an event holds one, but
    // seconds.
    bool number_integer(number_integer_t value) { return scalar(value); }
    bool number_unsigned(number_unsigned_t value) { return scalar(value); }
    bool number_float(number_float_t value, const string_t&) { return scalar(value); }
    bool string(string_t& value) { return scalar(value); }
    bool binary(binary_t&) { return true; }

    bool start_object(std::size_t) {
        if (m_context.empty()) {
            m_isObject = true;
            m_context.push_back(&m_event);
            return true;
        }
        auto enter = [this](auto& target) { this->enter(target); };
        if (!find(enter)) {
            m_context.push_back(std::monostate{});
        }
        return true;
    }
    bool end_object() {
        m_context.pop_back();
        return true;
    }
    bool start_array(std::size_t) {
        // No field of an event is an array.
        auto known = [this](auto&) { m_damaged = true; };
        if (!m_context.empty()) {
            find(known);
        }
        // Values inside an array have no field of their own.
        m_context.push_back(std::monostate{});
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
    // The object being read; nothing for the inside of an array or of a
    // field this program does not know.
    using Object = std::variant<std::monostate, HistoryEvent*, HistoryModule*, HistoryUpdate*,
                                HistorySave*, HistorySettings*, HistoryNetwork*>;

    // Calls `take` with the current object's field of the current key;
    // whether there is one.
    template <class Take>
    bool find(Take& take) {
        return std::visit(
            [&](auto object) {
                if constexpr (std::is_same_v<decltype(object), std::monostate>) {
                    return false;
                } else {
                    Finder<Take> finder(m_key, take);
                    Fields(finder, *object);
                    return finder.found();
                }
            },
            m_context.back());
    }

    // A plain value, for the field it belongs to (not the line itself, not
    // inside an array or an unknown field).
    template <class Value>
    bool scalar(Value& value) {
        if (m_context.empty()) {
            return true;
        }
        auto take = [&](auto& target) { m_damaged = !store(target, value) || m_damaged; };
        find(take);
        return true;
    }

    template <class T>
    void enter(T& target) {
        if constexpr (kIsOptional<T>) {
            if constexpr (std::is_constructible_v<Object, typename T::value_type*>) {
                target.emplace();
                m_context.push_back(&*target);
            } else {
                m_damaged = true;
                m_context.push_back(std::monostate{});
            }
        } else if constexpr (std::is_same_v<T, HistoryModule>) {
            // Its texts were emptied with the event's and keep their room.
            m_context.push_back(&target);
        } else if constexpr (std::is_same_v<T, HistoryNetwork>) {
            target = {};
            m_context.push_back(&target);
        } else {
            m_damaged = true;
            m_context.push_back(std::monostate{});
        }
    }

    // Each field takes the values of its kind; false for any other.
    template <class T, class Value>
    static bool store(T&, const Value&) {
        return false;
    }
    static bool store(std::string& target, const string_t& value) {
        target.assign(value);  // into the room the last line's text left
        return true;
    }
    static bool store(bool& target, bool value) {
        target = value;
        return true;
    }
    static bool store(std::uint32_t& target, number_unsigned_t value) {
        if (value > std::numeric_limits<std::uint32_t>::max()) {
            return false;
        }
        target = static_cast<std::uint32_t>(value);
        return true;
    }
    static bool store(HexField target, number_unsigned_t value) {
        return store(target.value, value);
    }
    static bool store(HexField target, const string_t& value) {
        const auto number = ParseHex32(value);
        target.value = number.value_or(0);
        return number.has_value();
    }
    static bool store(std::uint64_t& target, number_unsigned_t value) {
        target = value;
        return true;
    }
    static bool store(double& target, number_integer_t value) {
        target = static_cast<double>(value);
        return true;
    }
    static bool store(double& target, number_unsigned_t value) {
        target = static_cast<double>(value);
        return true;
    }
    static bool store(double& target, number_float_t value) {
        target = value;
        return true;
    }
    // Another word is passed over, as a newer program's might be.
    static bool store(std::optional<HistoryVerified>& target, const string_t& value) {
        for (std::size_t i = 0; i < kVerifiedNames.size(); ++i) {
            if (value == kVerifiedNames[i]) {
                target = static_cast<HistoryVerified>(i);
            }
        }
        return true;
    }
    // An action or result of a kind this program does not know leaves the
    // line no event, but only once the line is known to be no damaged one.
    bool store(HistoryAction& target, const string_t& value) {
        const auto action = ParseHistoryAction(value);
        m_actionKnown = action.has_value();
        target = action.value_or(target);
        return true;
    }
    bool store(HistoryResult& target, const string_t& value) {
        const auto result = ParseHistoryResult(value);
        m_resultKnown = result.has_value();
        target = result.value_or(target);
        return true;
    }

    HistoryEvent& m_event;
    std::vector<Object> m_context;
    std::string m_key;
    bool m_actionKnown = false;
    bool m_resultKnown = false;
    bool m_syntaxError = false;
    bool m_isObject = false;
    bool m_damaged = false;
};

}  // namespace

std::string HistoryHex32(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(value));
    return text;
}

void AppendHistoryEventJson(std::string& out, const HistoryEvent& event, const std::string& time,
                            const std::string* finished) {
    Writer writer(out, &time);
    writer.open();
    Fields(writer, event);
    if (finished) {
        writer.key("finished");
        writer.text(*finished);
    }
    writer.close();
}

std::string FormatHistoryLine(const HistoryEvent& event) {
    // One line whatever the texts hold: line ends are escaped, and text
    // that is not UTF-8 must not cost the event.
    std::string line;
    AppendHistoryEventJson(line, event, event.time);
    line += '\n';
    return line;
}

std::string_view HistoryLineFaultText(HistoryLineFault fault) {
    switch (fault) {
        case HistoryLineFault::None:
            return {};
        case HistoryLineFault::Damaged:
            return "damaged";
        case HistoryLineFault::CutShort:
            return "cut short";
        case HistoryLineFault::NotAnEntry:
            return "not a history entry";
        case HistoryLineFault::WrongType:
            return "a field has the wrong type";
        case HistoryLineFault::UnknownKind:
            return "no action or result this program knows";
        case HistoryLineFault::NoTime:
            return "no time";
        case HistoryLineFault::TooLong:
            return "longer than any entry";
    }
    return {};
}

HistoryLineFault ReadHistoryEvent(std::string_view line, HistoryEvent& event) {
    Clearer clearer;
    Fields(clearer, event);
    EventReader reader(event);
    Json::sax_parse(line.begin(), line.end(), &reader);
    if (reader.syntaxError()) {
        return HistoryLineFault::Damaged;
    }
    if (!reader.isObject()) {
        return HistoryLineFault::NotAnEntry;
    }
    if (reader.damaged()) {
        return HistoryLineFault::WrongType;
    }
    if (!reader.kindsKnown()) {
        return HistoryLineFault::UnknownKind;
    }
    if (!ParseHistoryTime(event.time)) {
        return HistoryLineFault::NoTime;
    }
    return HistoryLineFault::None;
}

}  // namespace lanscope
