#pragma once

#include <string>

#include "common/Prompt.h"

// The image loader's and image file's texts. The first group is what users of
// the modules' tools know word for word; the second covers damage those tools
// never looked for.
namespace lanscope::messages {

// Our own text, for the service history: a declined update shows nothing.
inline constexpr const char* kUpdateDeclinedRecord = "The module declined the update.";

inline constexpr const char* kFailedToOpen = "Failed to open file";
inline std::string ChecksumErrorText(unsigned long sum) {
    return FormatText("Checksum Error %lx\n", sum);
}
inline constexpr const char* kRecordChecksumError = "S record checksum error \n";
inline constexpr const char* kNotAscending = "Srecords must be in asending order \n";
inline constexpr const char* kConversionError = "Conversion Error \n";

inline constexpr const char* kNoDataRecord = "The file holds no data record (S1, S2, S3 or S4).";
inline constexpr const char* kNoDataBytes = "The file's data records hold no data byte.";
inline std::string RecordCutShortText(unsigned long line) {
    return FormatText(
        "S record on line %lu is cut short: its count needs more digits than the line has.", line);
}
inline std::string RecordTooShortText(unsigned long line, unsigned long count) {
    return FormatText("S record on line %lu is too short for its address: count %lu.", line, count);
}
inline std::string NotHexadecimalText(unsigned long line) {
    return FormatText("S record on line %lu holds a character that is not a hexadecimal digit.",
                      line);
}
inline constexpr const char* kFileTooLarge = "The file is too large to load.";
inline std::string CannotWriteText(const char* path, const char* why) {
    return FormatText("Cannot write the image file %s: %s", path, why);
}

}  // namespace lanscope::messages

namespace lanscope::messages {

inline std::string PlatformMismatchText(const char* file, const char* device) {
    return FormatText(
        "File platform = [%s] : Device platform = [%s]\n\nPlatforms do not Match - Download "
        "aborted",
        file, device);
}
inline constexpr const char* kNoMemory =
    "The LAN card has insufficient RAM to complete this operation";
inline constexpr const char* kShutdownRefused = "The LAN card refused to shutdown.";
inline constexpr const char* kChecksumFailed = "The LAN card Checksum Failed.";
inline constexpr const char* kTimeout = "Programming Failed: Timeout";

// Our own texts: verdicts the modules' tools never expected in the middle of
// a transfer, and a run cancelled when only the module knows how it ended.
inline std::string DeclinedMidwayText(unsigned long acknowledged, unsigned long length) {
    return FormatText("The module declined the rest of the update after %lu of %lu bytes.",
                      acknowledged, length);
}
inline std::string NoMemoryMidwayText(unsigned long acknowledged, unsigned long length) {
    return FormatText("The module ran out of memory for the update after %lu of %lu bytes.",
                      acknowledged, length);
}
inline std::string RefusedMidwayText(unsigned long acknowledged, unsigned long length) {
    return FormatText("The module refused the rest of the update after %lu of %lu bytes.",
                      acknowledged, length);
}
inline constexpr const char* kCancelledAfterFinish =
    "outcome unknown (cancelled after the finish request)";
// Above the credentials window's fields when the module asks again.
inline constexpr const char* kCredentialsRefused =
    "The module did not accept the user name or password.";
inline std::string UpdateBindErrorText(long error, int which) {
    return FormatText("Error on Bind = %ld for %d", error, which);
}
inline constexpr const char* kImageEndsBeyond32Bits =
    "The image ends at address 0x100000000 or beyond, past the 32-bit addresses a LAN card can "
    "take.";

}  // namespace lanscope::messages

// The software update window's texts.
namespace lanscope::messages {

inline constexpr const char* kUpdateWindowTitle = "Update LAN Module Software";
inline constexpr const char* kInvalidIpAddress = "Invalid IP address";
inline constexpr const char* kFileNameInvalid = "File name is invalid or does not exist.";
inline constexpr const char* kFileNameInvalidCaption = "Error";
inline constexpr const char* kSaveComplete = "Save Complete";
inline constexpr const char* kUpdateFailed = "Update Failed";
inline constexpr const char* kIpNotSet = "IP not set - invalid";
inline constexpr const char* kUpdateHelp =
    "1. Input the LAN Module's IP or click 'Find...' button to locate one\r\n"
    "2. Input a file name or click 'Browse...' to select a file\r\n"
    "3. Check 'Reboot when complete' if you want to reboot the LAN module after Update is "
    "completed\r\n"
    "4. Click 'Update' button to commit the changes\r\n"
    "5. Click 'Exit' to quit the program";

inline constexpr const char* kTipUpdateButton = "Update the LAN Module";
inline constexpr const char* kTipQuit = "Quit this program";
inline constexpr const char* kTipMoreHelp = "Press here for more help";
inline constexpr const char* kTipFileName = "Input the filename that contains the image";
inline constexpr const char* kTipBrowse = "Browse for an image file";
inline constexpr const char* kTipReboot = "Reboot the Module after update";
inline constexpr const char* kTipFind = "Find a LAN Module";

}  // namespace lanscope::messages
