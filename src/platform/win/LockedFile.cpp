#include "platform/LockedFile.h"

#include <windows.h>

#include <array>
#include <filesystem>
#include <system_error>
#include <utility>

#include "platform/LockWithin.h"

namespace lanscope {

namespace {

std::wstring Wide(const std::string& utf8) {
    if (utf8.empty()) {
        return {};
    }
    const int size =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size > 0 ? size : 0), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), size);
    return wide;
}

Error SystemError(const std::string& what, const std::string& noun, const std::string& path,
                  DWORD code) {
    return Error{static_cast<int>(code),
                 "cannot " + what + " " + noun + " " + path + ": " +
                     std::system_category().message(static_cast<int>(code))};
}

// Closes the file (and so lets go of its lock) on every way out.
class FileHandle {
  public:
    explicit FileHandle(HANDLE handle) noexcept : m_handle(handle) {}
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle() {
        if (m_handle != INVALID_HANDLE_VALUE) {
            CloseHandle(m_handle);
        }
    }
    HANDLE get() const noexcept { return m_handle; }
    HANDLE release() noexcept { return std::exchange(m_handle, INVALID_HANDLE_VALUE); }

  private:
    HANDLE m_handle;
};

OVERLAPPED At(std::uint64_t offset) {
    OVERLAPPED overlapped{};
    overlapped.Offset = static_cast<DWORD>(offset);
    overlapped.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return overlapped;
}

// The whole file, as every writer and reader locks it.
bool LockWhole(HANDLE file, DWORD flags) {
    OVERLAPPED from = At(0);
    return LockFileEx(file, flags, 0, MAXDWORD, MAXDWORD, &from) != 0;
}

// Asks for the lock once, without waiting.
Result<bool> TryLock(HANDLE file, DWORD flags, const std::string& noun, const std::string& path) {
    if (LockWhole(file, flags | LOCKFILE_FAIL_IMMEDIATELY)) {
        return true;
    }
    const DWORD code = GetLastError();
    if (code == ERROR_LOCK_VIOLATION || code == ERROR_IO_PENDING) {
        return false;
    }
    return SystemError("lock", noun, path, code);
}

// Opens the file itself and nothing else: a reparse point (a
// symbolic link, a junction) is opened as itself and refused rather than
// followed, and only a file on a disk is taken (a pipe or a device would hold
// the program for good).
Result<HANDLE> OpenRegular(const std::string& path, DWORD access, DWORD disposition,
                           const std::string& noun, bool& missing) {
    missing = false;
    HANDLE opened = CreateFileW(
        Wide(path).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        disposition, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (opened == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        missing = code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
        return SystemError("open", noun, path, code);
    }
    FileHandle handle(opened);
    if (GetFileType(opened) != FILE_TYPE_DISK) {
        return Error{static_cast<int>(ERROR_INVALID_FUNCTION),
                     "cannot open " + noun + " " + path + ": it is not a regular file"};
    }
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(opened, &information)) {
        return SystemError("read", noun, path, GetLastError());
    }
    if ((information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return Error{static_cast<int>(ERROR_CANT_ACCESS_FILE),
                     "cannot open " + noun + " " + path +
                         ": it is a link (a reparse point), which is not followed"};
    }
    if ((information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return Error{static_cast<int>(ERROR_DIRECTORY),
                     "cannot open " + noun + " " + path + ": it is not a regular file"};
    }
    return handle.release();
}

void UnlockWhole(HANDLE file) {
    OVERLAPPED from = At(0);
    UnlockFileEx(file, 0, MAXDWORD, MAXDWORD, &from);
}

}  // namespace

Result<void> AppendLockedLine(const std::string& path, std::string_view line,
                              std::chrono::milliseconds lockWait, const std::string& noun) {
    const std::filesystem::path file(Wide(path));
    if (file.has_parent_path()) {
        std::error_code made;
        std::filesystem::create_directories(file.parent_path(), made);
        if (made) {
            return Error{made.value(),
                         "cannot make the folder of " + noun + " " + path + ": " + made.message()};
        }
    }
    // Written at the end found under the lock, which every writer takes, so
    // a cut write can be taken back.
    bool missing = false;
    auto opened = OpenRegular(path, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS, noun, missing);
    if (!opened) {
        return opened.error();
    }
    FileHandle handle(*opened);
    if (auto locked =
            LockWithin([&] { return TryLock(handle.get(), LOCKFILE_EXCLUSIVE_LOCK, noun, path); },
                       path, lockWait, static_cast<int>(ERROR_LOCK_VIOLATION), noun);
        !locked) {
        return locked;
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(handle.get(), &size)) {
        const DWORD code = GetLastError();
        UnlockWhole(handle.get());
        return SystemError("read", noun, path, code);
    }
    const auto before = static_cast<std::uint64_t>(size.QuadPart);
    std::string text;
    text.reserve(line.size() + 2);
    if (before > 0) {
        char last = '\n';
        DWORD read = 0;
        OVERLAPPED at = At(before - 1);
        if (ReadFile(handle.get(), &last, 1, &read, &at) && read == 1 && last != '\n') {
            text += '\n';  // the line a power loss cut stays a line of its own
        }
    }
    text += line;
    if (text.back() != '\n') {
        text += '\n';
    }
    DWORD written = 0;
    OVERLAPPED end = At(before);
    const BOOL wrote =
        WriteFile(handle.get(), text.data(), static_cast<DWORD>(text.size()), &written, &end);
    if (!wrote || written != text.size()) {
        const DWORD code = wrote ? ERROR_DISK_FULL : GetLastError();
        Error error = SystemError("write", noun, path, code);
        // Whatever part reached the file would join the next event's line.
        FILE_END_OF_FILE_INFO takeBack{};
        takeBack.EndOfFile.QuadPart = static_cast<LONGLONG>(before);
        if (written > 0 && !SetFileInformationByHandle(handle.get(), FileEndOfFileInfo, &takeBack,
                                                       sizeof takeBack)) {
            error.text += " (part of the line stays in the file)";
        }
        UnlockWhole(handle.get());
        return error;
    }
    if (!FlushFileBuffers(handle.get())) {
        const DWORD code = GetLastError();
        UnlockWhole(handle.get());
        return SystemError("write", noun, path, code);
    }
    UnlockWhole(handle.get());
    return {};
}

Result<bool> ReadLockedFile(const std::string& path,
                            const std::function<void(std::string_view block)>& feed,
                            std::chrono::milliseconds lockWait, const std::string& noun) {
    bool missing = false;
    auto opened = OpenRegular(path, GENERIC_READ, OPEN_EXISTING, noun, missing);
    if (!opened) {
        if (missing) {
            return false;
        }
        return opened.error();
    }
    FileHandle handle(*opened);
    if (auto locked = LockWithin([&] { return TryLock(handle.get(), 0, noun, path); }, path,
                                 lockWait, static_cast<int>(ERROR_LOCK_VIOLATION), noun);
        !locked) {
        return locked.error();
    }
    std::array<char, 1 << 16> block;
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(handle.get(), block.data(), static_cast<DWORD>(block.size()), &got,
                      nullptr)) {
            const DWORD code = GetLastError();
            UnlockWhole(handle.get());
            return SystemError("read", noun, path, code);
        }
        if (got == 0) {
            break;
        }
        feed(std::string_view(block.data(), got));
    }
    UnlockWhole(handle.get());
    return true;
}

}  // namespace lanscope
