#include "common/AtomicFile.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <system_error>

#include "common/Text.h"

namespace lanscope {

namespace {

// The reason the last call into the C runtime gave, read straight after it
// failed; a stream that fails without saying why is taken as an I/O error.
int LastErrno() {
    return errno != 0 ? errno : EIO;
}

Error SystemError(int code) {
    return Error{code, std::generic_category().message(code)};
}

// A folder of this save's own beside `path`. Creating a folder is the one
// exclusive create the standard library has: it fails when the name is taken,
// so no other save ever writes into it. A name already in use is passed over.
Result<std::filesystem::path> CreatePrivateFolderBeside(const std::filesystem::path& path) {
    std::random_device entropy;
    std::error_code error;
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[24];
        std::snprintf(suffix, sizeof suffix, ".%08x.partial", static_cast<unsigned>(entropy()));
        std::filesystem::path folder = path;
        folder += suffix;
        if (std::filesystem::create_directory(folder, error)) {
            return folder;
        }
        if (error && error != std::errc::file_exists) {
            return Error{error.value(), error.message()};
        }
    }
    return SystemError(EEXIST);
}

// Writes `parts` to a new file `name`; the error is the system's reason.
Result<void> WriteNewFile(const std::filesystem::path& name,
                          std::span<const std::span<const std::uint8_t>> parts) {
    errno = 0;
    std::ofstream file(name, std::ios::binary | std::ios::trunc);
    if (!file) {
        return SystemError(LastErrno());
    }
    for (const auto& part : parts) {
        errno = 0;
        file.write(reinterpret_cast<const char*>(part.data()),
                   static_cast<std::streamsize>(part.size()));
        if (!file) {
            return SystemError(LastErrno());
        }
    }
    errno = 0;
    file.close();
    if (!file) {
        return SystemError(LastErrno());
    }
    return {};
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
    // Written in a folder of its own beside the target and renamed over it
    // once complete, so a failure never leaves a partial file under the name
    // asked for, and two saves never write into each other's file. Beside the
    // target, the rename stays on one file system and so replaces at once.
    auto folder = CreatePrivateFolderBeside(path);
    if (!folder) {
        return folder.error();
    }
    const std::filesystem::path temporary = *folder / "file";
    auto result = [&]() -> Result<void> {
        if (auto written = WriteNewFile(temporary, parts); !written) {
            return written;
        }
        std::error_code error;
        // A file that is replaced keeps who may read and write it.
        const auto existing = std::filesystem::status(path, error);
        if (!error && std::filesystem::exists(existing)) {
            std::filesystem::permissions(temporary, existing.permissions(), error);
        }
        std::filesystem::rename(temporary, path, error);
        if (error) {
            return Error{error.value(), error.message()};
        }
        return {};
    }();
    // The folder goes on every path, with what is left of the file in it.
    std::error_code ignored;
    std::filesystem::remove_all(*folder, ignored);
    return result;
}

Result<void> WriteFileAtomically(const std::string& path, std::string_view text) {
    const std::span<const std::uint8_t> part(reinterpret_cast<const std::uint8_t*>(text.data()),
                                             text.size());
    return WriteFileAtomically(path, std::span<const std::span<const std::uint8_t>>(&part, 1));
}

}  // namespace lanscope
