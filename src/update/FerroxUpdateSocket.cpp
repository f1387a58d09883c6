#include "update/FerroxUpdateSocket.h"

#include <array>

#include "update/Messages.h"

namespace lanscope {

FerroxUpdateSocket::FerroxUpdateSocket(ReplySink sink, Ipv4 module, Prompt& prompt,
                                       const std::string& caption, UpdateEndpoints endpoints,
                                       QObject* parent)
    : QObject(parent), m_sink(std::move(sink)), m_module(module), m_endpoints(endpoints) {
    Error failure;
    auto opened = UdpSocket::open();
    if (!opened) {
        failure = opened.error();
    } else {
        m_socket = std::move(opened.value());
        if (auto bound = m_socket.bind(m_endpoints.bindAddress, m_endpoints.bindPort); !bound) {
            failure = bound.error();
            m_socket.close();
        }
    }
    if (!m_socket.isOpen()) {
        // The run goes on and ends by its time-out, as nothing will answer.
        prompt.message(FormatText(messages::kUpdateBindError, static_cast<long>(failure.code), 0),
                       caption, PromptIcon::Exclamation);
        return;
    }
    m_notifier = std::make_unique<QSocketNotifier>(m_socket.handle(), QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &FerroxUpdateSocket::onReadable);
}

FerroxUpdateSocket::~FerroxUpdateSocket() {
    m_notifier.reset();
    m_socket.close();
}

std::uint16_t FerroxUpdateSocket::localPort() const {
    auto port = m_socket.localPort();
    return port ? *port : 0;
}

void FerroxUpdateSocket::sendRequest(std::span<const std::uint8_t> datagram) {
    if (m_socket.isOpen()) {
        (void)m_socket.sendTo(datagram, m_module, m_endpoints.modulePort);
    }
}

void FerroxUpdateSocket::onReadable() {
    std::array<std::uint8_t, 1024> buffer;
    for (int turn = 0; turn < 256; ++turn) {
        auto received = m_socket.receiveFrom(buffer);
        if (!received) {
            if (IsWouldBlock(received.error())) {
                return;
            }
            continue;
        }
        if (received->size == 0 || received->truncated) {
            continue;
        }
        m_sink(std::span<const std::uint8_t>(buffer.data(), received->size));
    }
}

}  // namespace lanscope
