#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "common/Result.h"
#include "update/SRecordImage.h"

namespace lanscope {

// The 100-byte little-endian header of an image file: 1, base, length,
// checksum, and two fields taken from the module description.
std::array<std::uint8_t, 100> BuildImageFileHeader(const UpdateImage& image,
                                                   const std::string& description);

// Writes header and image to `path`, replacing an existing file. The file
// appears whole or not at all.
Result<void> SaveImageFile(const std::string& path, const UpdateImage& image,
                           const std::string& description);

}  // namespace lanscope
