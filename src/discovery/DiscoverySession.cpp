#include "discovery/DiscoverySession.h"

#include <QEventLoop>
#include <QTimer>

namespace lanscope {

DiscoverySession::DiscoverySession(Prompt& prompt, FerroxEndpoints endpoints)
    : m_prompt(prompt), m_endpoints(endpoints) {}

DiscoverySession::~DiscoverySession() {
    close();
}

bool DiscoverySession::open() {
    if (!m_socket) {
        m_socket = std::make_unique<FerroxSocket>(m_list, m_prompt, m_endpoints);
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
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    bool reached = false;
    auto connection =
        QObject::connect(m_socket.get(), &FerroxSocket::replyHandled, &loop, [&](AddReplyOutcome) {
            if (done && !reached && done()) {
                reached = true;
                loop.quit();
            }
        });
    timer.start(time);
    loop.exec();
    QObject::disconnect(connection);
    return reached;
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
