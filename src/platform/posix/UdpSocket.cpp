#include <cerrno>
#include <cstring>
#include <system_error>

#include "platform/SocketSystem.h"
#include "platform/UdpSocket.h"

namespace lanscope {

using namespace socket_system;

Error socket_system::LastError(const char* what) {
    const int code = errno;
    return Error{code, std::string(what) + ": " + std::system_category().message(code)};
}

bool IsWouldBlock(const Error& error) {
    return error.code == EAGAIN || error.code == EWOULDBLOCK;
}

Result<UdpSocket> UdpSocket::open() {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return LastError("socket");
    }
    return UdpSocket(SocketHandle{fd});
}

Result<void> UdpSocket::setBroadcast(bool enabled) {
    const int value = enabled ? 1 : 0;
    if (::setsockopt(ToNative(m_fd), SOL_SOCKET, SO_BROADCAST, &value, sizeof value) != 0) {
        return LastError("setsockopt(SO_BROADCAST)");
    }
    return {};
}

Result<void> UdpSocket::setReuseAddress(bool enabled) {
    const int value = enabled ? 1 : 0;
    if (::setsockopt(ToNative(m_fd), SOL_SOCKET, SO_REUSEADDR, &value, sizeof value) != 0) {
        return LastError("setsockopt(SO_REUSEADDR)");
    }
    return {};
}

void UdpSocket::setReceiveBuffer(int bytes) {
    ::setsockopt(ToNative(m_fd), SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
}

Result<std::size_t> UdpSocket::sendTo(std::span<const std::uint8_t> data, Ipv4 address,
                                      std::uint16_t port) {
    const sockaddr_in sa = MakeAddress(address, port);
    ssize_t sent;
    do {
        sent = ::sendto(ToNative(m_fd), data.data(), data.size(), MSG_NOSIGNAL,
                        reinterpret_cast<const sockaddr*>(&sa), sizeof sa);
    } while (sent < 0 && errno == EINTR);
    if (sent < 0) {
        return LastError("sendto");
    }
    return static_cast<std::size_t>(sent);
}

Result<std::size_t> UdpSocket::sendThrough(std::span<const std::uint8_t> data, Ipv4 address,
                                           std::uint16_t port, unsigned interfaceIndex,
                                           Ipv4 source) {
    sockaddr_in sa = MakeAddress(address, port);
    iovec io{const_cast<std::uint8_t*>(data.data()), data.size()};

    alignas(cmsghdr) unsigned char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
    msghdr message{};
    message.msg_name = &sa;
    message.msg_namelen = sizeof sa;
    message.msg_iov = &io;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;

    cmsghdr* header = CMSG_FIRSTHDR(&message);
    header->cmsg_level = IPPROTO_IP;
    header->cmsg_type = IP_PKTINFO;
    header->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
    in_pktinfo info{};
    info.ipi_ifindex = static_cast<int>(interfaceIndex);
    info.ipi_spec_dst.s_addr = htonl(source);
    std::memcpy(CMSG_DATA(header), &info, sizeof info);

    ssize_t sent;
    do {
        sent = ::sendmsg(ToNative(m_fd), &message, MSG_NOSIGNAL);
    } while (sent < 0 && errno == EINTR);
    if (sent < 0) {
        return LastError("sendmsg");
    }
    return static_cast<std::size_t>(sent);
}

Result<ReceivedDatagram> UdpSocket::receiveFrom(std::span<std::uint8_t> buffer) {
    sockaddr_in sa{};
    iovec io{buffer.data(), buffer.size()};
    msghdr message{};
    message.msg_name = &sa;
    message.msg_namelen = sizeof sa;
    message.msg_iov = &io;
    message.msg_iovlen = 1;
    ssize_t received;
    do {
        received = ::recvmsg(ToNative(m_fd), &message, 0);
    } while (received < 0 && errno == EINTR);
    if (received < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            // Asked again and again while a transfer waits for its answer:
            // no text from the system's tables for it (short, so no memory).
            return Error{errno, "no datagram"};
        }
        return LastError("recvmsg");
    }
    ReceivedDatagram datagram;
    datagram.size = static_cast<std::size_t>(received);
    datagram.sender = ntohl(sa.sin_addr.s_addr);
    datagram.senderPort = ntohs(sa.sin_port);
    datagram.truncated = (message.msg_flags & MSG_TRUNC) != 0;
    return datagram;
}

bool UdpSocket::waitReadable(int timeoutMs) const {
    pollfd entry{ToNative(m_fd), POLLIN, 0};
    int ready;
    do {
        ready = ::poll(&entry, 1, timeoutMs);
    } while (ready < 0 && errno == EINTR);
    return ready > 0 && (entry.revents & POLLIN) != 0;
}

void UdpSocket::shutdownSend() {
    if (isOpen()) {
        ::shutdown(ToNative(m_fd), SHUT_WR);
    }
}

void UdpSocket::close() {
    if (isOpen()) {
        ::close(ToNative(m_fd));
        m_fd = kNoSocket;
    }
}

}  // namespace lanscope
