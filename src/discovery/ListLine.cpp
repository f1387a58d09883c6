#include "discovery/ListLine.h"

#include <cstdint>
#include <vector>

namespace lanscope {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

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

ListLineTarget ReadListLine(std::string_view line) {
    std::vector<std::string_view> columns;
    for (std::size_t start = 0;;) {
        const std::size_t tab = line.find('\t', start);
        columns.push_back(line.substr(start, tab == std::string_view::npos ? tab : tab - start));
        if (tab == std::string_view::npos) {
            break;
        }
        start = tab + 1;
    }
    ListLineTarget target;
    std::string_view address = columns.size() > 1 ? columns[1] : std::string_view{};
    if (columns.size() > 2 && !columns[2].empty() && columns[2] != "DHCP") {
        address = columns[2];
    }
    // Four parts, each its leading digits taken as one byte.
    std::size_t at = 0;
    for (int part = 0; part < 4; ++part) {
        std::uint32_t number = 0;
        if (at <= address.size()) {
            std::size_t i = at;
            while (i < address.size() && IsDigit(address[i])) {
                number = number * 10 + static_cast<std::uint32_t>(address[i] - '0');
                number &= 0xFFFFu;  // only the low byte counts; keep it from overflowing
                ++i;
            }
            const std::size_t dot = address.find('.', at);
            at = dot == std::string_view::npos ? address.size() + 1 : dot + 1;
        }
        target.address = (target.address << 8) | (number & 0xFFu);
    }
    target.description = ModuleDescription(columns.back());
    return target;
}

std::string ModuleDescription(std::string_view name2) {
    const std::size_t lastComma = name2.rfind(',');
    if (lastComma == std::string_view::npos) {
        return {};
    }
    const std::size_t before =
        lastComma == 0 ? std::string_view::npos : name2.rfind(',', lastComma - 1);
    const std::size_t start = before == std::string_view::npos ? 0 : before + 1;
    return std::string(name2.substr(start, lastComma - start));
}

std::string DescriptionVersion(std::string_view description) {
    const std::size_t close = description.find(')');
    return std::string(close == std::string_view::npos ? description
                                                       : description.substr(close + 1));
}

std::string PresetsAddressFromLine(std::string_view line) {
    const std::size_t first = line.find('\t');
    if (first == std::string_view::npos) {
        return {};
    }
    const std::size_t second = line.find('\t', first + 1);
    if (second == std::string_view::npos) {
        return {};
    }
    return std::string(line.substr(first + 1, second - first - 1));
}

}  // namespace lanscope
