#include "config/SettingsPlan.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <map>

#include "common/Text.h"
#include "config/AutoIp.h"

namespace lanscope {

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// Cells split at commas; a cell in double quotes may hold commas ("" is a
// quote).
std::vector<std::string> SplitCsv(std::string_view line) {
    std::vector<std::string> cells(1);
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
                cells.back() += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                cells.back() += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            cells.emplace_back();
        } else {
            cells.back() += c;
        }
    }
    for (std::string& cell : cells) {
        cell = TrimBlanks(cell);
    }
    return cells;
}

enum Column { kMac, kIp, kMask, kGateway, kDns, kDhcp, kColumns };
constexpr std::array<const char*, kColumns> kColumnNames = {"mac",     "ip",  "mask",
                                                            "gateway", "dns", "dhcp"};

// The columns of a saved module list: what each stands for, or nothing for
// those a configuration does not use.
struct ListColumn {
    const char* name;
    std::optional<Column> column;
};
constexpr std::array<ListColumn, 8> kListColumns = {{{"address", kIp},
                                                     {"record_mask", kMask},
                                                     {"record_gateway", kGateway},
                                                     {"record_dns", kDns},
                                                     {"name", std::nullopt},
                                                     {"name2", std::nullopt},
                                                     {"record_length", std::nullopt},
                                                     {"record_address", std::nullopt}}};

std::optional<bool> ReadYesNo(const std::string& text) {
    const std::string value = Lower(text);
    if (value == "yes" || value == "true" || value == "1") {
        return true;
    }
    if (value == "no" || value == "false" || value == "0") {
        return false;
    }
    return std::nullopt;
}

}  // namespace

ModuleRecord ApplySettings(ModuleRecord record, const SettingsChange& change) {
    if (change.dhcp) {
        record.setAddress(0);
        return record;
    }
    if (change.address) {
        record.setAddress(*change.address);
    }
    if (change.mask) {
        record.setMask(*change.mask);
    }
    if (change.gateway) {
        record.setGateway(*change.gateway);
    }
    if (change.dns) {
        record.setDns(*change.dns);
    }
    return record;
}

bool HasSettings(const ModuleRecord& answered, const ModuleRecord& written) {
    return answered.address() == written.address() && answered.mask() == written.mask() &&
           answered.gateway() == written.gateway() && answered.dns() == written.dns();
}

Result<SettingsPlan> ReadSettingsPlan(std::string_view text) {
    SettingsPlan plan;
    // Spreadsheets write UTF-8 files with a byte order mark.
    if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        text.remove_prefix(3);
    }
    std::array<int, kColumns> at;
    at.fill(-1);
    bool haveHeader = false;
    bool savedList = false;
    std::size_t lineNumber = 0;
    for (std::size_t start = 0; start <= text.size();) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        const std::string_view line = text.substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        const std::string trimmed = TrimBlanks(line);
        if (trimmed.empty() || trimmed.front() == '#') {
            continue;
        }
        const auto cells = SplitCsv(line);
        // A row of empty cells is what spreadsheets leave below the data.
        if (std::all_of(cells.begin(), cells.end(),
                        [](const std::string& c) { return c.empty(); })) {
            continue;
        }
        if (!haveHeader) {
            for (std::size_t i = 0; i < cells.size(); ++i) {
                const auto name = Lower(cells[i]);
                const auto known = std::find_if(kColumnNames.begin(), kColumnNames.end(),
                                                [&](const char* n) { return name == n; });
                if (known != kColumnNames.end()) {
                    at[static_cast<std::size_t>(known - kColumnNames.begin())] =
                        static_cast<int>(i);
                    continue;
                }
                const auto listed =
                    std::find_if(kListColumns.begin(), kListColumns.end(),
                                 [&](const ListColumn& c) { return name == c.name; });
                if (listed == kListColumns.end()) {
                    return Error{0, "line " + std::to_string(lineNumber) + ": unknown column \"" +
                                        cells[i] + "\" (known: mac, ip, mask, gateway, dns, dhcp)"};
                }
                savedList = true;
                if (listed->column && at[*listed->column] < 0) {
                    at[*listed->column] = static_cast<int>(i);
                }
            }
            if (at[kMac] < 0) {
                return Error{0, "line " + std::to_string(lineNumber) + ": no \"mac\" column"};
            }
            haveHeader = true;
            continue;
        }
        SettingsRow row;
        row.line = lineNumber;
        const auto cell = [&](Column column) -> std::string {
            const int index = at[column];
            return index >= 0 && static_cast<std::size_t>(index) < cells.size()
                       ? cells[static_cast<std::size_t>(index)]
                       : std::string();
        };
        row.macText = cell(kMac);
        row.mac = ParseMac(row.macText);
        if (!row.mac) {
            row.error = "not a hardware address: \"" + row.macText + "\"";
        }
        std::optional<bool> dhcp;
        if (at[kDhcp] >= 0 && !cell(kDhcp).empty()) {
            dhcp = ReadYesNo(cell(kDhcp));
            if (!dhcp && row.error.empty()) {
                row.error = "dhcp must be yes or no: \"" + cell(kDhcp) + "\"";
            }
            row.change.dhcp = dhcp.value_or(false);
        }
        const std::array<std::pair<Column, std::optional<Ipv4>*>, 4> addresses = {
            {{kIp, &row.change.address},
             {kMask, &row.change.mask},
             {kGateway, &row.change.gateway},
             {kDns, &row.change.dns}}};
        bool anyAddress = false;
        for (const auto& [column, target] : addresses) {
            const std::string value = cell(column);
            // A saved list shows a module on DHCP with the address it was
            // given: that stays DHCP's to give.
            if (value.empty() || (savedList && row.change.dhcp)) {
                continue;
            }
            const auto address = ParseIpv4Strict(value);
            if (!address) {
                if (row.error.empty()) {
                    row.error = std::string("not an IPv4 address in ") +
                                kColumnNames[static_cast<std::size_t>(column)] + ": \"" + value +
                                "\"";
                }
                continue;
            }
            *target = address;
            anyAddress = true;
        }
        if (row.error.empty() && row.change.address == Ipv4{0}) {
            row.error = "0.0.0.0 is no address for a module (for DHCP write dhcp yes)";
        }
        if (row.error.empty() && row.change.mask && MaskPrefixLength(*row.change.mask) < 0) {
            row.error = "not a network mask (ones, then zeros): \"" + cell(kMask) + "\"";
        }
        if (row.error.empty() && row.change.dhcp && anyAddress) {
            row.error = "DHCP and static settings in one row";
        }
        if (row.error.empty() && !row.change.dhcp && !anyAddress) {
            if (dhcp == false) {
                row.leaveAsIs = true;  // "not DHCP" and nothing else: as it is
            } else {
                row.error = "no settings to write";
            }
        }
        plan.rows.push_back(std::move(row));
    }
    if (!haveHeader) {
        return Error{
            0, "the file is empty (a header row such as mac,ip,mask,gateway,dns comes first)"};
    }
    // The first two rows of each hardware address, to name one from the other.
    std::map<MacAddress, std::pair<std::size_t, std::size_t>> named;
    for (const SettingsRow& row : plan.rows) {
        if (row.mac) {
            auto [at, first] = named.try_emplace(*row.mac, row.line, 0);
            if (!first && at->second.second == 0) {
                at->second.second = row.line;
            }
        }
    }
    for (SettingsRow& row : plan.rows) {
        if (!row.mac || !row.error.empty()) {
            continue;
        }
        const auto [first, second] = named.at(*row.mac);
        if (second != 0) {
            row.error = "the hardware address is named in line " +
                        std::to_string(row.line == first ? second : first) + " as well";
        }
    }
    return plan;
}

void RefuseAddressConflicts(SettingsPlan& plan, const ModuleList& answering, bool force) {
    if (force) {
        return;
    }
    const auto gives = [](const SettingsRow& row) {
        return row.error.empty() && !row.change.dhcp ? row.change.address : std::nullopt;
    };
    // The refusals are found first and told after, so that a row refused
    // for one reason still keeps the other row from taking its address.
    std::vector<std::string> refusals(plan.rows.size());
    std::map<Ipv4, std::pair<std::size_t, std::size_t>> given;  // the first two lines
    for (const SettingsRow& row : plan.rows) {
        if (const auto address = gives(row)) {
            auto [at, first] = given.try_emplace(*address, row.line, 0);
            if (!first && at->second.second == 0) {
                at->second.second = row.line;
            }
        }
    }
    for (std::size_t i = 0; i < plan.rows.size(); ++i) {
        const auto address = gives(plan.rows[i]);
        if (!address) {
            continue;
        }
        const auto [first, second] = given.at(*address);
        if (second != 0) {
            refusals[i] = FormatIpv4(*address) + " is given in line " +
                          std::to_string(plan.rows[i].line == first ? second : first) +
                          " as well (--force sends it all the same)";
        }
        if (!refusals[i].empty()) {
            continue;
        }
        std::size_t own = answering.size();
        for (std::size_t row = 0; row < answering.size(); ++row) {
            if (answering.record(row).mac() == *plan.rows[i].mac) {
                own = row;
            }
        }
        if (own == answering.size()) {
            continue;  // nothing will be sent to a module that did not answer
        }
        if (const auto holder = OtherModuleAt(answering, own, *address)) {
            refusals[i] = FormatIpv4(*address) + " is taken by the module " +
                          FormatMacPlain(answering.record(*holder).mac()) +
                          " (--force sends it all the same)";
        }
    }
    for (std::size_t i = 0; i < plan.rows.size(); ++i) {
        if (!refusals[i].empty()) {
            plan.rows[i].error = refusals[i];
        }
    }
}

}  // namespace lanscope
