#include "update/SRecordImage.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <thread>

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

LoadFailure Failure(std::string message) {
    return LoadFailure{{std::move(message)}};
}

// A record whose bytes do not sum to 0xFF: the sum, then the verdict.
LoadFailure ChecksumFailure(unsigned sum, unsigned long line) {
    return LoadFailure{{messages::ChecksumErrorText(static_cast<unsigned long>(sum & 0xFFu)),
                        messages::kRecordChecksumError},
                       line};
}

// A large file's second half is decoded by a second thread while the first
// half is decoded as always. It takes only what cannot end differently when
// decoded after the first half: data records in one ascending run without
// gaps, into a buffer of its own. At anything else (an error, a gap, any
// other record) it stops, and the single pass takes over from there, so what
// is said about a file is the same as without it.
struct SecondHalf {
    ByteBuffer bytes;
    std::size_t size = 0;     // bytes decoded
    std::size_t stop = 0;     // where the single pass takes over
    std::uint64_t first = 0;  // the address of the first byte
    std::uint64_t next = 0;   // the address after the last byte
    std::size_t records = 0;
    unsigned long lines = 0;  // line ends passed over
    std::array<std::uint32_t, 10> counts{};
};

// Below this, a second thread costs more than it saves.
constexpr std::size_t kSplitSize = 4u << 20;

// The first line start at or after the middle of [pos, end); 0 when the text
// is not worth splitting.
std::size_t SplitPoint(const std::uint8_t* buffer, std::size_t pos, std::size_t end) {
    if (end - pos < kSplitSize || std::thread::hardware_concurrency() < 2) {
        return 0;
    }
    const std::size_t middle = pos + (end - pos) / 2;
    const void* lineEnd = std::memchr(buffer + middle, '\n', end - middle);
    if (lineEnd == nullptr) {
        return 0;
    }
    const auto split =
        static_cast<std::size_t>(static_cast<const std::uint8_t*>(lineEnd) - buffer) + 1;
    return split < end ? split : 0;
}

void DecodeSecondHalf(const std::uint8_t* buffer, std::size_t start, std::size_t end,
                      SecondHalf& half) {
    half.bytes.resize((end - start) / 2 + 1);
    std::uint8_t* const out = half.bytes.data();
    std::size_t pos = start;
    while (pos < end) {
        const std::uint8_t c = buffer[pos];
        if (c != 'S' || pos + 1 >= end || buffer[pos + 1] < '0' || buffer[pos + 1] > '9') {
            half.lines += c == '\n' ? 1 : 0;
            ++pos;
            continue;
        }
        const int type = buffer[pos + 1] - '0';
        if (type < 1 || type > 3) {
            break;
        }
        const std::size_t width = static_cast<std::size_t>(kAddressWidth[type]);
        const std::size_t countAt = pos + 2;
        if (countAt + 2 > end) {
            break;
        }
        unsigned bad = 0;
        const std::size_t count = Pair(buffer + countAt, bad);
        const std::size_t bytesAt = countAt + 2;
        if ((bad & 0x100u) != 0 || count < width + 1 || bytesAt + 2 * count > end) {
            break;
        }
        std::uint32_t address = 0;
        unsigned sum = static_cast<unsigned>(count);
        for (std::size_t i = 0; i < width; ++i) {
            const std::uint8_t byte = Pair(buffer + bytesAt + 2 * i, bad);
            sum += byte;
            address = (address << 8) | byte;
        }
        if (half.records == 0) {
            half.first = address;
            half.next = address;
        } else if (address != half.next) {
            break;
        }
        const std::size_t dataAt = bytesAt + 2 * width;
        const std::size_t dataCount = count - 1 - width;
        const std::uint8_t* digits = buffer + dataAt;
        std::uint8_t* to = out + half.size;
        for (std::size_t i = 0; i < dataCount; ++i, digits += 2) {
            const std::uint8_t byte = Pair(digits, bad);
            sum += byte;
            to[i] = byte;
        }
        sum += Pair(digits, bad);
        if ((bad & 0x100u) != 0 || (sum & 0xFFu) != 0xFFu) {
            break;
        }
        ++half.counts[static_cast<std::size_t>(type)];
        ++half.records;
        half.size += dataCount;
        half.next += dataCount;
        pos = dataAt + 2 * dataCount;
    }
    half.stop = pos;
}

}  // namespace

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

Result<UpdateImage, LoadFailure> DecodeSRecordImage(ByteBuffer text) {
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
            image.platform.assign(reinterpret_cast<const char*>(buffer) + 2, count);
            pos = static_cast<std::size_t>(lineEnd - buffer) + 1;
            line += *lineEnd == '\n' ? 1 : 0;
        }
        ++image.recordCounts[0];
    }

    bool haveData = false;
    std::uint64_t dataBytes = 0;
    std::uint64_t next = 0;  // the address after the last byte placed
    std::size_t write = 0;   // where that byte goes in the block

    SecondHalf half;
    const std::size_t split = SplitPoint(buffer, pos, end);
    std::thread second;
    if (split != 0) {
        second = std::thread(
            [&half, buffer, split, end] { DecodeSecondHalf(buffer, split, end, half); });
    }
    // The second thread reads the text until it is joined: every return
    // waits for it, and nothing at or past the split is written before.
    struct Joiner {
        std::thread& thread;
        ~Joiner() {
            if (thread.joinable()) {
                thread.join();
            }
        }
    } joiner{second};

    while (pos < end) {
        if (pos >= split && second.joinable()) {
            second.join();
            // Taken only where the single pass would have gone on the same
            // way: at the split itself, straight on from the last byte.
            if (pos == split && haveData && half.records != 0 && half.first == next &&
                write + half.size <= half.stop) {
                std::memcpy(buffer + write, half.bytes.data(), half.size);
                write += half.size;
                next = half.next;
                dataBytes += half.size;
                line += half.lines;
                for (std::size_t type = 0; type < image.recordCounts.size(); ++type) {
                    image.recordCounts[type] += half.counts[type];
                }
                pos = half.stop;
                continue;
            }
        }
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
            return Failure(messages::RecordCutShortText(line));
        }
        unsigned bad = 0;
        const std::size_t count = Pair(buffer + countAt, bad);
        if ((bad & 0x100u) != 0) {
            return Failure(messages::NotHexadecimalText(line));
        }
        const std::size_t bytesAt = countAt + 2;
        if (bytesAt + 2 * count > end) {
            return Failure(messages::RecordCutShortText(line));
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
                return Failure(messages::NotHexadecimalText(line));
            }
            if ((sum & 0xFFu) != 0xFFu) {
                return ChecksumFailure(sum, line);
            }
            return std::nullopt;
        };
        if (type > 4 || count < static_cast<std::size_t>(width) + 1) {
            if (auto failure = checkRecord()) {
                return std::move(*failure);
            }
            if (count < static_cast<std::size_t>(width) + 1) {
                return Failure(
                    messages::RecordTooShortText(line, static_cast<unsigned long>(count)));
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
            LoadFailure failure = Failure(refusal);
            failure.line = line;
            return failure;
        }

        if (dataAt + 2 * dataCount + 2 > split && second.joinable()) {
            second.join();  // a record across the split: the single pass goes on
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
            return Failure(messages::NotHexadecimalText(line));
        }
        if ((sum & 0xFFu) != 0xFFu) {
            return ChecksumFailure(sum, line);
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
        dataBytes += dataCount;
        pos = dataAt + 2 * dataCount;
    }

    if (second.joinable()) {
        second.join();
    }
    if (!haveData) {
        return Failure(messages::kNoDataRecord);
    }
    if (dataBytes == 0) {
        // Nothing a module could be given: a run would send empty data
        // requests, and an image file would hold only padding.
        return Failure(messages::kNoDataBytes);
    }
    // The end address is aligned to 4, then one zero byte follows the image.
    const std::uint64_t alignedEnd = (next + 3) / 4 * 4;
    const std::uint64_t length = alignedEnd - image.base;
    if (length > 0xFFFFFFFFu) {
        return Failure(messages::kFileTooLarge);
    }
    if (alignedEnd > 0xFFFFFFFFu) {
        // The finish request carries the end as 32 bits.
        return Failure(messages::kImageEndsBeyond32Bits);
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

}  // namespace lanscope
