#include "update/SRecordImage.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "update/Messages.h"

namespace lanscope {

namespace {

constexpr std::size_t kPlatformLimit = 79;

// Hexadecimal digit values; anything else has high bits set, so a whole
// record can be decoded first and checked once.
constexpr std::uint8_t kNotHex = 0xF0;
struct HexTable {
    std::array<std::uint8_t, 256> value{};
    constexpr HexTable() {
        for (auto& v : value) {
            v = kNotHex;
        }
        for (int i = 0; i < 10; ++i) {
            value['0' + i] = static_cast<std::uint8_t>(i);
        }
        for (int i = 0; i < 6; ++i) {
            value['a' + i] = static_cast<std::uint8_t>(10 + i);
            value['A' + i] = static_cast<std::uint8_t>(10 + i);
        }
    }
};
constexpr HexTable kHex;

// Every pair of characters, as they lie in memory, to its byte; a pair that
// is not two hex digits has bit 8 set. One lookup per byte keeps the decoding
// of large files fast.
const std::array<std::uint16_t, 65536>& PairTable() {
    static const auto table = [] {
        auto entries = std::make_unique<std::array<std::uint16_t, 65536>>();
        for (unsigned first = 0; first < 256; ++first) {
            for (unsigned second = 0; second < 256; ++second) {
                const unsigned high = kHex.value[first];
                const unsigned low = kHex.value[second];
                const unsigned bad = ((high | low) & kNotHex) != 0 ? 0x100u : 0u;
                std::uint8_t pair[2] = {static_cast<std::uint8_t>(first),
                                        static_cast<std::uint8_t>(second)};
                std::uint16_t index;
                std::memcpy(&index, pair, sizeof index);
                (*entries)[index] =
                    static_cast<std::uint16_t>(bad | (((high << 4) | (low & 0x0Fu)) & 0xFFu));
            }
        }
        return entries;
    }();
    return *table;
}

const std::array<std::uint16_t, 65536>& kPairs = PairTable();

// The byte of two hex digits; `bad` collects bit 8 of non-hex pairs.
inline std::uint8_t Pair(const std::uint8_t* digits, unsigned& bad) {
    std::uint16_t index;
    std::memcpy(&index, digits, sizeof index);
    const unsigned entry = kPairs[index];
    bad |= entry;
    return static_cast<std::uint8_t>(entry);
}

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

// A record whose bytes do not sum to 0xFF: the sum, then the verdict.
LoadFailure ChecksumFailure(unsigned sum) {
    return LoadFailure{
        {FormatText(messages::kChecksumError, static_cast<unsigned long>(sum & 0xFFu)),
         messages::kRecordChecksumError}};
}

}  // namespace

const std::string& FilePlatform() {
    return PlatformBuffer();
}

std::uint32_t ImageChecksum(std::span<const std::uint8_t> image) {
    // Byte k of each word weighs 2^(24 - 8k): sum the four columns apart
    // (a loop the compiler vectorises) and weigh them at the end.
    std::uint64_t columns[4] = {};
    const std::size_t whole = image.size() / 4 * 4;
    for (std::size_t i = 0; i < whole; i += 4) {
        columns[0] += image[i];
        columns[1] += image[i + 1];
        columns[2] += image[i + 2];
        columns[3] += image[i + 3];
    }
    for (std::size_t i = whole; i < image.size(); ++i) {
        columns[i - whole] += image[i];  // bytes beyond the image count as zero
    }
    return static_cast<std::uint32_t>((columns[0] << 24) + (columns[1] << 16) + (columns[2] << 8) +
                                      columns[3]);
}

std::variant<UpdateImage, LoadFailure> DecodeSRecordImage(ByteBuffer text, std::string& platform) {
    platform.clear();
    if (text.empty()) {
        text.push_back(0);
    }
    std::uint8_t* const buffer = text.data();
    // The text ends at its first zero byte (the block always ends in one).
    const void* zero = std::memchr(buffer, 0, text.size() - 1);
    const std::size_t end =
        zero == nullptr ? text.size() - 1
                        : static_cast<std::size_t>(static_cast<const std::uint8_t*>(zero) - buffer);

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

        // The count, then every byte it announces.
        const std::size_t countAt = pos + 2;
        if (countAt + 2 > end) {
            return Failure(FormatText(messages::kRecordCutShort, line));
        }
        unsigned bad = 0;
        const std::size_t count = Pair(buffer + countAt, bad);
        if ((bad & 0x100u) != 0) {
            return Failure(FormatText(messages::kNotHexadecimal, line));
        }
        const std::size_t bytesAt = countAt + 2;
        if (bytesAt + 2 * count > end) {
            return Failure(FormatText(messages::kRecordCutShort, line));
        }
        // Every record's digits and checksum are checked before anything
        // else is said about it.
        const auto checkRecord = [&]() -> std::optional<LoadFailure> {
            unsigned digits = 0;
            unsigned sum = static_cast<unsigned>(count);
            for (std::size_t i = bytesAt; i < bytesAt + 2 * count; i += 2) {
                sum += Pair(buffer + i, digits);
            }
            if ((digits & 0x100u) != 0) {
                return Failure(FormatText(messages::kNotHexadecimal, line));
            }
            if ((sum & 0xFFu) != 0xFFu) {
                return ChecksumFailure(sum);
            }
            return std::nullopt;
        };
        if (type > 4 || count < static_cast<std::size_t>(width) + 1) {
            if (auto failure = checkRecord()) {
                return std::move(*failure);
            }
            if (count < static_cast<std::size_t>(width) + 1) {
                return Failure(
                    FormatText(messages::kRecordTooShort, line, static_cast<unsigned long>(count)));
            }
            pos += 2;  // checked; the rest is passed over by the scan
            continue;
        }

        std::uint32_t address = 0;
        unsigned sum = static_cast<unsigned>(count);
        for (int i = 0; i < width; ++i) {
            const std::uint8_t byte = Pair(buffer + bytesAt + 2 * static_cast<std::size_t>(i), bad);
            sum += byte;
            address = (address << 8) | byte;
        }
        const std::size_t dataAt = bytesAt + 2 * static_cast<std::size_t>(width);
        const std::size_t dataCount = count - 1 - static_cast<std::size_t>(width);

        // Where the bytes go. A refusal waits until the record itself has
        // passed its checks, which come first.
        const char* refusal = nullptr;
        std::size_t target = write;
        if (!haveData) {
            target = 0;
        } else if (address < next) {
            refusal = messages::kNotAscending;
        } else if (address > next) {
            // The zeros are written into the text itself, behind the read
            // position; a gap that would overtake it cannot be converted.
            const std::uint64_t offset = std::uint64_t{address} - image.base;
            if (offset > dataAt) {
                refusal = messages::kConversionError;
            } else {
                target = static_cast<std::size_t>(offset);
            }
        }
        if (refusal != nullptr || (bad & 0x100u) != 0) {
            if (auto failure = checkRecord()) {
                return std::move(*failure);
            }
            return Failure(refusal);
        }

        // Decoded straight into place: byte i goes to target + i, at or
        // behind the digits it is read from.
        if (target > write) {
            std::fill(buffer + write, buffer + target, std::uint8_t{0});
        }
        const std::uint8_t* digits = buffer + dataAt;
        std::uint8_t* out = buffer + target;
        for (std::size_t i = 0; i < dataCount; ++i, digits += 2) {
            const std::uint8_t byte = Pair(digits, bad);
            sum += byte;
            out[i] = byte;
        }
        sum += Pair(digits, bad);
        if ((bad & 0x100u) != 0) {
            return Failure(FormatText(messages::kNotHexadecimal, line));
        }
        if ((sum & 0xFFu) != 0xFFu) {
            return ChecksumFailure(sum);
        }
        if (!haveData) {
            haveData = true;
            image.base = address;
            next = address;
        } else if (address > next) {
            next = address;
        }
        write = target + dataCount;
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
    ByteBuffer text;
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
    const bool written = std::fwrite(header.data(), 1, header.size(), file) == header.size() &&
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
