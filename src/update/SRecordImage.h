#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "common/Result.h"
#include "update/ByteBuffer.h"

namespace lanscope {

// One contiguous memory image made from an S-record file.
struct UpdateImage {
    // The image's bytes start at the block's first byte; the block holds at
    // least one byte more than the image, and that byte is zero.
    ByteBuffer block;
    std::uint32_t base = 0;
    std::uint32_t length = 0;
    std::uint32_t checksum = 0;  // ImageChecksum
    // The platform text of the file's header line (FilePlatform), empty
    // without one; the update compares it with the module's.
    std::string platform;
    // Records seen by type digit (S0..S9).
    std::array<std::uint32_t, 10> recordCounts{};

    std::span<const std::uint8_t> bytes() const { return {block.data(), length}; }
    std::uint64_t end() const { return std::uint64_t{base} + length; }
};

// Why a load failed: the messages to show, in order.
struct LoadFailure {
    std::vector<std::string> messages;
    // The line of the record concerned where the messages do not name it
    // (a checksum, the order of records); 0 otherwise.
    unsigned long line = 0;
};

// Decodes S-record text in place: `text` is the whole file plus one byte (the
// text ends at its first zero byte) and becomes the image's block, so a load
// needs no second buffer of image size; the header line becomes the
// platform text.
// Records S1-S4 carry data in ascending order (gaps are zero-filled), S5-S8
// are checked and passed over, S0 and S9 are never records, every record's
// checksum and hexadecimal digits are checked.
Result<UpdateImage, LoadFailure> DecodeSRecordImage(ByteBuffer text);

// The sum of the image read as big-endian 32-bit words from its first byte;
// bytes beyond the image count as zero.
std::uint32_t ImageChecksum(std::span<const std::uint8_t> image);

}  // namespace lanscope
