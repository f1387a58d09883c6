#include "update/ImageFile.h"

#include <algorithm>
#include <span>

#include "common/AtomicFile.h"
#include "discovery/ListLine.h"
#include "update/Messages.h"

namespace lanscope {

std::array<std::uint8_t, 100> BuildImageFileHeader(const UpdateImage& image,
                                                   const std::string& description) {
    std::array<std::uint8_t, 100> header{};
    auto put32 = [&](std::size_t at, std::uint32_t value) {
        for (std::size_t i = 0; i < 4; ++i) {
            header[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
        }
    };
    put32(0, 1);
    put32(4, image.base);
    put32(8, image.length);
    put32(12, image.checksum);

    // The code in parentheses; without a "(", the text before the first ")"
    // (nothing when there is no ")" either).
    std::string code;
    const auto open = description.find('(');
    const auto close = description.find(')');
    if (open != std::string::npos) {
        const auto after = description.find(')', open + 1);
        if (after != std::string::npos) {
            code = description.substr(open + 1, after - open - 1);
        }
    } else if (close != std::string::npos) {
        code = description.substr(0, close);
    }
    const std::string version = DescriptionVersion(description);
    std::copy_n(code.begin(), std::min<std::size_t>(code.size(), 19), header.begin() + 16);
    std::copy_n(version.begin(), std::min<std::size_t>(version.size(), 10), header.begin() + 36);
    return header;
}

Result<void> SaveImageFile(const std::string& requested, const UpdateImage& image,
                           const std::string& description) {
    const auto header = BuildImageFileHeader(image, description);
    const std::span<const std::uint8_t> parts[] = {header, image.bytes()};
    if (auto written = WriteFileAtomically(requested, parts); !written) {
        return Error{written.error().code,
                     messages::CannotWriteText(requested.c_str(), written.error().text.c_str())};
    }
    return {};
}

}  // namespace lanscope
