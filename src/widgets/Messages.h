#pragma once

#include <string>

// Texts every window of the program shares.
namespace lanscope::messages {

inline constexpr const char* kMainTitle = "Korvane Network Utility 0.1d";
inline constexpr const char* kAboutMenuText = "&About Lanscope...";
inline constexpr const char* kAlwaysOnTopText = "Always on Top";

// Our own text: the work was done, but the service history did not get it.
inline std::string HistoryNotWrittenText(const std::string& reason) {
    return "The work was done, but the service history could not be written:\n" + reason;
}

}  // namespace lanscope::messages
