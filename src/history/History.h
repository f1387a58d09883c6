#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/Ipv4.h"
#include "common/Result.h"
#include "discovery/Datagrams.h"

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

// A module from its line in the list: "[mac]", the address it answered
// from, its names converted as the list shows them.
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

// "2026-12-08T15:04:05.123Z"
std::string FormatHistoryTime(std::chrono::system_clock::time_point time);

// Milliseconds since 1970 (UTC) of a date "YYYY-MM-DD" (its midnight) or a
// time "YYYY-MM-DDTHH:MM[:SS[.fff]]" with "Z", "+hh:mm" or "-hh:mm" at its end
// (a time without one is UTC, as the history's are); a space may stand for
// the "T". Nothing for anything else.
std::optional<std::int64_t> ParseHistoryTime(std::string_view text);

// A file name whose bytes are not all UTF-8 (a name on a POSIX system is
// any bytes) as text that keeps them: each byte that is no part of a UTF-8
// character becomes "\xNN" (two lower-case hex digits) and a backslash
// becomes "\\", so no two names give one text, a UTF-8 name without a
// backslash stays as it is, and the text is what a shell's $'...' quoting
// reads back as the name. UnescapeHistoryFileName gives the bytes back.
std::string EscapeHistoryFileName(std::string_view bytes);
std::string UnescapeHistoryFileName(std::string_view text);

// One line of the history file, '\n' included. Text that is not UTF-8 is
// written with replacement characters rather than lost.
std::string FormatHistoryLine(const HistoryEvent& event);

// Events read back, in file order, and what was skipped.
struct HistoryReading {
    std::vector<HistoryEvent> events;
    std::vector<std::string> warnings;  // "line 7: ..." per line skipped
};

// Lines longer than this are skipped unread: no event comes near it, and a
// damaged file must not make the reader hold gigabytes.
inline constexpr std::size_t kMaxHistoryLineBytes = 1 << 20;

// Reads a history in pieces as they come (a file in blocks). A line that is
// not a JSON object with a time, an action and a result of this program's
// kinds, or whose known fields have the wrong type, is skipped with one
// warning naming its line; fields this program does not know are passed
// over, so newer programs' files stay readable. Blank lines are passed over.
//
// `keep`, when given, decides which of the events read are kept: a history
// read for one module holds only that module's events, however long the file.
using HistoryKeep = std::function<bool(const HistoryEvent&)>;
class HistoryReader {
  public:
    explicit HistoryReader(HistoryKeep keep = {}) : m_keep(std::move(keep)) {}

    void feed(std::string_view text);
    // Ends the text: a last line without its line end (a write cut short) is
    // read like any other.
    HistoryReading finish();

  private:
    void takeLine(std::string_view line);

    HistoryKeep m_keep;
    HistoryReading m_reading;
    // Each line is read into this one event, whose texts keep their room
    // from line to line.
    HistoryEvent m_scratch;
    std::string m_line;
    std::size_t m_lineNumber = 0;
    bool m_tooLong = false;
    bool m_unterminated = false;  // the last line, which has no line end
};

HistoryReading ReadHistory(std::string_view text, HistoryKeep keep = {});
HistoryReading ReadHistory(std::istream& in, HistoryKeep keep = {});

// Where the history lives, from the environment's values (empty when unset):
// LANSCOPE_HISTORY names the file itself; otherwise
// $XDG_DATA_HOME/lanscope/history.jsonl (XDG_DATA_HOME only when absolute,
// as the base directory rules say) or ~/.local/share/lanscope/history.jsonl,
// and %LOCALAPPDATA%\Lanscope\history.jsonl on Windows. Empty when none of
// them gives a place.
struct HistoryEnvironment {
    std::string history;       // LANSCOPE_HISTORY
    std::string xdgDataHome;   // XDG_DATA_HOME
    std::string home;          // HOME
    std::string localAppData;  // LOCALAPPDATA
};
enum class HistorySystem { Posix, Windows };
std::string HistoryFilePath(const HistoryEnvironment& environment, HistorySystem system);

// Where the front ends record events: the file, or a list in a test. A sink
// fills in what it knows (time, host, user, program, an id when the event has
// none) and returns the event as recorded, so the outcome can carry the id of
// its started event. Recording never fails the work: a sink that cannot
// write keeps the failure for its owner to show.
class HistorySink {
  public:
    virtual ~HistorySink() = default;
    virtual HistoryEvent record(HistoryEvent event) = 0;
    // The first failure to write since the last call, once: the window
    // shows one message per run, the command line one line.
    virtual std::optional<Error> takeFailure() { return std::nullopt; }
};

// Records through the sink when there is one (none: history is off).
HistoryEvent RecordHistory(HistorySink* sink, HistoryEvent event);

}  // namespace lanscope
