#include "history/HistoryFile.h"

#include <utility>

#include "platform/LockedFile.h"
#include "platform/NativePath.h"

namespace lanscope {

namespace {

// How every message names the file.
const std::string& Noun() {
    static const std::string noun = "the service history";
    return noun;
}

}  // namespace

Result<void> AppendHistoryLine(const std::string& path, std::string_view line,
                               std::chrono::milliseconds lockWait) {
    return AppendLockedLine(path, line, lockWait, Noun());
}

Result<HistoryReading> ReadHistoryFile(const std::string& path, HistoryKeep keep,
                                       std::chrono::milliseconds lockWait) {
    return ReadHistoryFile(path, std::move(keep), {}, lockWait);
}

Result<HistoryReading> ReadHistoryFile(const std::string& path, HistoryKeep keep, HistoryTake take,
                                       std::chrono::milliseconds lockWait) {
    HistoryReader reader(std::move(keep), std::move(take));
    auto read = ReadLockedFile(
        path, [&](std::string_view block) { reader.feed(block); }, lockWait, Noun());
    if (!read) {
        return read.error();
    }
    if (!*read) {
        return HistoryReading{};
    }
    return reader.finish();
}

std::string HistoryFileNameText(const std::string& name) {
    if (auto decoded = CodePageNameAsUtf8(name)) {
        return *decoded;
    }
    return EscapeHistoryFileName(name);
}

std::string ThisUsersHistoryFile() {
    HistoryEnvironment environment;
    environment.history = EnvironmentText("LANSCOPE_HISTORY");
#ifdef _WIN32
    environment.localAppData = EnvironmentText("LOCALAPPDATA");
    return HistoryFilePath(environment, HistorySystem::Windows);
#else
    environment.xdgDataHome = EnvironmentText("XDG_DATA_HOME");
    environment.home = EnvironmentText("HOME");
    return HistoryFilePath(environment, HistorySystem::Posix);
#endif
}

}  // namespace lanscope
