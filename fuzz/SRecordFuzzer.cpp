// Any bytes as an S-record file: the loader decodes in place, so every write
// must stay inside the block and behind the read position.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "update/SRecordImage.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    lanscope::ByteBuffer text(data, data + size);
    text.push_back(0);  // the loader's block: the file plus one byte
    auto result = lanscope::DecodeSRecordImage(std::move(text));
    if (result) {
        // The image ends on an aligned address with a zero byte behind it.
        const lanscope::UpdateImage* image = &result.value();
        if (image->platform.size() > 79 || image->block.size() <= image->length ||
            image->block[image->length] != 0 || image->end() % 4 != 0 ||
            image->checksum != lanscope::ImageChecksum(image->bytes())) {
            __builtin_trap();
        }
    } else if (result.error().messages.empty()) {
        __builtin_trap();
    }
    return 0;
}
