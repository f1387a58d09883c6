#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/Ipv4.h"
#include "common/Result.h"
#include "discovery/Datagrams.h"
#include "discovery/ModuleList.h"

namespace lanscope {

// New network settings for one module: DHCP, or the named static settings
// (those not named stay as the module reports them).
struct SettingsChange {
    bool dhcp = false;
    std::optional<Ipv4> address;
    std::optional<Ipv4> mask;
    std::optional<Ipv4> gateway;
    std::optional<Ipv4> dns;
};

// The record a configuration write carries: the module's own, changed.
ModuleRecord ApplySettings(ModuleRecord record, const SettingsChange& change);

// Whether a module answers with the settings a write gave it.
bool HasSettings(const ModuleRecord& answered, const ModuleRecord& written);

// One row of a settings file.
struct SettingsRow {
    std::size_t line = 0;  // 1-based, in the file
    std::string macText;   // as written
    std::optional<MacAddress> mac;
    SettingsChange change;
    bool leaveAsIs = false;  // "dhcp" says no and nothing else is named
    std::string error;       // why the row cannot be used; empty when it can
};

// A CSV file with a header row naming its columns, in any order and case:
// "mac" and either "ip", "mask", "gateway", "dns" (empty cells keep the
// module's value) or "dhcp" (yes/no, true/false, 1/0). A list saved from the
// module list window reads too: its "address", "record_mask",
// "record_gateway" and "record_dns" stand for ip, mask, gateway and dns, its
// other columns are passed over, and a module it lists on DHCP stays on DHCP
// (its address is the one it was given). Blank lines and lines starting with
// "#" are skipped. Rows that cannot be used carry their error;
// the others stand. A file that cannot be read as a whole is an error.
// Two rows naming one hardware address are both refused (which of them was
// meant is anybody's guess), and so is an ip of 0.0.0.0, which a module takes
// for DHCP: that is what the dhcp column is for.
struct SettingsPlan {
    std::vector<SettingsRow> rows;
};
Result<SettingsPlan> ReadSettingsPlan(std::string_view text);

// Refuses, before anything is sent, the rows that would leave two modules
// with one address: an address another row gives as well, or one that a
// module other than the row's own answers from (the check `set` makes).
// `force` lets both through, as `set --force` does.
void RefuseAddressConflicts(SettingsPlan& plan, const ModuleList& answering, bool force);

}  // namespace lanscope
