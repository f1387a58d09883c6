#pragma once

#include <string>

#include "widgets/Messages.h"

// The application's own texts, as users of the modules' tools know them.
namespace lanscope::messages {

// Our own text (the modules' tools had none): the empty list's pointer to a
// diagnosis.
inline constexpr const char* kNoModuleHint =
    "No module answered. Run lanscope-cli doctor for a diagnosis.";

inline constexpr const char* kSocketsFailed = "Windows sockets initialization failed.";
inline constexpr const char* kNotEnoughMemory =
    "Not enough memory available to complete this task.";

inline constexpr const char* kMainHelp =
    "1. Select a Module and click Configuration button to configure the settings\r\n"
    "2. Select a Module and click the 'Web Interface' button or 'Double click' on a Module to "
    "access the 'Web Interface'\r\n"
    "3. Click Exit button to quit\r\n"
    "\r\n"
    "Note: If connecting using a cross cable, the LAN Module might not show up until Windows has "
    "given a valid IP to your computer which may take up to a minute";

inline constexpr const char* kTipExit = "Exit this program";
inline constexpr const char* kTipList = "List of LAN cards on current network";
inline constexpr const char* kTipHelp =
    "Press here for more information on how to use this application";
inline constexpr const char* kTipConfiguration = "Change this LAN card's network settings";
inline constexpr const char* kTipUpdate = "Install new software on the LAN card";
inline constexpr const char* kTipWebInterface = "Go to the selected LAN card's web interface";
inline constexpr const char* kTipPresets = "Install your own presets onto the LAN card";

inline std::string NoBrowserText(const std::string& url) {
    return "No web browser could be started to show " + url +
           ".\nOpen that address in a browser of your choice.";
}

// The module list could not be saved where the user chose.
inline std::string ListNotSavedText(const std::string& path, const std::string& reason) {
    return "Cannot write " + path + ".\n" + reason;
}

}  // namespace lanscope::messages
