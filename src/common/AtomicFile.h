#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "common/Result.h"

namespace lanscope {

// Writes `parts` one after the other to the file `path` names (an 8-bit name,
// as the rest of the program passes them), replacing an existing file but
// keeping its permissions; through a link, the file it names is replaced. The
// file appears whole or not at all: it is written under a name of its own
// beside the target and renamed over it once complete, so a failure never
// leaves a partial file under the name asked for, and two saves never write
// into each other's file. The error is the system's reason.
Result<void> WriteFileAtomically(const std::string& path,
                                 std::span<const std::span<const std::uint8_t>> parts);
Result<void> WriteFileAtomically(const std::string& path, std::string_view text);

}  // namespace lanscope
