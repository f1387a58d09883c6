#include "history/HistoryRecorder.h"

#include <cstdio>
#include <random>

#include "common/Text.h"
#include "history/HistoryFile.h"
#include "platform/Console.h"
#include "platform/HostInterfaces.h"

namespace lanscope {

namespace {

// Ids must not meet those of another program writing the same file, now or
// later: a random part per recorder, a counter per event.
std::string RandomIdPrefix() {
    std::random_device device;
    const auto now =
        static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
    const std::uint64_t value =
        ((std::uint64_t{device()} << 32) ^ std::uint64_t{device()}) ^ (now * 0x9E3779B97F4A7C15u);
    char text[24];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
    return text;
}

// The event as the file holds it: texts in UTF-8. File names come as the
// program passes them (the code page's on Windows, any bytes elsewhere), so
// they are written so that the file can be found again, not with
// replacement characters; the message is an 8-bit text as any other.
HistoryEvent AsRecorded(HistoryEvent event) {
    if (event.update) {
        event.update->file = HistoryFileNameText(event.update->file);
    }
    if (event.save) {
        event.save->source = HistoryFileNameText(event.save->source);
        event.save->target = HistoryFileNameText(event.save->target);
    }
    event.message = EightBitToUtf8(event.message);
    return event;
}

}  // namespace

HistoryIdentity HistoryIdentityOfThisProcess(std::string_view program) {
    return {ComputerName(), CurrentUserName(), std::string(program)};
}

FileHistoryRecorder::FileHistoryRecorder(std::string path, HistoryIdentity identity, bool enabled,
                                         Clock clock)
    : m_path(std::move(path)),
      m_identity(std::move(identity)),
      m_enabled(enabled),
      m_clock(std::move(clock)),
      m_idPrefix(RandomIdPrefix()) {}

HistoryEvent FileHistoryRecorder::record(HistoryEvent event) {
    std::lock_guard lock(m_mutex);
    if (event.id.empty()) {
        event.id = m_idPrefix + "-" + std::to_string(m_nextId++);
    }
    event.time = FormatHistoryTime(m_clock());
    event.host = m_identity.host;
    event.user = m_identity.user;
    event.program = m_identity.program;
    if (!m_enabled) {
        return event;
    }
    std::optional<Error> failure;
    if (m_path.empty()) {
        failure = Error{0,
                        "the service history has no place: neither LANSCOPE_HISTORY nor the "
                        "user's data folder is set"};
    } else {
        const std::string line = FormatHistoryLine(AsRecorded(event));
        if (line.size() > kMaxHistoryLineBytes) {
            // The reader would skip it: better said now than found later.
            failure = Error{
                0, "an event too long for the service history " + m_path + " was not written"};
        } else if (auto appended = AppendHistoryLine(m_path, line); !appended) {
            failure = appended.error();
        }
    }
    if (failure && !m_failure) {
        m_failure = std::move(failure);
    }
    return event;
}

std::optional<Error> FileHistoryRecorder::takeFailure() {
    std::lock_guard lock(m_mutex);
    return std::exchange(m_failure, std::nullopt);
}

}  // namespace lanscope
