#include <CLI/CLI.hpp>
#include <memory>
#include <ostream>

#include "cli/Commands.h"
#include "cli/Table.h"
#include "common/Text.h"
#include "history/HistoryFile.h"
#include "history/HistoryReport.h"

namespace lanscope::cli {

namespace {

void PrintWarnings(const HistoryReading& reading, CliContext& context) {
    for (const std::string& warning : reading.warnings) {
        context.err << "lanscope-cli: " << context.historyFile << ": " << warning << '\n';
    }
}

// The rows go out as they are joined, in blocks: a history of years is
// neither held whole nor written twice.
int PrintHistoryJson(const HistoryFilter& filter, CliContext& context) {
    constexpr std::size_t kBlock = 1 << 16;
    std::string text = "[";
    bool first = true;
    HistoryJoiner joiner([&](HistoryRow&& row) {
        if (!MatchesHistoryFilter(row, filter)) {
            return;
        }
        AppendHistoryJsonRow(text, row, first);
        first = false;
        if (text.size() >= kBlock) {
            context.out << text;
            text.clear();
        }
    });
    auto reading =
        ReadHistoryFile(context.historyFile, HistoryFilterKeep(filter),
                        [&joiner](HistoryEvent& event) { joiner.add(std::move(event)); });
    if (!reading) {
        // Blocks already out stay an unfinished array, which no reader takes
        // for a whole one; the exit code says it failed.
        context.err << "lanscope-cli: " << reading.error().text << '\n';
        return kExitFailed;
    }
    joiner.finish();
    context.out << text << "\n]\n";
    PrintWarnings(*reading, context);
    return kExitOk;
}

}  // namespace

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

    if (options.json) {
        return PrintHistoryJson(filter, context);
    }
    auto reading = ReadHistoryFile(context.historyFile, HistoryFilterKeep(filter));
    if (!reading) {
        context.err << "lanscope-cli: " << reading.error().text << '\n';
        return kExitFailed;
    }
    PrintWarnings(*reading, context);
    const auto rows = FilterHistory(JoinHistory(std::move(reading->events)), filter);

    if (options.csv) {
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

void AddHistoryCommand(CLI::App& app, CliCommands& commands) {
    auto options = std::make_shared<HistoryOptions>();
    auto* command = app.add_subcommand(
        "history",
        "Show the service history: every update, saved image and settings change, with its "
        "outcome");
    command->add_option("--mac", options->mac, "Only this module's events")->type_name("MAC");
    AddAddressOption(*command, "--address", options->address,
                     "Only events of the module at this address");
    command
        ->add_option("--since", options->since,
                     "Only events from this date (YYYY-MM-DD) or time (YYYY-MM-DDTHH:MM:SS, UTC "
                     "unless it ends in +hh:mm or -hh:mm) on")
        ->type_name("DATE");
    command
        ->add_option("--action", options->action, "Only updates, settings changes or saved images")
        ->type_name("update|settings|save");
    auto* json = command->add_flag("--json", options->json, "Print as JSON");
    command->add_flag("--csv", options->csv, "Print as CSV")->excludes(json);
    commands.push_back(
        {command, [options](CliContext& context) { return RunHistory(*options, context); }});
}

}  // namespace lanscope::cli
