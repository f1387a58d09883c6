#include "discovery/DiscoverySession.h"

namespace lanscope {

DiscoverySession::DiscoverySession(Prompt& prompt, EventLoop& loop, FerroxEndpoints endpoints)
    : m_prompt(prompt), m_loop(loop), m_endpoints(endpoints) {}

DiscoverySession::~DiscoverySession() {
    close();
}

bool DiscoverySession::open() {
    if (!m_socket) {
        m_socket = std::make_unique<FerroxSocket>(m_list, m_prompt, m_loop, m_endpoints);
    }
    return m_socket->isListening();
}

void DiscoverySession::close() {
    if (m_socket) {
        m_socket->ShutdownSend();
        m_socket.reset();
    }
}

Result<std::size_t> DiscoverySession::request() {
    if (!m_socket) {
        return Error{0, "discovery is closed"};
    }
    return m_socket->SendDiscoveryRequest();
}

bool DiscoverySession::waitFor(std::chrono::milliseconds time, const std::function<bool()>& done) {
    if (done && done()) {
        return true;
    }
    if (!m_socket) {
        return false;
    }
    return m_loop.runUntil(time, done);
}

std::optional<std::size_t> DiscoverySession::findMac(const MacAddress& mac) const {
    for (std::size_t row = 0; row < m_list.size(); ++row) {
        if (m_list.record(row).mac() == mac) {
            return row;
        }
    }
    return std::nullopt;
}

}  // namespace lanscope
