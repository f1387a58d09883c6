#include "platform/PortListener.h"

#include <netinet/ip.h>
#include <netinet/udp.h>

#include <algorithm>
#include <array>
#include <cstring>

#include "platform/SocketSystem.h"

namespace lanscope {

PortListener::~PortListener() {
    if (m_handle != kNoSocket) {
        ::close(socket_system::ToNative(m_handle));
    }
}

Result<PortListener> PortListener::open(std::uint16_t port) {
    // Every UDP datagram this host receives, with its IP header.
    const int fd = ::socket(AF_INET, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_UDP);
    if (fd < 0) {
        return socket_system::LastError("socket(SOCK_RAW)");
    }
    PortListener listener;
    listener.m_handle = fd;
    listener.m_port = port;
    return listener;
}

std::optional<ReceivedDatagram> PortListener::receive(std::span<std::uint8_t> buffer) {
    std::array<std::uint8_t, 2048> packet;
    for (;;) {
        const ssize_t length =
            ::recv(socket_system::ToNative(m_handle), packet.data(), packet.size(), MSG_TRUNC);
        if (length < 0) {
            return std::nullopt;  // nothing waiting (or an error: nothing to hear)
        }
        const auto size = std::min<std::size_t>(static_cast<std::size_t>(length), packet.size());
        if (size < sizeof(iphdr)) {
            continue;
        }
        iphdr ip;
        std::memcpy(&ip, packet.data(), sizeof ip);
        const std::size_t ipLength = std::size_t{ip.ihl} * 4;
        if (ipLength < sizeof(iphdr) || size < ipLength + sizeof(udphdr)) {
            continue;
        }
        udphdr udp;
        std::memcpy(&udp, packet.data() + ipLength, sizeof udp);
        if (ntohs(udp.dest) != m_port) {
            continue;
        }
        const std::size_t udpLength = ntohs(udp.len);
        const std::size_t payload =
            std::min(udpLength, size - ipLength) - std::min<std::size_t>(udpLength, sizeof(udphdr));
        ReceivedDatagram datagram;
        datagram.sender = ntohl(ip.saddr);
        datagram.senderPort = ntohs(udp.source);
        datagram.truncated =
            payload > buffer.size() || static_cast<std::size_t>(length) > packet.size();
        datagram.size = std::min(payload, buffer.size());
        std::memcpy(buffer.data(), packet.data() + ipLength + sizeof(udphdr), datagram.size);
        return datagram;
    }
}

}  // namespace lanscope
