#include "cli/Discovery.h"

#include <QEventLoop>
#include <QTimer>

namespace lanscope::cli {

DiscoverySession::DiscoverySession(Prompt& prompt, FerroxEndpoints endpoints)
    : m_socket(std::make_unique<FerroxSocket>(m_list, prompt, endpoints)) {}

bool DiscoverySession::waitFor(std::chrono::milliseconds time, const std::function<bool()>& done) {
    if (done && done()) {
        return true;
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

}  // namespace lanscope::cli
