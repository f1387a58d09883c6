#pragma once

#include <string>

namespace lanscope {

// The file name to open for a name the user gave. On Windows, Cygwin-style
// names ("/cygdrive/c/...", "//c/...", "/ferrox/...") become Windows paths;
// elsewhere names are native already and come back unchanged.
std::string NativePath(const std::string& path);

}  // namespace lanscope
