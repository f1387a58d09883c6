#include "update/UpdateLoop.h"

namespace lanscope {

std::uint32_t SteadyMilliseconds() {
    return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
}

UpdateLoop::UpdateLoop(UpdateSession& session, Prompt& prompt, std::string caption,
                       UpdateEndpoints endpoints, std::chrono::milliseconds tick, QObject* parent)
    : QObject(parent),
      m_session(session),
      m_prompt(prompt),
      m_caption(std::move(caption)),
      m_endpoints(endpoints) {
    m_tick.setInterval(tick);
    connect(&m_tick, &QTimer::timeout, this, [this] { m_session.onTick(); });
    m_session.wakeAfter = [this](std::uint32_t ms) {
        QTimer::singleShot(static_cast<int>(ms), this, [this] { m_session.onWake(); });
    };
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

void UpdateLoop::begin() {
    if (m_session.outcome() != UpdateOutcome::Running || m_socket) {
        return;
    }
    m_tick.start();
    m_socket = std::make_unique<FerroxUpdateSocket>(
        [this](std::span<const std::uint8_t> reply) { m_session.onReply(reply); },
        m_session.settings().moduleAddress, m_prompt, m_caption, m_endpoints);
    m_session.beginTransfer(*m_socket);
}

void UpdateLoop::stop() {
    m_tick.stop();
}

}  // namespace lanscope
