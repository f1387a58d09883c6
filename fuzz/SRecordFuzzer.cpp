// Any bytes as an S-record file: the loader decodes in place, so every write
// must stay inside the block and behind the read position.
#include <cstddef>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "update/SRecordImage.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    lanscope::ByteBuffer text(data, data + size);
    text.push_back(0);  // the loader's block: the file plus one byte
    std::string platform;
    auto result = lanscope::DecodeSRecordImage(std::move(text), platform);
    if (platform.size() > 79) {
        __builtin_trap();
    }
    if (auto* image = std::get_if<lanscope::UpdateImage>(&result)) {
        // The image ends on an aligned address with a zero byte behind it.
        if (image->block.size() <= image->length || image->block[image->length] != 0 ||
            image->end() % 4 != 0 || image->checksum != lanscope::ImageChecksum(image->bytes())) {
            __builtin_trap();
        }
    } else if (std::get<lanscope::LoadFailure>(result).messages.empty()) {
        __builtin_trap();
    }
    return 0;
}
