#include "discovery/FerroxSocket.h"

#include <array>
#include <cerrno>

#include "discovery/Messages.h"
#include "platform/Broadcast.h"

namespace lanscope {

FerroxSocket::FerroxSocket(ModuleList& owner, Prompt& prompt, EventLoop& loop,
                           FerroxEndpoints endpoints)
    : m_owner(owner), m_endpoints(endpoints) {
    auto socket =
        UdpSocket::openBound(m_endpoints.bindAddress, m_endpoints.bindPort, /*broadcast=*/true);
    if (!socket) {
        prompt.message(messages::BindErrorText(static_cast<long>(socket.error().code), 0),
                       messages::kBindErrorCaption, PromptIcon::Exclamation);
        return;
    }
    m_socket = std::move(socket.value());
    // Room for the replies of a large segment that all answer at once.
    m_socket.setReceiveBuffer(4 * 1024 * 1024);
    m_watch = loop.watchReadable(m_socket.handle(), [this] { onReadable(); });
}

FerroxSocket::~FerroxSocket() {
    m_watch.reset();
    m_socket.close();
}

std::uint16_t FerroxSocket::localPort() const {
    auto port = m_socket.localPort();
    return port ? *port : 0;
}

Result<std::size_t> FerroxSocket::SendDiscoveryRequest() {
    const auto request = BuildDiscoveryRequest();
    return send(request);
}

Result<std::size_t> FerroxSocket::SendConfiguration(const ModuleRecord& record) {
    const auto write = BuildConfigurationWrite(record);
    return send(write);
}

void FerroxSocket::ShutdownSend() {
    m_sendShutDown = true;
    m_socket.shutdownSend();
}

Result<std::size_t> FerroxSocket::send(std::span<const std::uint8_t> datagram) {
    if (m_sendShutDown || !m_socket.isOpen()) {
        return Error{EPIPE, "the socket does not send"};
    }
    if (m_endpoints.destination != kLimitedBroadcast) {
        return m_socket.sendTo(datagram, m_endpoints.destination, m_endpoints.destinationPort);
    }
    return BroadcastOnEveryInterface(m_socket, datagram, m_endpoints.destinationPort);
}

void FerroxSocket::onReadable() {
    // Drain what is waiting, one notification may stand for many replies, but
    // in bounded turns: the notifier fires again for the rest, and the window
    // answers the user in between even under a flood of replies.
    constexpr int kDatagramsPerTurn = 256;
    constexpr int kErrorsPerTurn = 16;
    std::array<std::uint8_t, kMaxReplySize> buffer;
    int errors = 0;
    for (int turn = 0; turn < kDatagramsPerTurn; ++turn) {
        auto received = m_socket.receiveFrom(buffer);
        if (!received) {
            if (IsWouldBlock(received.error()) || ++errors > kErrorsPerTurn) {
                return;
            }
            continue;  // a receive error concerns one datagram only
        }
        // Longer than the buffer: the datagram is incomplete, so it is dropped.
        if (received->size == 0 || received->truncated) {
            continue;
        }
        const auto outcome =
            AddReply(m_owner, std::span<const std::uint8_t>(buffer.data(), received->size),
                     received->sender);
        if (replyHandled) {
            replyHandled(outcome);
        }
    }
}

}  // namespace lanscope
