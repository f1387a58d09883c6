#pragma once

#include <string>

#include "common/Prompt.h"

// The discovery socket's texts, exactly as users of the modules' tools know them.
namespace lanscope::messages {

inline std::string BindErrorText(long error, int which) {
    return FormatText("Error on Bind = %ld for %d, port maybe used by another application", error,
                      which);
}
inline constexpr const char* kBindErrorCaption = "Error";

}  // namespace lanscope::messages
