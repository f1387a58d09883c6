#include <chrono>
#include <nlohmann/json.hpp>
#include <ostream>

#include "cli/Commands.h"
#include "cli/Table.h"
#include "common/Text.h"
#include "discovery/DiscoverySession.h"

namespace lanscope::cli {

namespace {

std::chrono::milliseconds ToMilliseconds(double seconds) {
    return std::chrono::milliseconds(static_cast<long long>(seconds * 1000.0));
}

nlohmann::json LineToJson(const ModuleList& list, std::size_t row) {
    const auto columns = SplitListLine(list.text(row));
    const ModuleRecord& record = list.record(row);
    std::string mac = columns.mac;
    if (mac.size() >= 2 && mac.front() == '[' && mac.back() == ']') {
        mac = mac.substr(1, mac.size() - 2);
    }
    return {
        {"mac", mac},
        {"address", columns.address},
        {"dhcp", columns.dhcp == "DHCP"},
        {"name", EightBitToUtf8(columns.name)},
        {"name2", EightBitToUtf8(columns.name2)},
        {"line", EightBitFieldsToUtf8(list.text(row), '\t')},
        {"record",
         {{"length", record.length()},
          {"address", FormatIpv4(record.address())},
          {"mask", FormatIpv4(record.mask())},
          {"gateway", FormatIpv4(record.gateway())},
          {"dns", FormatIpv4(record.dns())}}},
    };
}

}  // namespace

int RunDiscover(const DiscoverOptions& options, CliContext& context) {
    DiscoverySession session(context.prompt, context.endpoints);
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
        auto modules = nlohmann::json::array();
        for (std::size_t row = 0; row < list.size(); ++row) {
            modules.push_back(LineToJson(list, row));
        }
        // Every text from a module is UTF-8 by now; should one slip through
        // unconverted, it must not abort the listing.
        context.out << modules.dump(2, ' ', false, nlohmann::json::error_handler_t::replace)
                    << '\n';
        return kExitOk;
    }
    std::vector<std::vector<std::string>> rows;
    for (std::size_t row = 0; row < list.size(); ++row) {
        const auto c = SplitListLine(list.text(row));
        rows.push_back({c.mac, c.address, c.dhcp, EightBitToUtf8(c.name), EightBitToUtf8(c.name2)});
    }
    PrintTable(context.out, {"MAC", "IP", "DHCP", "Device Name", "Device Name"}, rows);
    if (list.empty()) {
        context.err << "No module answered within " << options.waitSeconds << " s.\n";
    }
    return kExitOk;
}

}  // namespace lanscope::cli
