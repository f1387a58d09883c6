#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "history/History.h"

namespace lanscope {

// An event's object as the history file holds it, appended to `out` as one
// line of JSON text: `time` in the place of the event's own, and a last
// field "finished" when given (the outputs that join a start to its outcome).
void AppendHistoryEventJson(std::string& out, const HistoryEvent& event, const std::string& time,
                            const std::string* finished = nullptr);

// The checksum as the history and `info` write it: "0x0001F2A0".
std::string HistoryHex32(std::uint32_t value);

// Why a line of the history was skipped.
enum class HistoryLineFault {
    None,         // it is an event
    Damaged,      // no JSON
    CutShort,     // no JSON, and the last line without its end: a write cut short
    NotAnEntry,   // JSON, but no object
    WrongType,    // a field this program knows holds the wrong kind of value
    UnknownKind,  // no action or no result this program knows
    NoTime,       // no time that reads as one
    TooLong,      // longer than kMaxHistoryLineBytes, not read at all
};

// What the reader's warnings say: "damaged", "cut short", ...
std::string_view HistoryLineFaultText(HistoryLineFault fault);

// Reads one line (without its end) into `event`, whose texts keep their room
// from line to line. Gives None when the line is an event.
HistoryLineFault ReadHistoryEvent(std::string_view line, HistoryEvent& event);

}  // namespace lanscope
