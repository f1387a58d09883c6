#include "common/AtomicFile.h"

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

namespace lanscope {

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

Result<void> WriteFileAtomically(const std::string& requested,
                                 std::span<const std::span<const std::uint8_t>> parts) {
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
        return Error{errno, std::generic_category().message(errno)};
    }
    auto fail = [&](int code, const std::string& why) -> Result<void> {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        return Error{code, why};
    };
    bool written = true;
    for (const auto& part : parts) {
        written = written && std::fwrite(part.data(), 1, part.size(), file) == part.size();
    }
    const int writeErrno = errno;
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        const int code = written ? errno : writeErrno;
        return fail(code, std::generic_category().message(code));
    }
    std::error_code error;
    // A file that is replaced keeps who may read and write it.
    const auto existing = std::filesystem::status(path, error);
    if (!error && std::filesystem::exists(existing)) {
        std::filesystem::permissions(temporary, existing.permissions(), error);
    }
    std::filesystem::rename(temporary, path, error);
    if (error) {
        return fail(error.value(), error.message());
    }
    return {};
}

Result<void> WriteFileAtomically(const std::string& path, std::string_view text) {
    const std::span<const std::uint8_t> part(reinterpret_cast<const std::uint8_t*>(text.data()),
                                             text.size());
    return WriteFileAtomically(path, std::span<const std::span<const std::uint8_t>>(&part, 1));
}

}  // namespace lanscope
