#pragma once

#include <string>

// The history window's texts.
namespace lanscope::messages {

inline constexpr const char* kHistoryTitle = "Service History";

// Above the table: whose events these are.
inline std::string HistoryModuleText(const std::string& module) {
    return "Updates and settings changes of " + module + ", newest first:";
}

inline constexpr const char* kHistoryEmpty = "Nothing has been recorded for this module yet.";
inline constexpr const char* kHistoryNoFile =
    "There is no service history: neither LANSCOPE_HISTORY nor the user's data folder names a "
    "place for it.";

inline std::string HistoryUnreadableText(const std::string& reason) {
    return "The service history could not be read:\n" + reason;
}

inline std::string HistorySkippedText(const std::string& lines) {
    return "Lines of the service history that could not be read were skipped:\n" + lines;
}

inline std::string HistoryNotSavedText(const std::string& path, const std::string& reason) {
    return "Cannot write " + path + ".\n" + reason;
}

}  // namespace lanscope::messages
