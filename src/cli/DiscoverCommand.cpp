#include <CLI/CLI.hpp>
#include <chrono>
#include <memory>
#include <ostream>

#include "cli/Commands.h"
#include "cli/Table.h"
#include "common/Text.h"
#include "discovery/DiscoverySession.h"
#include "discovery/ListExport.h"

namespace lanscope::cli {

int RunDiscover(const DiscoverOptions& options, CliContext& context) {
    DiscoverySession session(context.prompt, context.loop, context.endpoints);
    session.open();
    if (!session.listening()) {
        return kExitFailed;
    }
    // A failed send is not fatal: another interface may have carried it, and
    // whatever answers is still worth listing.
    (void)session.request();
    session.waitFor(ToMilliseconds(options.waitSeconds));

    const ModuleList& list = session.list();
    if (options.json) {
        WriteModuleListJson(context.out, list);
        return kExitOk;
    }
    std::vector<std::vector<std::string>> rows;
    for (std::size_t row = 0; row < list.size(); ++row) {
        const ListFields& c = list.fields(row);
        rows.push_back({c.mac, c.address, c.dhcp, EightBitToUtf8(c.name), EightBitToUtf8(c.name2)});
    }
    PrintTable(context.out, {"MAC", "IP", "DHCP", "Name", "Name 2"}, rows);
    if (list.empty()) {
        context.err << "No module answered within " << options.waitSeconds << " s.\n";
    }
    return kExitOk;
}

void AddDiscoverCommand(CLI::App& app, CliCommands& commands) {
    auto options = std::make_shared<DiscoverOptions>();
    auto* command = app.add_subcommand(
        "discover", "Broadcast one discovery request and list the modules that answer");
    AddSecondsOption(*command, "--wait", options->waitSeconds, "Seconds to collect replies");
    command->add_flag("--json", options->json, "Print the list as JSON");
    commands.push_back(
        {command, [options](CliContext& context) { return RunDiscover(*options, context); }});
}

}  // namespace lanscope::cli
