#pragma once

#include <string>

#include "common/Prompt.h"

// The network settings window's and automatic address selection's texts.
namespace lanscope::messages {

inline constexpr const char* kAutoIpCaption = "Auto IP Update";
inline constexpr const char* kCrossOverCable =
    "You must be connected only with a cross over cable for the system to be able\nto "
    "automatically be able to determine the correct IP address. Please disconnect all\nLAN "
    "connections";
inline constexpr const char* kAutoIpDirectQuestion =
    "The system needs to change this LAN card's IP Configuration since you are connected "
    "directly.\nBe sure to reenable DHCP when reconnecting this to a DHCP configured network.";
inline constexpr const char* kAutoIpQuestion =
    "Are you sure you want to change this LAN card's IP Configuration?";

inline constexpr const char* kConfigTitle = "Lanscope Configuration";

inline constexpr const char* kFindTitle = "Find LAN Module";
inline constexpr const char* kTipFindOk = "Select this Module for updating";
inline constexpr const char* kTipFindCancel = "Cancel selecting a Module";
inline constexpr const char* kTipSearchAgain = "Find more LAN Module";
inline constexpr const char* kTipFindList = "List of LAN cards on current network";
inline constexpr const char* kStaticQuestion =
    "Are you sure you want to change this LAN Card's IP Configuration?";
inline constexpr const char* kStaticCaption = "Update";
// Asked before the question above when another listed module has the address:
// two modules on one address make both unreachable.
inline std::string AddressTakenQuestion(const std::string& address, const std::string& module) {
    return FormatText(
        "%s is the address of another module in the list: %s.\nTwo modules with one address "
        "cannot both be reached.\n\nSend this address anyway?",
        address.c_str(), module.c_str());
}
inline constexpr const char* kConfigHelp =
    "1. Click on Update button after making changes to the current settings\r\n2. Click on Auto "
    "IP Update button if connected using a cross cable to configure automatically. All LAN "
    "connections must be disconnected\r\n3. Click Help button for help or Click Exit button to "
    "quit\r\n\r\nNote: 'Use DHCP' button is used to set IP to use DHCP";

inline constexpr const char* kTipCancel = "Cancel changes and close this screen";
inline constexpr const char* kTipStatic = "Change network to match settings listed above";
inline constexpr const char* kTipAutoIp =
    "Set up IP information to match this computer. Disabled if more than one LAN module exists.";
inline constexpr const char* kTipHelp = "Press here for more information on how to use screen";
inline constexpr const char* kTipDhcp =
    "Set IP to dynamically obtain an IP address. Disabled if already chosen through DHCP.";

}  // namespace lanscope::messages
