#include "history/HistoryFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace lanscope {

namespace {

Error SystemError(const std::string& what, const std::string& path, int code) {
    return Error{code, "cannot " + what + " the service history " + path + ": " +
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

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

}  // namespace

Result<void> AppendHistoryLine(const std::string& path, std::string_view line) {
    const std::filesystem::path file(path);
    if (file.has_parent_path()) {
        std::error_code made;
        std::filesystem::create_directories(file.parent_path(), made);
        if (made) {
            return Error{made.value(), "cannot make the folder of the service history " + path +
                                           ": " + made.message()};
        }
    }
    FileDescriptor fd(::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0600));
    if (fd.get() < 0) {
        return SystemError("open", path, errno);
    }
    if (Lock(fd.get(), LOCK_EX) != 0) {
        return SystemError("lock", path, errno);
    }
    struct stat status {};
    if (::fstat(fd.get(), &status) != 0) {
        return SystemError("read", path, errno);
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
        Error error = SystemError("write", path, code);
        // Whatever part reached the file would join the next event's line.
        if (written > 0 && ::ftruncate(fd.get(), before) != 0) {
            error.text += " (part of the line stays in the file)";
        }
        return error;
    }
    if (::fsync(fd.get()) != 0) {
        return SystemError("write", path, errno);
    }
    if (before == 0) {
        SyncFolderOf(file);
    }
    Lock(fd.get(), LOCK_UN);
    return {};
}

Result<HistoryReading> ReadHistoryFile(const std::string& path, HistoryKeep keep) {
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
        if (errno == ENOENT) {
            return HistoryReading{};
        }
        return SystemError("open", path, errno);
    }
    if (Lock(fd.get(), LOCK_SH) != 0) {
        return SystemError("lock", path, errno);
    }
    HistoryReader reader(std::move(keep));
    std::array<char, 1 << 16> block;
    for (;;) {
        const ssize_t got = ::read(fd.get(), block.data(), block.size());
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return SystemError("read", path, errno);
        }
        if (got == 0) {
            break;
        }
        reader.feed(std::string_view(block.data(), static_cast<std::size_t>(got)));
    }
    return reader.finish();
}

std::string ThisUsersHistoryFile() {
    HistoryEnvironment environment;
    environment.history = Environment("LANSCOPE_HISTORY");
    environment.xdgDataHome = Environment("XDG_DATA_HOME");
    environment.home = Environment("HOME");
    return HistoryFilePath(environment, HistorySystem::Posix);
}

std::string ComputerName() {
    std::array<char, 256> name{};
    if (::gethostname(name.data(), name.size() - 1) != 0) {
        return {};
    }
    return name.data();
}

}  // namespace lanscope
