#include "history/ModuleHistory.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace lanscope {

std::vector<HistoryRow> ModuleHistoryRows(std::vector<HistoryEvent> events, const MacAddress& mac) {
    HistoryFilter filter;
    filter.mac = mac;
    std::vector<HistoryRow> rows = FilterHistory(JoinHistory(std::move(events)), filter);
    // The history's own order, newest first, is right for one computer; the
    // times decide between events that programs on several computers (with
    // clocks of their own) wrote to one shared file.
    std::reverse(rows.begin(), rows.end());
    const auto started = [](const HistoryRow& row) {
        return ParseHistoryTime(row.time()).value_or(std::numeric_limits<std::int64_t>::min());
    };
    std::stable_sort(rows.begin(), rows.end(), [&](const HistoryRow& a, const HistoryRow& b) {
        return started(a) > started(b);
    });
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
