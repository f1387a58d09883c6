#include "config/SettingsHistory.h"

namespace lanscope {

HistoryEvent SettingsWriteEvent(HistoryModule module, const ModuleRecord& before,
                                const ModuleRecord& written) {
    HistoryEvent event;
    event.action = HistoryAction::Settings;
    event.result = HistoryResult::Started;
    event.module = std::move(module);
    event.settings = HistorySettings{HistoryNetworkOf(before), HistoryNetworkOf(written), {}};
    return event;
}

HistoryEvent SettingsWriteOutcome(HistoryEvent started, HistoryResult result, std::string message,
                                  std::optional<HistoryVerified> verified) {
    // Only an answer from the module makes a write ok: one nobody asked
    // about was sent, whatever its caller calls it.
    if (result == HistoryResult::Ok && verified != HistoryVerified::Verified) {
        result = HistoryResult::Sent;
    }
    HistoryEvent event = HistoryOutcome(std::move(started), result, std::move(message));
    if (event.settings) {
        event.settings->verified = verified;
    }
    return event;
}

Result<std::size_t> HistoryRecordingSender::SendConfiguration(const ModuleRecord& record) {
    auto sent = m_sender.SendConfiguration(record);
    const HistoryEvent event = SettingsWriteEvent(m_module, m_before, record);
    if (sent) {
        RecordHistory(m_history, SettingsWriteOutcome(event, HistoryResult::Sent, {}));
    } else {
        RecordHistory(m_history,
                      SettingsWriteOutcome(event, HistoryResult::Failed, sent.error().text));
    }
    return sent;
}

}  // namespace lanscope
