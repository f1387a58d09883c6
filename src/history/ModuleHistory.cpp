#include "history/ModuleHistory.h"

#include <algorithm>

namespace lanscope {

std::vector<HistoryRow> ModuleHistoryRows(std::vector<HistoryEvent> events, const MacAddress& mac) {
    HistoryFilter filter;
    filter.mac = mac;
    std::vector<HistoryRow> rows = FilterHistory(JoinHistory(std::move(events)), filter);
    // Newest first in the file's own order, as the command line keeps it: a
    // line is appended when its event happens, while the clocks that stamp
    // the times may be stepped back (or be another computer's).
    std::reverse(rows.begin(), rows.end());
    return rows;
}

std::string HistoryWarningsText(const std::vector<std::string>& warnings, std::size_t shown) {
    std::string text;
    for (std::size_t i = 0; i < warnings.size() && i < shown; ++i) {
        text += (i == 0 ? "" : "\n") + warnings[i];
    }
    if (warnings.size() > shown) {
        text += "\n(" + std::to_string(warnings.size() - shown) + " more)";
    }
    return text;
}

}  // namespace lanscope
