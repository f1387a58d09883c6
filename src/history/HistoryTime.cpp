#include "history/HistoryTime.h"

#include <cstdio>

namespace lanscope {

namespace {

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

}  // namespace

std::string FormatHistoryTime(std::chrono::system_clock::time_point time) {
    using namespace std::chrono;
    // floor, not a cast: a time before 1970 belongs to the day it falls in.
    const auto ms = floor<milliseconds>(time);
    const auto day = floor<days>(ms);
    const year_month_day date{day};
    const hh_mm_ss clock{ms - day};
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02lld:%02lld:%02lld.%03lldZ",
                  static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
                  static_cast<unsigned>(date.day()), static_cast<long long>(clock.hours().count()),
                  static_cast<long long>(clock.minutes().count()),
                  static_cast<long long>(clock.seconds().count()),
                  static_cast<long long>(clock.subseconds().count()));
    return text;
}

std::optional<std::int64_t> ParseHistoryTime(std::string_view text) {
    using namespace std::chrono;
    std::size_t at = 0;
    unsigned yearNumber = 0;
    unsigned monthNumber = 0;
    unsigned dayNumber = 0;
    if (!Digits(text, at, 4, yearNumber) || !Take(text, at, '-') ||
        !Digits(text, at, 2, monthNumber) || !Take(text, at, '-') ||
        !Digits(text, at, 2, dayNumber)) {
        return std::nullopt;
    }
    const year_month_day date{year{static_cast<int>(yearNumber)}, month{monthNumber},
                              day{dayNumber}};
    if (!date.ok()) {
        return std::nullopt;
    }
    std::int64_t ms = duration_cast<milliseconds>(sys_days{date}.time_since_epoch()).count();
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
    ms += duration_cast<milliseconds>(hours{hour} + minutes{minute} + seconds{second}).count();
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
    const std::int64_t offset =
        duration_cast<milliseconds>(hours{offsetHours} + minutes{offsetMinutes}).count();
    return sign == '+' ? ms - offset : ms + offset;
}

}  // namespace lanscope
