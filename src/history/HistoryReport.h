#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "common/Ipv4.h"
#include "discovery/Datagrams.h"
#include "history/History.h"

namespace lanscope {

// One line of a history as people read it: a started event joined with its
// outcome, an outcome recorded alone, or a started event whose program never
// recorded an outcome (it was killed, or the computer lost power).
struct HistoryRow {
    // The outcome when there is one, else the started event.
    HistoryEvent event;
    // When the work started, when a started event was joined; empty otherwise.
    std::string started;

    bool hasOutcome() const { return event.result != HistoryResult::Started; }
    // When the work started, as far as the history knows.
    const std::string& time() const { return started.empty() ? event.time : started; }
};

// Joins each outcome to the latest started event before it with the same id
// (events without an id stand alone). Rows keep the order their first events
// have in the history.
std::vector<HistoryRow> JoinHistory(std::vector<HistoryEvent> events);

// JoinHistory as the events are read: each row is handed on as soon as it
// and every row before it are whole, so a long history whose work all
// recorded its outcomes is never held at once. A start still waiting for its
// outcome holds back the rows after it, until the outcome or finish().
class HistoryJoiner {
  public:
    using Emit = std::function<void(HistoryRow&&)>;
    explicit HistoryJoiner(Emit emit);

    void add(HistoryEvent&& event);
    // The end of the history: hands on every row still held.
    void finish();

  private:
    struct Waiting {
        HistoryRow row;
        bool open;  // a start that an outcome may still join
    };
    void emitWhole();

    Emit m_emit;
    std::deque<Waiting> m_waiting;
    std::size_t m_first = 0;                              // the row number of m_waiting.front()
    std::unordered_map<std::string, std::size_t> m_open;  // id -> row number
};

// Which rows to show; every condition given must hold.
struct HistoryFilter {
    std::optional<MacAddress> mac;
    std::optional<Ipv4> address;
    std::optional<std::int64_t> since;  // ParseHistoryTime: rows that started then or later
    std::optional<HistoryAction> action;
};
bool MatchesHistoryFilter(const HistoryRow& row, const HistoryFilter& filter);
// What one event decides alone (module and action: an outcome has those of
// its start), for keeping only those events while reading a long history;
// FilterHistory still decides on the joined rows.
HistoryKeep HistoryFilterKeep(HistoryFilter filter);
std::vector<HistoryRow> FilterHistory(std::vector<HistoryRow> rows, const HistoryFilter& filter);

// "ok", "failed", "cancelled" or "no outcome recorded".
std::string HistoryRowResult(const HistoryRow& row);

// The table the command line prints and the history window shows: time,
// module, action, result, and the image's checksum or the new settings.
std::vector<std::string> HistoryTableHeader();
std::vector<std::string> HistoryTableRow(const HistoryRow& row);

// A JSON array with one row per line between its brackets, so it reads both
// as one document and line by line. Each row is the history's own object
// with "time" when the work started and "finished" when its outcome was
// recorded; a row without an outcome keeps the result "started" and has no
// "finished".
std::string HistoryJson(const std::vector<HistoryRow>& rows);
// One row of that array, with the line end before it (and the comma after
// the row before, unless `first`), for writing it as the rows come.
void AppendHistoryJsonRow(std::string& out, const HistoryRow& row, bool first);

// Comma-separated values (RFC 4180, CRLF) with a header line: every field of
// the rows, the result as the table shows it.
std::string HistoryCsv(const std::vector<HistoryRow>& rows);

}  // namespace lanscope
