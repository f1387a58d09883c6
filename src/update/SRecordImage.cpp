#include "update/SRecordImage.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "update/Messages.h"

namespace lanscope {

namespace {

constexpr std::size_t kPlatformLimit = 79;

struct HexTable {
    std::array<std::int8_t, 256> value{};
    constexpr HexTable() {
        for (auto& v : value) {
            v = -1;
        }
        for (int i = 0; i < 10; ++i) {
            value['0' + i] = static_cast<std::int8_t>(i);
        }
        for (int i = 0; i < 6; ++i) {
            value['a' + i] = static_cast<std::int8_t>(10 + i);
            value['A' + i] = static_cast<std::int8_t>(10 + i);
        }
    }
};
constexpr HexTable kHex;

// Bytes of address each record type carries; -1 for types that never begin a
// record.
constexpr int kAddressWidth[10] = {-1, 2, 3, 4, 5, 0, 0, 4, 3, -1};

std::string& PlatformBuffer() {
    static std::string platform;
    return platform;
}

LoadFailure Failure(std::string message) {
    return LoadFailure{{std::move(message)}};
}

}  // namespace

const std::string& FilePlatform() {
    return PlatformBuffer();
}

std::uint32_t ImageChecksum(std::span<const std::uint8_t> image) {
    std::uint32_t sum = 0;
    const std::size_t whole = image.size() / 4 * 4;
    for (std::size_t i = 0; i < whole; i += 4) {
        sum += (std::uint32_t{image[i]} << 24) | (std::uint32_t{image[i + 1]} << 16) |
               (std::uint32_t{image[i + 2]} << 8) | std::uint32_t{image[i + 3]};
    }
    if (whole < image.size()) {
        std::uint32_t word = 0;
        for (std::size_t i = whole; i < whole + 4; ++i) {
            word = (word << 8) | (i < image.size() ? image[i] : 0u);
        }
        sum += word;
    }
    return sum;
}

std::variant<UpdateImage, LoadFailure> DecodeSRecordImage(std::vector<std::uint8_t> text,
                                                          std::string& platform) {
    platform.clear();
    if (text.empty()) {
        text.push_back(0);
    }
    std::uint8_t* const buffer = text.data();
    // The text ends at its first zero byte (the block always ends in one).
    const std::size_t end = static_cast<std::size_t>(
        std::find(text.begin(), text.end() - 1, std::uint8_t{0}) - text.begin());

    UpdateImage image;
    std::size_t pos = 0;
    unsigned long line = 1;
    if (end >= 2 && buffer[0] == 'S' && buffer[1] == '0') {
        const auto* lineEnd = std::find_if(buffer + 2, buffer + end,
                                           [](std::uint8_t c) { return c == '\r' || c == '\n'; });
        if (lineEnd == buffer + end) {
            pos = end;  // no line end: no platform, nothing more to read
        } else {
            const auto count = std::min<std::size_t>(lineEnd - (buffer + 2), kPlatformLimit);
            platform.assign(reinterpret_cast<const char*>(buffer) + 2, count);
            pos = static_cast<std::size_t>(lineEnd - buffer) + 1;
            line += *lineEnd == '\n' ? 1 : 0;
        }
        ++image.recordCounts[0];
    }

    bool haveData = false;
    std::uint64_t next = 0;  // the address after the last byte placed
    std::size_t write = 0;   // where that byte goes in the block

    while (pos < end) {
        const std::uint8_t c = buffer[pos];
        if (c != 'S' || pos + 1 >= end || buffer[pos + 1] < '0' || buffer[pos + 1] > '9') {
            line += c == '\n' ? 1 : 0;
            ++pos;
            continue;
        }
        const int type = buffer[pos + 1] - '0';
        ++image.recordCounts[static_cast<std::size_t>(type)];
        const int width = kAddressWidth[type];
        if (width < 0) {
            pos += 2;  // S0 and S9 never begin a record here
            continue;
        }

        // Count, then every byte it announces, all as checked hex pairs.
        const std::size_t countAt = pos + 2;
        if (countAt + 2 > end) {
            return Failure(FormatText(messages::kRecordCutShort, line));
        }
        const int high = kHex.value[buffer[countAt]];
        const int low = kHex.value[buffer[countAt + 1]];
        if (high < 0 || low < 0) {
            return Failure(FormatText(messages::kNotHexadecimal, line));
        }
        const std::size_t count = static_cast<std::size_t>(high * 16 + low);
        const std::size_t bytesAt = countAt + 2;
        if (bytesAt + 2 * count > end) {
            return Failure(FormatText(messages::kRecordCutShort, line));
        }
        unsigned sum = static_cast<unsigned>(count);
        for (std::size_t i = bytesAt; i < bytesAt + 2 * count; i += 2) {
            const int h = kHex.value[buffer[i]];
            const int l = kHex.value[buffer[i + 1]];
            if (h < 0 || l < 0) {
                return Failure(FormatText(messages::kNotHexadecimal, line));
            }
            sum += static_cast<unsigned>(h * 16 + l);
        }
        if ((sum & 0xFFu) != 0xFFu) {
            LoadFailure failure;
            failure.messages.push_back(
                FormatText(messages::kChecksumError, static_cast<unsigned long>(sum & 0xFFu)));
            failure.messages.push_back(messages::kRecordChecksumError);
            return failure;
        }
        if (count < static_cast<std::size_t>(width) + 1) {
            return Failure(
                FormatText(messages::kRecordTooShort, line, static_cast<unsigned long>(count)));
        }
        if (type > 4) {
            pos += 2;  // checked; the rest is passed over by the scan
            continue;
        }

        std::uint32_t address = 0;
        for (int i = 0; i < width; ++i) {
            const std::size_t at = bytesAt + 2 * static_cast<std::size_t>(i);
            address = (address << 8) |
                      static_cast<std::uint32_t>(kHex.value[buffer[at]] * 16 +
                                                 kHex.value[buffer[at + 1]]);
        }
        const std::size_t dataAt = bytesAt + 2 * static_cast<std::size_t>(width);
        const std::size_t dataCount = count - 1 - static_cast<std::size_t>(width);

        if (!haveData) {
            haveData = true;
            image.base = address;
            next = address;
            write = 0;
        } else if (address < next) {
            return Failure(messages::kNotAscending);
        } else if (address > next) {
            // The zeros are written into the text itself, behind the read
            // position; a gap that would overtake it cannot be converted.
            const std::uint64_t offset = std::uint64_t{address} - image.base;
            if (offset > dataAt) {
                return Failure(messages::kConversionError);
            }
            std::fill(buffer + write, buffer + offset, std::uint8_t{0});
            write = static_cast<std::size_t>(offset);
            next = address;
        }
        for (std::size_t i = 0; i < dataCount; ++i) {
            const std::size_t at = dataAt + 2 * i;
            buffer[write + i] = static_cast<std::uint8_t>(kHex.value[buffer[at]] * 16 +
                                                          kHex.value[buffer[at + 1]]);
        }
        write += dataCount;
        next += dataCount;
        pos = dataAt + 2 * dataCount;
    }

    if (!haveData) {
        return Failure(messages::kNoDataRecord);
    }
    // The end address is aligned to 4, then one zero byte follows the image.
    const std::uint64_t alignedEnd = (next + 3) / 4 * 4;
    const std::uint64_t length = alignedEnd - image.base;
    if (length > 0xFFFFFFFFu) {
        return Failure(messages::kFileTooLarge);
    }
    if (length + 1 > text.size()) {
        // Only a file that ends right after a record placed past a gap gets
        // here; a few more bytes beat writing beyond the block.
        text.resize(static_cast<std::size_t>(length) + 1);
    }
    std::fill(text.begin() + static_cast<std::ptrdiff_t>(write),
              text.begin() + static_cast<std::ptrdiff_t>(length) + 1, std::uint8_t{0});
    image.length = static_cast<std::uint32_t>(length);
    image.checksum = ImageChecksum({text.data(), image.length});
    image.block = std::move(text);
    return image;
}

std::string TranslateCygwinPath(
    const std::string& path,
    const std::function<std::optional<std::string>(const std::string&)>& lookupMount) {
    auto backslashes = [](std::string text) {
        std::replace(text.begin(), text.end(), '/', '\\');
        return text;
    };
    static const std::string kFerrox = "/ferrox";
    static const std::string kCygdrive = "/cygdrive/";
    if (path.compare(0, kFerrox.size(), kFerrox) == 0 && lookupMount) {
        if (auto native = lookupMount(kFerrox)) {
            return backslashes(*native + path.substr(kFerrox.size()));
        }
    }
    if (path.size() >= 4 && path[0] == '/' && path[1] == '/' && path[3] == '/') {
        return std::string(1, path[2]) + ":" + backslashes(path.substr(3));
    }
    if (path.compare(0, kCygdrive.size(), kCygdrive) == 0 && path.size() > kCygdrive.size()) {
        const std::string rest = path.substr(kCygdrive.size());
        return backslashes(rest.substr(0, 1) + ":" + rest.substr(1));
    }
    return path;
}

std::optional<UpdateImage> LoadSRecordImage(const std::string& fileName, Prompt& prompt,
                                            const std::string& caption) {
    PlatformBuffer().clear();
    std::FILE* file = std::fopen(fileName.c_str(), "rb");
    if (file == nullptr) {
        prompt.message(messages::kFailedToOpen, caption, PromptIcon::Exclamation);
        return std::nullopt;
    }
    std::vector<std::uint8_t> text;
    bool readOk = true;
    std::error_code error;
    const auto size = std::filesystem::file_size(fileName, error);
    if (!error) {
        text.resize(static_cast<std::size_t>(size) + 1);
        const std::size_t got = std::fread(text.data(), 1, static_cast<std::size_t>(size), file);
        readOk = got == size || std::feof(file);
        text.resize(got + 1);
    } else {
        // Not a regular file (a pipe, say): read what it gives.
        std::uint8_t chunk[65536];
        std::size_t got;
        while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
            text.insert(text.end(), chunk, chunk + got);
        }
        readOk = !std::ferror(file);
        text.push_back(0);
    }
    std::fclose(file);
    if (!readOk) {
        prompt.message(messages::kFailedToOpen, caption, PromptIcon::Exclamation);
        return std::nullopt;
    }
    text.back() = 0;

    auto result = DecodeSRecordImage(std::move(text), PlatformBuffer());
    if (auto* failure = std::get_if<LoadFailure>(&result)) {
        for (const std::string& message : failure->messages) {
            prompt.message(message, caption, PromptIcon::Exclamation);
        }
        return std::nullopt;
    }
    return std::get<UpdateImage>(std::move(result));
}

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

    // The code in parentheses, or the text before the first ")" when there is
    // no "(" (the whole text when there is neither).
    std::string code;
    const auto open = description.find('(');
    const auto close = description.find(')');
    if (open != std::string::npos) {
        const auto after = description.find(')', open + 1);
        if (after != std::string::npos) {
            code = description.substr(open + 1, after - open - 1);
        }
    } else {
        code = description.substr(0, close);
    }
    // The version: what follows the first ")", or the whole text without one.
    const std::string version =
        close == std::string::npos ? description : description.substr(close + 1);
    std::copy_n(code.begin(), std::min<std::size_t>(code.size(), 19), header.begin() + 16);
    std::copy_n(version.begin(), std::min<std::size_t>(version.size(), 10), header.begin() + 36);
    return header;
}

Result<void> SaveImageFile(const std::string& path, const UpdateImage& image,
                           const std::string& description) {
    const auto header = BuildImageFileHeader(image, description);
    // Written beside the target and renamed over it once complete, so a
    // failure never leaves a partial file under the name asked for.
    const std::string temporary = path + ".partial";
    auto fail = [&](const std::string& why) -> Result<void> {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        return Error{0, FormatText(messages::kCannotWrite, path.c_str(), why.c_str())};
    };
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (file == nullptr) {
        return Error{0, FormatText(messages::kCannotWrite, path.c_str(),
                                   std::generic_category().message(errno).c_str())};
    }
    const bool written =
        std::fwrite(header.data(), 1, header.size(), file) == header.size() &&
        std::fwrite(image.block.data(), 1, image.length, file) == image.length;
    const int writeErrno = errno;
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        return fail(std::generic_category().message(written ? errno : writeErrno));
    }
    std::error_code error;
    std::filesystem::rename(temporary, path, error);
    if (error) {
        return fail(error.message());
    }
    return {};
}

}  // namespace lanscope
