#include "update/UpdateSession.h"

#include "platform/NativePath.h"

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

UpdateSession::~UpdateSession() {
    if (m_run) {
        m_run->changed = nullptr;
        m_run->wakeAfter = nullptr;
    }
}

UpdateOutcome UpdateSession::start() {
    if (m_started) {
        return outcome();
    }
    m_started = true;
    auto prepared = PrepareUpdate(m_settings, NativePath);
    if (!prepared) {
        ShowLoadFailure(prepared.error(), m_prompt, m_caption);
        end(UpdateOutcome::Cancel);
        return m_outcome;
    }
    m_image = std::move(prepared->image);
    if (prepared->saved) {
        end(UpdateOutcome::Ok);
        return m_outcome;
    }

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
    } else {
        auto own = std::make_unique<FerroxUpdateSocket>(std::move(sink), module, m_prompt, m_loop,
                                                        m_caption, m_endpoints);
        m_listening = own->isListening();
        m_transport = std::move(own);
    }
    m_run->beginTransfer(*m_transport);
    return outcome();
}

void UpdateSession::cancel() {
    if (m_run) {
        m_run->cancel();
    } else {
        end(UpdateOutcome::Cancel);
    }
}

void UpdateSession::onRunChanged() {
    if (m_run->outcome() != UpdateOutcome::Running) {
        stop();
    }
    if (changed) {
        changed();
    }
}

void UpdateSession::end(UpdateOutcome outcome) {
    if (m_outcome != UpdateOutcome::Running) {
        return;
    }
    m_outcome = outcome;
    stop();
    if (changed) {
        changed();
    }
}

void UpdateSession::stop() {
    m_tick.reset();
    if (m_shared != nullptr) {
        // Later replies from this module are no one's.
        m_transport.reset();
    }
}

}  // namespace lanscope
