#pragma once

#include <optional>
#include <string>

namespace lanscope {

// The file name to open for a name the user gave. On Windows, Cygwin-style
// names ("/cygdrive/c/...", "//c/...", "/ferrox/...") become Windows paths;
// elsewhere names are native already and come back unchanged.
std::string NativePath(const std::string& path);

// A file name as the program passes it (8-bit) in UTF-8, where the system
// says how to read it: on Windows decoded from the active code page (every
// name, not only those that are no UTF-8 by chance). Nothing elsewhere, where
// names are bytes.
std::optional<std::string> CodePageNameAsUtf8(const std::string& name);

// An environment variable in UTF-8 (Windows' wide value, not its code page);
// empty when it is not set.
std::string EnvironmentText(const char* name);

}  // namespace lanscope
