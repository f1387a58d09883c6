// The parts of UdpSocket that are the same on every system; the system calls
// are in posix/ and win/.
#include "platform/UdpSocket.h"

#include <utility>

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

bool UdpSocket::awaitReadable(std::chrono::microseconds spin, int timeoutMs) const {
    const auto until = std::chrono::steady_clock::now() + spin;
    do {
        if (waitReadable(0)) {
            return true;
        }
    } while (std::chrono::steady_clock::now() < until);
    return waitReadable(timeoutMs);
}

}  // namespace lanscope
