#include "platform/LockedFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <filesystem>
#include <system_error>
#include <utility>

#include "platform/LockWithin.h"

namespace lanscope {

namespace {

Error SystemError(const std::string& what, const std::string& noun, const std::string& path,
                  int code) {
    return Error{code, "cannot " + what + " " + noun + " " + path + ": " +
                           std::system_category().message(code)};
}

// Closes the file (and so lets go of its lock) on every way out.
class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) noexcept : m_fd(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    int get() const noexcept { return m_fd; }
    int release() noexcept { return std::exchange(m_fd, -1); }

  private:
    int m_fd;
};

int Lock(int fd, int operation) {
    int rc = 0;
    do {
        rc = ::flock(fd, operation);
    } while (rc != 0 && errno == EINTR);
    return rc;
}

// Asks for the lock once, without waiting.
Result<bool> TryLock(int fd, int operation, const std::string& noun, const std::string& path) {
    if (Lock(fd, operation | LOCK_NB) == 0) {
        return true;
    }
    if (errno == EWOULDBLOCK) {
        return false;
    }
    return SystemError("lock", noun, path, errno);
}

// Opens the file itself and nothing else. Never through a symbolic
// link (a record would land in whatever file the link names), and only a
// regular file: the open does not wait (a FIFO would wait for a writer for
// good), and a FIFO or device found is refused before anything is read.
Result<int> OpenRegular(const std::string& path, int flags, const std::string& noun,
                        bool& missing) {
    missing = false;
    const int fd = ::open(path.c_str(), flags | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        const int code = errno;
        struct stat link {};
        if (code == ELOOP && ::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
            return Error{code, "cannot open " + noun + " " + path +
                                   ": it is a symbolic link, which is not followed"};
        }
        missing = code == ENOENT;
        return SystemError("open", noun, path, code);
    }
    FileDescriptor opened(fd);
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        return SystemError("read", noun, path, errno);
    }
    if (!S_ISREG(status.st_mode)) {
        return Error{EINVAL, "cannot open " + noun + " " + path + ": it is not a regular file"};
    }
    const int fileFlags = ::fcntl(fd, F_GETFL);
    if (fileFlags < 0 || ::fcntl(fd, F_SETFL, fileFlags & ~O_NONBLOCK) != 0) {
        return SystemError("open", noun, path, errno);
    }
    return opened.release();
}

// Makes the folders the file needs, kept to their owner as the file is;
// folders that are there already are left as they are.
Result<void> MakeFolders(const std::filesystem::path& folder, const std::string& noun,
                         const std::string& path) {
    std::filesystem::path made;
    for (const auto& part : folder) {
        made /= part;
        if (::mkdir(made.c_str(), 0700) == 0) {
            continue;
        }
        int code = errno;
        struct stat status {};
        if (::stat(made.c_str(), &status) == 0) {
            if (S_ISDIR(status.st_mode)) {
                continue;
            }
            code = ENOTDIR;
        }
        return Error{code, "cannot make the folder of " + noun + " " + path + ": " +
                               std::system_category().message(code)};
    }
    return {};
}

// A new file's name is only safe on the disk once its folder is.
void SyncFolderOf(const std::filesystem::path& file) {
    const std::filesystem::path folder =
        file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

}  // namespace

Result<void> AppendLockedLine(const std::string& path, std::string_view line,
                              std::chrono::milliseconds lockWait, const std::string& noun) {
    const std::filesystem::path file(path);
    if (file.has_parent_path()) {
        if (auto made = MakeFolders(file.parent_path(), noun, path); !made) {
            return made;
        }
    }
    bool missing = false;
    auto opened = OpenRegular(path, O_RDWR | O_APPEND | O_CREAT, noun, missing);
    if (!opened) {
        return opened.error();
    }
    FileDescriptor fd(*opened);
    if (auto locked = LockWithin([&] { return TryLock(fd.get(), LOCK_EX, noun, path); }, path,
                                 lockWait, EWOULDBLOCK, noun);
        !locked) {
        return locked;
    }
    struct stat status {};
    if (::fstat(fd.get(), &status) != 0) {
        return SystemError("read", noun, path, errno);
    }
    // A file made before (by an older program, or by hand) is kept to its
    // owner as a new one is; another user's file is theirs to decide.
    if (status.st_uid == ::geteuid() && (status.st_mode & 077) != 0) {
        (void)::fchmod(fd.get(), status.st_mode & 0700);
    }
    const off_t before = status.st_size;
    std::string text;
    text.reserve(line.size() + 2);
    char last = '\n';
    if (before > 0 && ::pread(fd.get(), &last, 1, before - 1) == 1 && last != '\n') {
        text += '\n';  // the line a power loss cut stays a line of its own
    }
    text += line;
    if (text.back() != '\n') {
        text += '\n';
    }
    ssize_t written = 0;
    do {
        written = ::write(fd.get(), text.data(), text.size());
    } while (written < 0 && errno == EINTR);
    if (written != static_cast<ssize_t>(text.size())) {
        const int code = written < 0 ? errno : ENOSPC;
        Error error = SystemError("write", noun, path, code);
        // Whatever part reached the file would join the next event's line.
        if (written > 0 && ::ftruncate(fd.get(), before) != 0) {
            error.text += " (part of the line stays in the file)";
        }
        return error;
    }
    if (::fsync(fd.get()) != 0) {
        return SystemError("write", noun, path, errno);
    }
    if (before == 0) {
        SyncFolderOf(file);
    }
    Lock(fd.get(), LOCK_UN);
    return {};
}

Result<bool> ReadLockedFile(const std::string& path,
                            const std::function<void(std::string_view block)>& feed,
                            std::chrono::milliseconds lockWait, const std::string& noun) {
    bool missing = false;
    auto opened = OpenRegular(path, O_RDONLY, noun, missing);
    if (!opened) {
        if (missing) {
            return false;
        }
        return opened.error();
    }
    FileDescriptor fd(*opened);
    if (auto locked = LockWithin([&] { return TryLock(fd.get(), LOCK_SH, noun, path); }, path,
                                 lockWait, EWOULDBLOCK, noun);
        !locked) {
        return locked.error();
    }
    std::array<char, 1 << 16> block;
    for (;;) {
        const ssize_t got = ::read(fd.get(), block.data(), block.size());
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return SystemError("read", noun, path, errno);
        }
        if (got == 0) {
            break;
        }
        feed(std::string_view(block.data(), static_cast<std::size_t>(got)));
    }
    return true;
}

}  // namespace lanscope
