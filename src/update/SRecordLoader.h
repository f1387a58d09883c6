#pragma once

#include <string>

#include "common/Prompt.h"
#include "update/SRecordImage.h"

namespace lanscope {

// How failures are told. The windows show the texts users of the modules'
// tools know word for word; the command line adds what a script's log needs:
// the file and the system's reason when it cannot be read, and the line of a
// record whose message does not name it.
enum class LoadMessages { AsKnown, Detailed };

// Reads the file and loads it.
Result<UpdateImage, LoadFailure> LoadSRecordImage(const std::string& fileName,
                                                  LoadMessages detail = LoadMessages::AsKnown);

// Shows a failure's messages one after the other, as the loader's users saw
// them.
void ShowLoadFailure(const LoadFailure& failure, Prompt& prompt, const std::string& caption);

}  // namespace lanscope
