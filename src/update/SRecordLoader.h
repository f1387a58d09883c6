#pragma once

#include <optional>
#include <string>

#include "common/Prompt.h"
#include "update/SRecordImage.h"

namespace lanscope {

// How failures are told. The windows show the texts users of the modules'
// tools know word for word; the command line adds what a script's log needs:
// the file and the system's reason when it cannot be read, and the line of a
// record whose message does not name it.
enum class LoadMessages { AsKnown, Detailed };

// Reads the file and loads it; every failure is shown through the prompt
// (captioned `caption`) and gives nothing.
std::optional<UpdateImage> LoadSRecordImage(const std::string& fileName, Prompt& prompt,
                                            const std::string& caption,
                                            LoadMessages detail = LoadMessages::AsKnown);

}  // namespace lanscope
