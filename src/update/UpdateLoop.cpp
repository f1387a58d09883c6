#include "update/UpdateLoop.h"

namespace lanscope {

std::uint32_t SteadyMilliseconds() {
    return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
}

UpdateLoop::UpdateLoop(UpdateSession& session, Prompt& prompt, EventLoop& loop, std::string caption,
                       UpdateEndpoints endpoints, std::chrono::milliseconds tick)
    : m_session(session),
      m_prompt(prompt),
      m_loop(loop),
      m_caption(std::move(caption)),
      m_endpoints(endpoints),
      m_tickInterval(tick) {
    m_session.wakeAfter = [this](std::uint32_t ms) {
        // The run asks for one wake-up at a time (the next from inside the
        // last), so a new one takes the place of the spent one.
        m_wakeUp =
            m_loop.startTimer(std::chrono::milliseconds(ms), false, [this] { m_session.onWake(); });
    };
}

UpdateLoop::UpdateLoop(UpdateSession& session, Prompt& prompt, EventLoop& loop, std::string caption,
                       FerroxUpdateSocket& shared, std::chrono::milliseconds tick)
    : UpdateLoop(session, prompt, loop, std::move(caption), UpdateEndpoints{}, tick) {
    m_shared = &shared;
}

UpdateLoop::~UpdateLoop() {
    m_session.wakeAfter = nullptr;
}

UpdateOutcome UpdateLoop::open() {
    if (m_session.open() != UpdateOutcome::Running) {
        stop();
    }
    return m_session.outcome();
}

bool UpdateLoop::begin() {
    if (m_session.outcome() != UpdateOutcome::Running || m_transport) {
        return m_transport != nullptr;
    }
    m_tick = m_loop.startTimer(m_tickInterval, true, [this] { m_session.onTick(); });
    auto sink = [this](std::span<const std::uint8_t> reply) { m_session.onReply(reply); };
    const Ipv4 module = m_session.settings().moduleAddress;
    if (m_shared != nullptr) {
        m_transport = m_shared->attach(module, std::move(sink));
    } else {
        auto own = std::make_unique<FerroxUpdateSocket>(std::move(sink), module, m_prompt, m_loop,
                                                        m_caption, m_endpoints);
        m_listening = own->isListening();
        m_transport = std::move(own);
    }
    m_session.beginTransfer(*m_transport);
    return m_shared != nullptr ? m_shared->isListening() : m_listening;
}

void UpdateLoop::stop() {
    m_tick.reset();
    if (m_shared != nullptr) {
        // Later replies from this module are no one's.
        m_transport.reset();
    }
}

}  // namespace lanscope
