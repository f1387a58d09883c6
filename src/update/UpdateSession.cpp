#include "update/UpdateSession.h"

#include <algorithm>

#include "platform/NativePath.h"
#include "update/Messages.h"

namespace lanscope {

std::uint32_t SteadyMilliseconds() {
    return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
}

UpdateSession::UpdateSession(UpdateRunSettings settings, Prompt& prompt,
                             CredentialsSource& credentials, EventLoop& loop, std::string caption,
                             UpdateEndpoints endpoints, std::chrono::milliseconds tick)
    : m_settings(std::move(settings)),
      m_prompt(prompt),
      m_credentials(credentials),
      m_loop(loop),
      m_caption(std::move(caption)),
      m_endpoints(endpoints),
      m_tickInterval(tick) {}

UpdateSession::UpdateSession(UpdateRunSettings settings, Prompt& prompt,
                             CredentialsSource& credentials, EventLoop& loop, std::string caption,
                             FerroxUpdateSocket& shared, std::chrono::milliseconds tick)
    : UpdateSession(std::move(settings), prompt, credentials, loop, std::move(caption),
                    UpdateEndpoints{}, tick) {
    m_shared = &shared;
}

void UpdateSession::recordTo(HistorySink* history, HistoryModule module) {
    m_history = history;
    m_module = std::move(module);
}

UpdateSession::~UpdateSession() {
    if (m_run) {
        m_run->changed = nullptr;
        m_run->wakeAfter = nullptr;
    }
}

void UpdateSession::failLoad(const LoadFailure& failure, HistoryEvent event) {
    ShowLoadFailure(failure, m_prompt, m_caption);
    if (m_settings.saveToFile) {
        event.save.emplace();
        event.save->source = m_settings.imageFile;
        event.save->target = m_settings.saveFile;
    } else {
        event.update.emplace();
        event.update->file = m_settings.imageFile;
        event.update->restart = m_settings.restart;
    }
    const auto& shown = failure.messages;
    const std::string last = shown.empty() ? std::string() : shown.back();
    event.result = HistoryResult::Failed;
    event.message = last;
    RecordHistory(m_history, std::move(event));
    end(UpdateOutcome::Cancel, {UpdateEndReason::Failed, last});
}

UpdateOutcome UpdateSession::start() {
    if (m_started) {
        return outcome();
    }
    m_started = true;
    HistoryEvent event;
    event.module = m_module;
    event.action = m_settings.saveToFile ? HistoryAction::Save : HistoryAction::Update;
    if (!m_image || m_settings.saveToFile) {
        auto prepared = PrepareUpdate(m_settings, NativePath);
        if (!prepared) {
            failLoad(prepared.error(), std::move(event));
            return m_outcome;
        }
        m_image = std::make_shared<const UpdateImage>(std::move(prepared->image));
        if (prepared->saved) {
            event.save = HistorySave{m_settings.imageFile, m_settings.saveFile, m_image->base,
                                     m_image->length, m_image->checksum};
            event.result = HistoryResult::Ok;
            RecordHistory(m_history, std::move(event));
            end(UpdateOutcome::Ok, {UpdateEndReason::Ok, {}});
            return m_outcome;
        }
    }
    event.update = HistoryUpdate{m_settings.imageFile,
                                 m_image->base,
                                 m_image->length,
                                 m_image->checksum,
                                 m_image->platform,
                                 m_settings.restart,
                                 0,
                                 0.0};
    if (m_history != nullptr) {
        // Written before the first request: a run that never ends (the
        // program killed) still leaves its start.
        m_startEvent = m_history->record(std::move(event));
    }
    m_transferStart = std::chrono::steady_clock::now();

    m_run = std::make_unique<UpdateRun>(*m_image, m_settings.restart, m_prompt, m_credentials,
                                        m_caption, SteadyMilliseconds);
    m_run->changed = [this] { onRunChanged(); };
    m_run->wakeAfter = [this](std::uint32_t ms) {
        // The run asks for one wake-up at a time (the next from inside the
        // last), so a new one takes the place of the spent one.
        m_wakeUp =
            m_loop.startTimer(std::chrono::milliseconds(ms), false, [this] { m_run->onWake(); });
    };
    m_tick = m_loop.startTimer(m_tickInterval, true, [this] { m_run->onTick(); });
    auto sink = [this](std::span<const std::uint8_t> reply) { m_run->onReply(reply); };
    const Ipv4 module = m_settings.moduleAddress;
    if (m_shared != nullptr) {
        m_transport = m_shared->attach(module, std::move(sink));
        m_listening = m_shared->isListening();
        m_bindError = m_shared->bindError();
    } else {
        auto own = std::make_unique<FerroxUpdateSocket>(std::move(sink), module, m_prompt, m_loop,
                                                        m_caption, m_endpoints);
        m_listening = own->isListening();
        m_bindError = own->bindError();
        m_transport = std::move(own);
    }
    m_run->beginTransfer(*m_transport);
    return outcome();
}

void UpdateSession::cancel() {
    if (m_run && !m_listening) {
        // Nothing could have answered: the run failed for the reason shown
        // when the port was refused, whoever ends its wait.
        m_run->abandon(m_bindError);
    } else if (m_run) {
        m_run->cancel();
    } else {
        end(UpdateOutcome::Cancel, {UpdateEndReason::Cancelled, {}});
    }
}

void UpdateSession::onRunChanged() {
    if (m_run->outcome() != UpdateOutcome::Running) {
        if (!m_transferEnd) {
            m_transferEnd = std::chrono::steady_clock::now();
        }
        stop();
        recordOutcome();
    }
    if (changed) {
        changed();
    }
}

void UpdateSession::end(UpdateOutcome outcome, UpdateRunResult result) {
    if (m_outcome != UpdateOutcome::Running) {
        return;
    }
    m_outcome = outcome;
    m_result = std::move(result);
    stop();
    if (changed) {
        changed();
    }
}

void UpdateSession::recordOutcome() {
    if (!m_startEvent) {
        return;
    }
    HistoryEvent started = std::move(*m_startEvent);
    m_startEvent.reset();  // once
    const UpdateRunResult& ended = m_run->result();
    HistoryResult result = HistoryResult::Failed;
    switch (ended.reason) {
        case UpdateEndReason::Ok:
            result = HistoryResult::Ok;
            break;
        case UpdateEndReason::Cancelled:
            result = HistoryResult::Cancelled;
            break;
        case UpdateEndReason::UnknownOutcome:
            result = HistoryResult::Unknown;
            break;
        case UpdateEndReason::Running:  // not while it runs
        case UpdateEndReason::Declined:
        case UpdateEndReason::Failed:
            break;
    }
    HistoryEvent event = HistoryOutcome(std::move(started), result, ended.message);
    event.update->ackBytes = acknowledgedBytes();
    event.update->seconds = transferSeconds();
    m_history->record(std::move(event));
}

double UpdateSession::transferSeconds() const {
    if (!m_run) {
        return 0;
    }
    return std::chrono::duration<double>(m_transferEnd.value_or(std::chrono::steady_clock::now()) -
                                         m_transferStart)
        .count();
}

std::uint64_t UpdateSession::acknowledgedBytes() const {
    if (!m_run) {
        return 0;
    }
    if (m_run->outcome() == UpdateOutcome::Ok) {
        return m_image->length;
    }
    const std::uint32_t reached = std::max(m_run->currentAddress(), m_image->base);
    return std::min<std::uint64_t>(reached - m_image->base, m_image->length);
}

void UpdateSession::stop() {
    m_tick.reset();
    if (m_shared != nullptr) {
        // Later replies from this module are no one's.
        m_transport.reset();
    }
}

}  // namespace lanscope
