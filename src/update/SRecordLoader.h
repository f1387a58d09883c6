#pragma once

#include <optional>
#include <string>

#include "common/Prompt.h"
#include "update/SRecordImage.h"

namespace lanscope {

// Reads the file and loads it; every failure is shown through the prompt
// (captioned `caption`) and gives nothing.
std::optional<UpdateImage> LoadSRecordImage(const std::string& fileName, Prompt& prompt,
                                            const std::string& caption);

}  // namespace lanscope
