#pragma once

#include <optional>
#include <string>

#include "discovery/Datagrams.h"
#include "discovery/Senders.h"
#include "history/History.h"

namespace lanscope {

// The service history's event for one write of a module's network settings:
// `before` is the record of the module's last reply, `written` the record as
// sent. Only the network settings of the two records go into it: nothing
// else a record holds, and never a name or password typed for the module.
// The event is a started one; SettingsWriteOutcome gives its outcome.
HistoryEvent SettingsWriteEvent(HistoryModule module, const ModuleRecord& before,
                                const ModuleRecord& written);

// The outcome of a settings write with the message the user was shown, and
// whether the module answered with the new settings when it was asked
// (nothing when no one asked). A write that went out is ok only when the
// module was seen with the new settings; otherwise it is recorded as sent.
HistoryEvent SettingsWriteOutcome(HistoryEvent started, HistoryResult result, std::string message,
                                  std::optional<HistoryVerified> verified = std::nullopt);

// Sends settings writes through `sender` and records each in the history as
// it is sent: sent, or failed with the reason the send gave. For the windows,
// which send without asking the module back.
class HistoryRecordingSender final : public ConfigurationSender {
  public:
    HistoryRecordingSender(ConfigurationSender& sender, HistorySink* history, HistoryModule module,
                           const ModuleRecord& before)
        : m_sender(sender), m_history(history), m_module(std::move(module)), m_before(before) {}

    Result<std::size_t> SendConfiguration(const ModuleRecord& record) override;

  private:
    ConfigurationSender& m_sender;
    HistorySink* m_history;
    HistoryModule m_module;
    ModuleRecord m_before;
};

}  // namespace lanscope
