#pragma once

#include <cstddef>
#include <iosfwd>
#include <string>
#include <vector>

#include "discovery/ModuleList.h"

namespace lanscope {

// A module list as the command line's `discover --json` prints it: one object
// per line with mac, address, dhcp, both names, the line and the record's
// settings. Names that are not UTF-8 are read as Windows-1252.
std::string ModuleListJson(const ModuleList& list);
// The same, written module by module as it is made.
void WriteModuleListJson(std::ostream& out, const ModuleList& list);

// The same fields as comma-separated values with a header line (RFC 4180).
std::string ModuleListCsv(const ModuleList& list);

// The given lines' texts (UTF-8), one per line, as the list shows them.
std::string ModuleLinesText(const ModuleList& list, const std::vector<std::size_t>& rows);

}  // namespace lanscope
