#include "discovery/ListLine.h"

namespace lanscope {

std::string JoinListLine(const ListFields& fields) {
    std::string line = fields.mac;
    line += '\t';
    line += fields.address;
    line += '\t';
    line += fields.dhcp;
    line += '\t';
    line += fields.name;
    line += '\t';
    line += fields.name2;
    return line;
}

ListFields SplitListLine(std::string_view line) {
    ListFields columns;
    std::string* fields[] = {&columns.mac, &columns.address, &columns.dhcp, &columns.name};
    for (std::string* field : fields) {
        const auto tab = line.find('\t');
        if (tab == std::string_view::npos) {
            field->assign(line);
            return columns;
        }
        field->assign(line.substr(0, tab));
        line.remove_prefix(tab + 1);
    }
    columns.name2.assign(line);
    return columns;
}

std::string AddressColumn(std::string_view line) {
    auto tab = line.find('\t');
    if (tab != std::string_view::npos) {
        line.remove_prefix(tab);
    }
    while (!line.empty() && line.front() == '\t') {
        line.remove_prefix(1);
    }
    tab = line.find('\t');
    if (tab == std::string_view::npos) {
        return {};
    }
    return std::string(line.substr(0, tab));
}

std::string LastColumn(std::string_view line) {
    const auto tab = line.rfind('\t');
    return tab == std::string_view::npos ? std::string() : std::string(line.substr(tab + 1));
}

std::string TextAfterThreeSpaces(std::string_view line) {
    const auto run = line.rfind("   ");
    return run == std::string_view::npos ? std::string() : std::string(line.substr(run + 3));
}

}  // namespace lanscope
