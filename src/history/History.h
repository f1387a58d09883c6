#pragma once

#include <cstddef>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/Result.h"
#include "history/HistoryEvent.h"
#include "history/HistoryTime.h"

namespace lanscope {

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
// `take`, when given, is handed each event kept as it is read (it may move
// from it) instead of the reading holding them all.
using HistoryKeep = std::function<bool(const HistoryEvent&)>;
using HistoryTake = std::function<void(HistoryEvent&)>;
class HistoryReader {
  public:
    explicit HistoryReader(HistoryKeep keep = {}, HistoryTake take = {})
        : m_keep(std::move(keep)), m_take(std::move(take)) {}

    void feed(std::string_view text);
    // Ends the text: a last line without its line end (a write cut short) is
    // read like any other.
    HistoryReading finish();

  private:
    void takeLine(std::string_view line);

    HistoryKeep m_keep;
    HistoryTake m_take;
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
