#pragma once

#include <functional>
#include <optional>
#include <string>

namespace lanscope {

// Turns a Cygwin-style path into a Windows path: "/ferrox..." through the
// Cygwin mount table (`lookupMount` gives the native folder of a mount point,
// or nothing), "//c/dir" and "/cygdrive/c/dir" into "c:\dir". Other paths are
// returned unchanged. Any length is handled.
std::string TranslateCygwinPath(
    const std::string& path,
    const std::function<std::optional<std::string>(const std::string& mountPoint)>& lookupMount);

}  // namespace lanscope
