// The parts of UdpSocket that are the same on every system; the system calls
// are in posix/ and win/.
#include <utility>

#include "platform/SocketSystem.h"
#include "platform/UdpSocket.h"

namespace lanscope {

UdpSocket::~UdpSocket() {
    close();
}

UdpSocket::UdpSocket(UdpSocket&& other) noexcept : m_fd(std::exchange(other.m_fd, kNoSocket)) {}

UdpSocket& UdpSocket::operator=(UdpSocket&& other) noexcept {
    if (this != &other) {
        close();
        m_fd = std::exchange(other.m_fd, kNoSocket);
    }
    return *this;
}

Result<UdpSocket> UdpSocket::openBound(Ipv4 address, std::uint16_t port, bool broadcast) {
    auto socket = open();
    if (!socket) {
        return socket;
    }
    if (auto bound = socket->bind(address, port); !bound) {
        return bound.error();
    }
    if (broadcast) {
        if (auto option = socket->setBroadcast(true); !option) {
            return option.error();
        }
    }
    return socket;
}

Result<void> UdpSocket::bind(Ipv4 address, std::uint16_t port) {
    const sockaddr_in sa = socket_system::MakeAddress(address, port);
    if (::bind(socket_system::ToNative(m_fd), reinterpret_cast<const sockaddr*>(&sa), sizeof sa) !=
        0) {
        return socket_system::LastError("bind");
    }
    return {};
}

Result<std::uint16_t> UdpSocket::localPort() const {
    sockaddr_in sa{};
    socket_system::Length length = sizeof sa;
    if (::getsockname(socket_system::ToNative(m_fd), reinterpret_cast<sockaddr*>(&sa), &length) !=
        0) {
        return socket_system::LastError("getsockname");
    }
    return static_cast<std::uint16_t>(ntohs(sa.sin_port));
}

Result<ReceivedDatagram> UdpSocket::receiveWithin(std::span<std::uint8_t> buffer,
                                                  std::chrono::microseconds spin, int timeoutMs) {
    const auto until = std::chrono::steady_clock::now() + spin;
    for (;;) {
        auto received = receiveFrom(buffer);
        if (received || !IsWouldBlock(received.error())) {
            return received;
        }
        if (std::chrono::steady_clock::now() >= until) {
            if (!waitReadable(timeoutMs)) {
                return received;
            }
            return receiveFrom(buffer);
        }
    }
}

}  // namespace lanscope
