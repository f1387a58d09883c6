#pragma once

#include <functional>
#include <string>

#include "common/Ipv4.h"
#include "common/Result.h"
#include "update/SRecordImage.h"
#include "update/SRecordLoader.h"

namespace lanscope {

// One update as the user asked for it, the same for every front end.
struct UpdateRunSettings {
    std::string imageFile;
    Ipv4 moduleAddress = 0;
    bool restart = false;
    std::string description;
    bool saveToFile = false;
    std::string saveFile;
    LoadMessages loadMessages = LoadMessages::AsKnown;
};

// The image, and whether the work ended with writing it to a file.
struct PreparedUpdate {
    UpdateImage image;
    bool saved = false;
};

// Loads the image file; with "save to file" also writes the image file, which
// is then the whole of the work. A failure carries the messages to show: a
// file that was not written must never read as "Save Complete".
// `nativePath` turns the names the user gave into the system's.
Result<PreparedUpdate, LoadFailure> PrepareUpdate(
    const UpdateRunSettings& settings,
    const std::function<std::string(const std::string&)>& nativePath = {});

}  // namespace lanscope
