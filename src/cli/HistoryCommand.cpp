#include <ostream>

#include "cli/Commands.h"
#include "cli/Table.h"
#include "common/Text.h"
#include "history/HistoryFile.h"
#include "history/HistoryReport.h"

namespace lanscope::cli {

int RunHistory(const HistoryOptions& options, CliContext& context) {
    HistoryFilter filter;
    filter.address = options.address;
    if (!options.mac.empty()) {
        filter.mac = ParseMac(options.mac);
        if (!filter.mac) {
            context.err << "lanscope-cli: not a hardware address: " << options.mac << '\n';
            return kExitUsage;
        }
    }
    if (!options.since.empty()) {
        filter.since = ParseHistoryTime(options.since);
        if (!filter.since) {
            context.err << "lanscope-cli: not a date (YYYY-MM-DD) or time "
                           "(YYYY-MM-DDTHH:MM:SS, UTC unless it says otherwise): "
                        << options.since << '\n';
            return kExitUsage;
        }
    }
    if (!options.action.empty()) {
        filter.action = ParseHistoryAction(options.action);
        if (!filter.action) {
            context.err << "lanscope-cli: not an action (update, settings, save): "
                        << options.action << '\n';
            return kExitUsage;
        }
    }
    if (context.historyFile.empty()) {
        context.err << "lanscope-cli: no service history: neither LANSCOPE_HISTORY nor the "
                       "user's data folder is set\n";
        return kExitFailed;
    }

    auto reading = ReadHistoryFile(context.historyFile, HistoryFilterKeep(filter));
    if (!reading) {
        context.err << "lanscope-cli: " << reading.error().text << '\n';
        return kExitFailed;
    }
    for (const std::string& warning : reading->warnings) {
        context.err << "lanscope-cli: " << context.historyFile << ": " << warning << '\n';
    }
    const auto rows = FilterHistory(JoinHistory(std::move(reading->events)), filter);

    if (options.json) {
        context.out << HistoryJson(rows);
    } else if (options.csv) {
        context.out << HistoryCsv(rows);
    } else {
        // The file is anybody's to edit: its texts reach the terminal as
        // text, never as its commands.
        std::vector<std::vector<std::string>> table;
        table.reserve(rows.size());
        for (const HistoryRow& row : rows) {
            auto cells = HistoryTableRow(row);
            for (std::string& cell : cells) {
                cell = EscapeControlCharacters(cell);
            }
            table.push_back(std::move(cells));
        }
        PrintTable(context.out, HistoryTableHeader(), table);
    }
    return kExitOk;
}

}  // namespace lanscope::cli
