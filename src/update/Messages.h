#pragma once

// The image loader's and image file's texts. The first group is what users of
// the modules' tools know word for word; the second covers damage those tools
// never looked for.
namespace lanscope::messages {

inline constexpr const char* kFailedToOpen = "Failed to open file";
inline constexpr const char* kChecksumError = "Checksum Error %lx\n";
inline constexpr const char* kRecordChecksumError = "S record checksum error \n";
inline constexpr const char* kNotAscending = "Srecords must be in asending order \n";
inline constexpr const char* kConversionError = "Conversion Error \n";

inline constexpr const char* kNoDataRecord = "The file holds no data record (S1, S2, S3 or S4).";
inline constexpr const char* kRecordCutShort =
    "S record on line %lu is cut short: its count needs more digits than the line has.";
inline constexpr const char* kRecordTooShort =
    "S record on line %lu is too short for its address: count %lu.";
inline constexpr const char* kNotHexadecimal =
    "S record on line %lu holds a character that is not a hexadecimal digit.";
inline constexpr const char* kFileTooLarge = "The file is too large to load.";
inline constexpr const char* kCannotWrite = "Cannot write the image file %s: %s";

}  // namespace lanscope::messages

namespace lanscope::messages {

inline constexpr const char* kPlatformMismatch =
    "File platform = [%s] : Device platform = [%s]\n\nPlatforms do not Match - Download aborted";
inline constexpr const char* kNoMemory =
    "The LAN card has insufficient RAM to complete this operation";
inline constexpr const char* kShutdownRefused = "The LAN card refused to shutdown.";
inline constexpr const char* kChecksumFailed = "The LAN card Checksum Failed.";
inline constexpr const char* kTimeout = "Programming Failed: Timeout";
inline constexpr const char* kUpdateBindError = "Error on Bind = %ld for %d";
inline constexpr const char* kImageEndsBeyond32Bits =
    "The image ends at address 0x100000000 or beyond, past the 32-bit addresses a LAN card can "
    "take.";

}  // namespace lanscope::messages
