#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lanscope {

// "2026-12-08T15:04:05.123Z"
std::string FormatHistoryTime(std::chrono::system_clock::time_point time);

// Milliseconds since 1970 (UTC) of a date "YYYY-MM-DD" (its midnight) or a
// time "YYYY-MM-DDTHH:MM[:SS[.fff]]" with "Z", "+hh:mm" or "-hh:mm" at its end
// (a time without one is UTC, as the history's are); a space may stand for
// the "T". Nothing for anything else.
std::optional<std::int64_t> ParseHistoryTime(std::string_view text);

}  // namespace lanscope
