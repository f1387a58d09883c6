#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace lanscope::cli {

// Prints rows under a header with every column as wide as its widest cell.
void PrintTable(std::ostream& out, const std::vector<std::string>& header,
                const std::vector<std::vector<std::string>>& rows);

}  // namespace lanscope::cli
