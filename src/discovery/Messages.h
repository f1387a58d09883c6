#pragma once

// The discovery socket's texts, exactly as users of the modules' tools know them.
namespace lanscope::messages {

inline constexpr const char* kBindError =
    "Error on Bind = %ld for %d, port maybe used by another application";
inline constexpr const char* kBindErrorCaption = "Error";

}  // namespace lanscope::messages
