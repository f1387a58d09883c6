#include "update/FerroxUpdateSocket.h"

#include <array>
#include <chrono>

#include "update/Messages.h"

namespace lanscope {

FerroxUpdateSocket::FerroxUpdateSocket(ReplySink sink, Ipv4 module, Prompt& prompt, EventLoop& loop,
                                       const std::string& caption, UpdateEndpoints endpoints)
    : m_sink(std::move(sink)), m_module(module), m_endpoints(endpoints) {
    auto socket =
        UdpSocket::openBound(m_endpoints.bindAddress, m_endpoints.bindPort, /*broadcast=*/false);
    if (!socket) {
        // The run goes on and ends by its time-out, as nothing will answer.
        prompt.message(messages::UpdateBindErrorText(static_cast<long>(socket.error().code), 0),
                       caption, PromptIcon::Exclamation);
        return;
    }
    m_socket = std::move(socket.value());
    m_watch = loop.watchReadable(m_socket.handle(), [this] { onReadable(); });
}

FerroxUpdateSocket::~FerroxUpdateSocket() {
    m_watch.reset();
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
    // Each reply makes the run send the next request, whose reply is usually
    // back within microseconds: waiting for it here, briefly, spares a trip
    // through the event loop per chunk. A bounded number per turn keeps the
    // window answering (Cancel) while a transfer runs.
    constexpr int kRepliesPerTurn = 64;
    constexpr int kWaitForNextMs = 2;
    constexpr auto kSpinForNext = std::chrono::microseconds(300);
    std::array<std::uint8_t, 1024> buffer;
    int handled = 0;
    for (int turn = 0; turn < 4 * kRepliesPerTurn; ++turn) {
        auto received = m_socket.receiveFrom(buffer);
        if (!received) {
            if (!IsWouldBlock(received.error())) {
                continue;
            }
            if (handled == 0 || handled >= kRepliesPerTurn || !m_socket.isOpen() ||
                !m_socket.awaitReadable(kSpinForNext, kWaitForNextMs)) {
                return;
            }
            continue;
        }
        if (received->size == 0 || received->truncated) {
            continue;
        }
        ++handled;
        m_sink(std::span<const std::uint8_t>(buffer.data(), received->size));
    }
}

}  // namespace lanscope
