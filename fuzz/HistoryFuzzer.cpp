// History files of any content: no crash, no hang, and whatever the reader
// keeps is an event it could have written, counted once with the warnings.
#include <cstdint>
#include <string>
#include <string_view>

#include "history/History.h"
#include "history/HistoryReport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const lanscope::HistoryReading reading = lanscope::ReadHistory(text);
    for (const lanscope::HistoryEvent& event : reading.events) {
        if (!lanscope::ParseHistoryTime(event.time)) {
            __builtin_trap();
        }
        // Written again, an event reads back as itself (unless escaping made
        // its line longer than a line may be).
        const std::string line = lanscope::FormatHistoryLine(event);
        if (line.size() > lanscope::kMaxHistoryLineBytes) {
            continue;
        }
        const auto again = lanscope::ReadHistory(line);
        if (again.events.size() != 1 || !(again.events[0] == event)) {
            __builtin_trap();
        }
    }
    const auto rows = lanscope::JoinHistory(reading.events);
    if (rows.size() > reading.events.size()) {
        __builtin_trap();
    }
    lanscope::HistoryFilter filter;
    filter.since = 0;
    (void)lanscope::HistoryCsv(lanscope::FilterHistory(rows, filter));
    (void)lanscope::HistoryJson(rows);
    return 0;
}
