#include "update/ImageFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <random>
#include <system_error>

// The C runtime's file descriptors, for a create that fails when the file
// exists.
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

#include "common/Text.h"
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
    // The version: what follows the first ")", or the whole text without one.
    const std::string version =
        close == std::string::npos ? description : description.substr(close + 1);
    std::copy_n(code.begin(), std::min<std::size_t>(code.size(), 19), header.begin() + 16);
    std::copy_n(version.begin(), std::min<std::size_t>(version.size(), 10), header.begin() + 36);
    return header;
}

namespace {

// Creates the file for writing only when no file of that name exists. (The
// "x" of fopen is not known to every Windows C runtime.)
std::FILE* CreateNew(const std::filesystem::path& name) {
#ifdef _WIN32
    const int fd =
        ::_wopen(name.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, _S_IREAD | _S_IWRITE);
    std::FILE* file = fd < 0 ? nullptr : ::_fdopen(fd, "wb");
    if (fd >= 0 && file == nullptr) {
        ::_close(fd);
    }
#else
    const int fd = ::open(name.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
    std::FILE* file = fd < 0 ? nullptr : ::fdopen(fd, "wb");
    if (fd >= 0 && file == nullptr) {
        ::close(fd);
    }
#endif
    return file;
}

// A name beside `path` that no file has yet; the file is created with it.
std::FILE* CreateUniqueBeside(const std::filesystem::path& path, std::filesystem::path& name) {
    std::random_device entropy;
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[24];
        std::snprintf(suffix, sizeof suffix, ".%08x.partial", static_cast<unsigned>(entropy()));
        name = path;
        name += suffix;
        if (std::FILE* file = CreateNew(name)) {
            return file;
        }
        if (errno != EEXIST) {
            return nullptr;
        }
    }
    return nullptr;
}

}  // namespace

Result<void> SaveImageFile(const std::string& requested, const UpdateImage& image,
                           const std::string& description) {
    const auto header = BuildImageFileHeader(image, description);
    // Through a link the file it names is replaced, not the link.
    std::error_code linkError;
    std::filesystem::path path = FileSystemPath(requested);
    if (std::filesystem::is_symlink(path, linkError)) {
        auto target = std::filesystem::weakly_canonical(path, linkError);
        if (!linkError) {
            path = std::move(target);
        }
    }
    // Written under a name of its own beside the target and renamed over it
    // once complete, so a failure never leaves a partial file under the name
    // asked for, and two saves never write into each other's file.
    std::filesystem::path temporary;
    std::FILE* file = CreateUniqueBeside(path, temporary);
    if (file == nullptr) {
        return Error{0, messages::CannotWriteText(requested.c_str(),
                                                  std::generic_category().message(errno).c_str())};
    }
    auto fail = [&](const std::string& why) -> Result<void> {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        return Error{0, messages::CannotWriteText(requested.c_str(), why.c_str())};
    };
    const bool written = std::fwrite(header.data(), 1, header.size(), file) == header.size() &&
                         std::fwrite(image.block.data(), 1, image.length, file) == image.length;
    const int writeErrno = errno;
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        return fail(std::generic_category().message(written ? errno : writeErrno));
    }
    std::error_code error;
    // A file that is replaced keeps who may read and write it.
    const auto existing = std::filesystem::status(path, error);
    if (!error && std::filesystem::exists(existing)) {
        std::filesystem::permissions(temporary, existing.permissions(), error);
    }
    std::filesystem::rename(temporary, path, error);
    if (error) {
        return fail(error.message());
    }
    return {};
}

}  // namespace lanscope
