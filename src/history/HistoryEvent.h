#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/Ipv4.h"
#include "discovery/Datagrams.h"
#include "discovery/ListLine.h"

namespace lanscope {

// The service history: one event per line of a text file (JSON Lines), kept
// by every front end so a technician can say weeks later what was loaded
// into which module, when, and whether it took. An event never holds a
// password or a user name typed for a module.

enum class HistoryAction { Update, Save, Settings };
// Sent: a settings write that went out and that nobody asked the module
// about afterwards; a write the module confirmed is Ok (and "verified").
// Files of older programs hold Ok for both: they read as they say.
// Unknown: an update cancelled after its finish request, which the module
// may have taken.
enum class HistoryResult { Started, Ok, Failed, Cancelled, Sent, Unknown };

std::string_view HistoryActionName(HistoryAction action);  // "update", "save", "settings"
std::string_view HistoryResultName(HistoryResult result);  // "started", "ok", ..., "sent"
std::optional<HistoryAction> ParseHistoryAction(std::string_view name);
std::optional<HistoryResult> ParseHistoryResult(std::string_view name);

// The module as the list showed it: names in UTF-8.
struct HistoryModule {
    std::string mac;      // "02-4C-53-00-00-01"
    std::string address;  // dotted
    std::string name;
    std::string name2;

    bool operator==(const HistoryModule&) const = default;
};

// A module from its reply: the hardware address of its record, the address
// the list shows and its names converted as the list shows them.
HistoryModule HistoryModuleOf(const MacAddress& mac, Ipv4 address, std::string_view name,
                              std::string_view name2);

// A module from its line's parts in the list: "[mac]", the address it
// answered from, its names converted as the list shows them.
HistoryModule HistoryModuleOf(const ListFields& fields);

// The same for a window that is handed only the line's text.
HistoryModule HistoryModuleOfLine(std::string_view line);

struct HistoryUpdate {
    std::string file;  // the S-record file as the user named it
    std::uint32_t base = 0;
    std::uint32_t length = 0;
    std::uint32_t checksum = 0;
    std::string platform;
    bool restart = true;
    std::uint64_t ackBytes = 0;  // acknowledged by the module
    double seconds = 0;          // from the first request to the outcome

    bool operator==(const HistoryUpdate&) const = default;
};

struct HistorySave {
    std::string source;  // the S-record file
    std::string target;  // the image file written
    std::uint32_t base = 0;
    std::uint32_t length = 0;
    std::uint32_t checksum = 0;

    bool operator==(const HistorySave&) const = default;
};

// A module's network settings as dotted text; DHCP when the record's address
// is 0.0.0.0, as a module reports it.
struct HistoryNetwork {
    bool dhcp = false;
    std::string ip;
    std::string mask;
    std::string gateway;
    std::string dns;

    bool operator==(const HistoryNetwork&) const = default;
};
HistoryNetwork HistoryNetworkOf(const ModuleRecord& record);

enum class HistoryVerified { Verified, NotVerified };

struct HistorySettings {
    HistoryNetwork before;  // from the module's last reply
    HistoryNetwork after;   // as written
    // Whether the module answered with the new settings; nothing when no one
    // asked (a write without --verify).
    std::optional<HistoryVerified> verified;

    bool operator==(const HistorySettings&) const = default;
};

struct HistoryEvent {
    // Ties a started event to its outcome; the recorder makes one up when it
    // is empty.
    std::string id;
    std::string time;  // UTC, "2026-12-08T15:04:05.123Z"
    std::string host;
    std::string user;
    std::string program;  // "window" or "cli"
    HistoryAction action = HistoryAction::Update;
    HistoryResult result = HistoryResult::Started;
    std::string message;  // what the user was shown
    HistoryModule module;
    // The details of the action (the one that matches it).
    std::optional<HistoryUpdate> update;
    std::optional<HistorySave> save;
    std::optional<HistorySettings> settings;

    bool operator==(const HistoryEvent&) const = default;
};

inline constexpr std::string_view kHistoryProgramWindow = "window";
inline constexpr std::string_view kHistoryProgramCli = "cli";

// The outcome of a started event: the same event (and id) with its result
// and message.
HistoryEvent HistoryOutcome(HistoryEvent started, HistoryResult result, std::string message);

}  // namespace lanscope
