#pragma once

#include <string>
#include <vector>

#include "discovery/Datagrams.h"
#include "history/HistoryReport.h"

namespace lanscope {

// What the history window lists for one module: its rows (each started
// event joined with its outcome), newest first: the file's order turned
// round, whatever the times say (a clock stepped back changes no order).
std::vector<HistoryRow> ModuleHistoryRows(std::vector<HistoryEvent> events, const MacAddress& mac);

// The skipped lines of a reading told in a few lines: the first `shown`
// warnings, then how many more there were. Empty when nothing was skipped.
std::string HistoryWarningsText(const std::vector<std::string>& warnings, std::size_t shown = 5);

}  // namespace lanscope
