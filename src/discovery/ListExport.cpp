#include "discovery/ListExport.h"

#include <nlohmann/json.hpp>
#include <ostream>
#include <sstream>

#include "common/Csv.h"
#include "common/Text.h"
#include "discovery/Datagrams.h"
#include "discovery/ListLine.h"

namespace lanscope {

namespace {

struct Fields {
    std::string mac;
    std::string address;
    bool dhcp = false;
    std::string name;
    std::string name2;
    std::string line;
    std::uint32_t length = 0;
    std::string recordAddress;
    std::string mask;
    std::string gateway;
    std::string dns;
};

Fields FieldsOf(const ModuleList& list, std::size_t row) {
    const ListFields& columns = list.fields(row);
    const ModuleRecord& record = list.record(row);
    Fields fields;
    fields.mac = columns.mac;
    if (fields.mac.size() >= 2 && fields.mac.front() == '[' && fields.mac.back() == ']') {
        fields.mac = fields.mac.substr(1, fields.mac.size() - 2);
    }
    fields.address = columns.address;
    fields.dhcp = columns.dhcp == "DHCP";
    fields.name = EightBitToUtf8(columns.name);
    fields.name2 = EightBitToUtf8(columns.name2);
    fields.line = EightBitFieldsToUtf8(list.text(row), '\t');
    fields.length = record.length();
    fields.recordAddress = FormatIpv4(record.address());
    fields.mask = FormatIpv4(record.mask());
    fields.gateway = FormatIpv4(record.gateway());
    fields.dns = FormatIpv4(record.dns());
    return fields;
}

}  // namespace

namespace {

nlohmann::json ModuleJson(const ModuleList& list, std::size_t row) {
    const Fields f = FieldsOf(list, row);
    const std::string description = ModuleDescription(f.name2);
    return {
        {"mac", f.mac},
        {"address", f.address},
        {"dhcp", f.dhcp},
        {"name", f.name},
        {"name2", f.name2},
        // What the module says of its firmware (empty when its name does
        // not), without the blanks around the items of the name.
        {"description", TrimBlanks(description)},
        {"version",
         description.empty() ? std::string() : TrimBlanks(DescriptionVersion(description))},
        {"line", f.line},
        {"record",
         {{"length", f.length},
          {"address", f.recordAddress},
          {"mask", f.mask},
          {"gateway", f.gateway},
          {"dns", f.dns}}},
    };
}

}  // namespace

void WriteModuleListJson(std::ostream& out, const ModuleList& list) {
    if (list.empty()) {
        out << "[]\n";
        return;
    }
    // One module at a time, indented as inside the array a whole dump would
    // print: a /16 is 170 MB of text that need not sit in memory at once. A
    // JSON text holds no raw line break, so every one starts a line to indent.
    out << "[\n";
    for (std::size_t row = 0; row < list.size(); ++row) {
        // Every text is UTF-8 by now; should one slip through unconverted, it
        // must not abort the listing.
        const std::string module =
            ModuleJson(list, row).dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
        std::string indented;
        indented.reserve(module.size() + module.size() / 8);
        indented += "  ";
        for (const char c : module) {
            indented += c;
            if (c == '\n') {
                indented += "  ";
            }
        }
        out << indented << (row + 1 < list.size() ? ",\n" : "\n");
    }
    out << "]\n";
}

std::string ModuleListJson(const ModuleList& list) {
    std::ostringstream text;
    WriteModuleListJson(text, list);
    return text.str();
}

std::string ModuleListCsv(const ModuleList& list) {
    std::string csv =
        "mac,address,dhcp,name,name2,record_length,record_address,record_mask,record_gateway,"
        "record_dns\r\n";
    for (std::size_t row = 0; row < list.size(); ++row) {
        const Fields f = FieldsOf(list, row);
        csv += CsvField(f.mac) + "," + CsvField(f.address) + "," + (f.dhcp ? "true" : "false") +
               "," + CsvField(f.name) + "," + CsvField(f.name2) + "," + std::to_string(f.length) +
               "," + f.recordAddress + "," + f.mask + "," + f.gateway + "," + f.dns + "\r\n";
    }
    return csv;
}

std::string ModuleLinesText(const ModuleList& list, const std::vector<std::size_t>& rows) {
    std::string text;
    for (const std::size_t row : rows) {
        if (row < list.size()) {
            text += EightBitFieldsToUtf8(list.text(row), '\t') + "\n";
        }
    }
    return text;
}

}  // namespace lanscope
