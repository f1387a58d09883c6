#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <new>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "common/LargeBuffers.h"
#include "common/Prompt.h"
#include "common/Result.h"

namespace lanscope {

// Leaves new bytes uninitialised: a file's text is read over them at once, so
// zeroing tens of megabytes first would be wasted. Large buffers get the
// platform's large-buffer advice.
template <class T>
struct UninitializedAllocator {
    using value_type = T;
    template <class U>
    struct rebind {
        using other = UninitializedAllocator<U>;
    };
    UninitializedAllocator() = default;
    template <class U>
    UninitializedAllocator(const UninitializedAllocator<U>&) noexcept {}
    T* allocate(std::size_t n) { return static_cast<T*>(AllocateBuffer(n * sizeof(T))); }
    void deallocate(T* p, std::size_t n) noexcept { FreeBuffer(p, n * sizeof(T)); }
    template <class U>
    bool operator==(const UninitializedAllocator<U>&) const noexcept {
        return true;
    }
    template <class U>
    void construct(U* p) noexcept {
        ::new (static_cast<void*>(p)) U;
    }
    template <class U, class... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};
using ByteBuffer = std::vector<std::uint8_t, UninitializedAllocator<std::uint8_t>>;

// One contiguous memory image made from an S-record file.
struct UpdateImage {
    // The image's bytes start at the block's first byte; the block holds at
    // least one byte more than the image, and that byte is zero.
    ByteBuffer block;
    std::uint32_t base = 0;
    std::uint32_t length = 0;
    std::uint32_t checksum = 0;  // ImageChecksum
    // Records seen by type digit (S0..S9).
    std::array<std::uint32_t, 10> recordCounts{};

    std::span<const std::uint8_t> bytes() const { return {block.data(), length}; }
    std::uint64_t end() const { return std::uint64_t{base} + length; }
};

// Why a load failed: the messages to show, in order.
struct LoadFailure {
    std::vector<std::string> messages;
};

// Decodes S-record text in place: `text` is the whole file plus one byte (the
// text ends at its first zero byte) and becomes the image's block, so a load
// needs no second buffer of image size. `platform` receives the header line.
// Records S1-S4 carry data in ascending order (gaps are zero-filled), S5-S8
// are checked and passed over, S0 and S9 are never records, every record's
// checksum and hexadecimal digits are checked.
std::variant<UpdateImage, LoadFailure> DecodeSRecordImage(ByteBuffer text, std::string& platform);

// The sum of the image read as big-endian 32-bit words from its first byte;
// bytes beyond the image count as zero.
std::uint32_t ImageChecksum(std::span<const std::uint8_t> image);

// The platform text of the image most recently loaded (empty when its file
// had no header line). Process-wide, as the update run compares it with the
// module's.
const std::string& FilePlatform();

// Turns a Cygwin-style path into a Windows path: "/ferrox..." through the
// Cygwin mount table (`lookupMount` gives the native folder of a mount point,
// or nothing), "//c/dir" and "/cygdrive/c/dir" into "c:\dir". Other paths are
// returned unchanged. Any length is handled.
std::string TranslateCygwinPath(
    const std::string& path,
    const std::function<std::optional<std::string>(const std::string& mountPoint)>& lookupMount);

// Reads the file and loads it; every failure is shown through the prompt
// (captioned `caption`) and gives nothing. Sets FilePlatform.
std::optional<UpdateImage> LoadSRecordImage(const std::string& fileName, Prompt& prompt,
                                            const std::string& caption);

// The 100-byte little-endian header of an image file: 1, base, length,
// checksum, and two fields taken from the module description.
std::array<std::uint8_t, 100> BuildImageFileHeader(const UpdateImage& image,
                                                   const std::string& description);

// Writes header and image to `path`, replacing an existing file. The file
// appears whole or not at all.
Result<void> SaveImageFile(const std::string& path, const UpdateImage& image,
                           const std::string& description);

}  // namespace lanscope
