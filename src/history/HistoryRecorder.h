#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "common/Result.h"
#include "history/History.h"

namespace lanscope {

// Who records: filled into every event.
struct HistoryIdentity {
    std::string host;
    std::string user;
    std::string program;  // kHistoryProgramWindow or kHistoryProgramCli
};

// This computer's name and this user's, for the given program.
HistoryIdentity HistoryIdentityOfThisProcess(std::string_view program);

// The service history a front end keeps: stamps each event (time, host,
// user, program, an id when it has none) and appends it to the file. When
// history is off the events are stamped and go nowhere. Writing never fails
// the work: the first failure is kept until the front end takes it, so the
// window shows one message per run and the command line one line.
// Safe to share between threads.
class FileHistoryRecorder final : public HistorySink {
  public:
    using Clock = std::function<std::chrono::system_clock::time_point()>;

    FileHistoryRecorder(std::string path, HistoryIdentity identity, bool enabled,
                        Clock clock = std::chrono::system_clock::now);

    HistoryEvent record(HistoryEvent event) override;

    const std::string& path() const { return m_path; }
    bool enabled() const { return m_enabled; }

    // The first failure since the last call, once.
    std::optional<Error> takeFailure() override;

  private:
    const std::string m_path;
    const HistoryIdentity m_identity;
    const bool m_enabled;
    const Clock m_clock;
    const std::string m_idPrefix;
    std::mutex m_mutex;
    std::uint64_t m_nextId = 1;
    std::optional<Error> m_failure;
};

}  // namespace lanscope
