#pragma once

// Texts every window of the program shares.
namespace lanscope::messages {

inline constexpr const char* kMainTitle = "Korvane Network Utility 0.1d";
inline constexpr const char* kAboutMenuText = "&About Lanscope...";
inline constexpr const char* kAlwaysOnTopText = "Always on Top";

}  // namespace lanscope::messages
