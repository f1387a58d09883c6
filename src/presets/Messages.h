#pragma once

// The presets' texts.
namespace lanscope::messages {

inline constexpr const char* kPresetFormatQuestion =
    "Unable to read data - error in format. Continue?";
inline constexpr const char* kPresetFileAccessError = "Unable to read data - file access error.";
inline constexpr const char* kPresetFormatError = "Unable to read data - error in format.";

}  // namespace lanscope::messages
