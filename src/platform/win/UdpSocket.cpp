#include <cstring>
#include <string>

#include "platform/SocketSystem.h"
#include "platform/UdpSocket.h"

#ifndef SIO_UDP_CONNRESET
#define SIO_UDP_CONNRESET _WSAIOW(IOC_VENDOR, 12)
#endif

namespace lanscope {

using namespace socket_system;

namespace {

// Winsock is started once for the process and never cleaned up: sockets may
// live until the program ends.
bool StartWinsock() {
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

}  // namespace

// The system's text for a Winsock code (the C++ library knows only errno's).
Error socket_system::LastError(const char* what) {
    const int code = WSAGetLastError();
    char text[256] = {};
    const DWORD length =
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                       static_cast<DWORD>(code), 0, text, sizeof text, nullptr);
    std::string message(text, length);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) {
        message.pop_back();
    }
    if (message.empty()) {
        message = "error " + std::to_string(code);
    }
    return Error{code, std::string(what) + ": " + message};
}

bool IsWouldBlock(const Error& error) {
    return error.code == WSAEWOULDBLOCK;
}

Result<UdpSocket> UdpSocket::open() {
    if (!StartWinsock()) {
        return LastError("WSAStartup");
    }
    SOCKET s = WSASocketW(AF_INET, SOCK_DGRAM, IPPROTO_UDP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
    if (s == INVALID_SOCKET) {
        return LastError("socket");
    }
    UdpSocket socket(static_cast<SocketHandle>(s));
    u_long nonBlocking = 1;
    if (ioctlsocket(s, FIONBIO, &nonBlocking) != 0) {
        return LastError("ioctlsocket(FIONBIO)");
    }
    // Without this, an ICMP "port unreachable" for an earlier send makes the
    // next receive fail with WSAECONNRESET, which a datagram socket has no
    // use for. Advice only: failure changes nothing else.
    BOOL reportReset = FALSE;
    DWORD returned = 0;
    WSAIoctl(s, SIO_UDP_CONNRESET, &reportReset, sizeof reportReset, nullptr, 0, &returned, nullptr,
             nullptr);
    return socket;
}

Result<void> UdpSocket::setBroadcast(bool enabled) {
    const BOOL value = enabled ? TRUE : FALSE;
    if (::setsockopt(ToNative(m_fd), SOL_SOCKET, SO_BROADCAST,
                     reinterpret_cast<const char*>(&value), sizeof value) != 0) {
        return LastError("setsockopt(SO_BROADCAST)");
    }
    return {};
}

Result<void> UdpSocket::setReuseAddress(bool) {
    // On Windows the option lets a socket take over a port another program
    // holds: never for us.
    return Error{WSAEOPNOTSUPP, "SO_REUSEADDR is not used on Windows"};
}

void UdpSocket::setReceiveBuffer(int bytes) {
    ::setsockopt(ToNative(m_fd), SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&bytes),
                 sizeof bytes);
}

Result<std::size_t> UdpSocket::sendTo(std::span<const std::uint8_t> data, Ipv4 address,
                                      std::uint16_t port) {
    const sockaddr_in sa = MakeAddress(address, port);
    const int sent = ::sendto(ToNative(m_fd), reinterpret_cast<const char*>(data.data()),
                              static_cast<int>(data.size()), 0,
                              reinterpret_cast<const sockaddr*>(&sa), sizeof sa);
    if (sent == SOCKET_ERROR) {
        return LastError("sendto");
    }
    return static_cast<std::size_t>(sent);
}

Result<std::size_t> UdpSocket::sendThrough(std::span<const std::uint8_t> data, Ipv4 address,
                                           std::uint16_t port, unsigned interfaceIndex,
                                           Ipv4 source) {
    sockaddr_in sa = MakeAddress(address, port);
    WSABUF buffer{static_cast<ULONG>(data.size()),
                  reinterpret_cast<char*>(const_cast<std::uint8_t*>(data.data()))};

    alignas(WSACMSGHDR) char control[WSA_CMSG_SPACE(sizeof(IN_PKTINFO))] = {};
    WSAMSG message{};
    message.name = reinterpret_cast<sockaddr*>(&sa);
    message.namelen = sizeof sa;
    message.lpBuffers = &buffer;
    message.dwBufferCount = 1;
    message.Control.buf = control;
    message.Control.len = sizeof control;

    WSACMSGHDR* header = WSA_CMSG_FIRSTHDR(&message);
    header->cmsg_level = IPPROTO_IP;
    header->cmsg_type = IP_PKTINFO;
    header->cmsg_len = WSA_CMSG_LEN(sizeof(IN_PKTINFO));
    IN_PKTINFO info{};
    info.ipi_addr.s_addr = htonl(source);
    info.ipi_ifindex = interfaceIndex;
    std::memcpy(WSA_CMSG_DATA(header), &info, sizeof info);

    DWORD sent = 0;
    if (WSASendMsg(ToNative(m_fd), &message, 0, &sent, nullptr, nullptr) != SOCKET_ERROR) {
        return static_cast<std::size_t>(sent);
    }
    Error pinned = LastError("WSASendMsg");
    // Not every socket layer takes the interface from the control data (wine
    // does not, and routes by the table). A socket bound to the interface's
    // address sends a limited broadcast out of that interface on Windows and
    // on the systems wine runs on; its replies come back to port 20034 all
    // the same, as modules answer by broadcast.
    if (auto bound = UdpSocket::openBound(source, 0, true)) {
        if (auto resent = bound->sendTo(data, address, port)) {
            return resent;
        }
    }
    return pinned;
}

Result<ReceivedDatagram> UdpSocket::receiveFrom(std::span<std::uint8_t> buffer) {
    sockaddr_in sa{};
    int length = sizeof sa;
    const int received =
        ::recvfrom(ToNative(m_fd), reinterpret_cast<char*>(buffer.data()),
                   static_cast<int>(buffer.size()), 0, reinterpret_cast<sockaddr*>(&sa), &length);
    ReceivedDatagram datagram;
    if (received == SOCKET_ERROR) {
        // Windows reports a datagram longer than the buffer as an error, with
        // the buffer filled and the rest lost.
        const int code = WSAGetLastError();
        if (code == WSAEWOULDBLOCK) {
            // Asked again and again while a transfer waits for its answer:
            // no text from the system's tables for it.
            return Error{code, "no datagram"};
        }
        if (code != WSAEMSGSIZE) {
            return LastError("recvfrom");
        }
        datagram.size = buffer.size();
        datagram.truncated = true;
    } else {
        datagram.size = static_cast<std::size_t>(received);
    }
    datagram.sender = ntohl(sa.sin_addr.s_addr);
    datagram.senderPort = ntohs(sa.sin_port);
    return datagram;
}

bool UdpSocket::waitReadable(int timeoutMs) const {
    WSAPOLLFD entry{};
    entry.fd = ToNative(m_fd);
    entry.events = POLLRDNORM;
    const int ready = WSAPoll(&entry, 1, timeoutMs);
    return ready > 0 && (entry.revents & POLLRDNORM) != 0;
}

void UdpSocket::shutdownSend() {
    if (isOpen()) {
        ::shutdown(ToNative(m_fd), SD_SEND);
    }
}

void UdpSocket::close() {
    if (isOpen()) {
        ::closesocket(ToNative(m_fd));
        m_fd = kNoSocket;
    }
}

}  // namespace lanscope
