#include "cli/Table.h"

#include <algorithm>
#include <ostream>

#include "common/Text.h"

namespace lanscope::cli {

void PrintTable(std::ostream& out, const std::vector<std::string>& header,
                const std::vector<std::vector<std::string>>& rows) {
    std::vector<std::size_t> widths(header.size());
    auto measure = [&](const std::vector<std::string>& row) {
        for (std::size_t i = 0; i < row.size() && i < widths.size(); ++i) {
            widths[i] = std::max(widths[i], CountCharacters(row[i]));
        }
    };
    measure(header);
    std::for_each(rows.begin(), rows.end(), measure);

    auto print = [&](const std::vector<std::string>& row) {
        std::string line;
        for (std::size_t i = 0; i < widths.size(); ++i) {
            const std::string cell = i < row.size() ? row[i] : std::string();
            line += cell;
            if (i + 1 < widths.size()) {
                line.append(widths[i] - CountCharacters(cell) + 2, ' ');
            }
        }
        line.erase(line.find_last_not_of(' ') + 1);
        out << line << '\n';
    };
    print(header);
    std::for_each(rows.begin(), rows.end(), print);
}

}  // namespace lanscope::cli
