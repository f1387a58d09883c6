#pragma once

// The system's socket headers and the few names that differ between them,
// for the socket code of this folder (not for anyone else).
#ifdef _WIN32
// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
#include <mswsock.h>
// clang-format on
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <cstdint>

#include "common/Ipv4.h"
#include "common/Result.h"
#include "platform/EventLoop.h"

namespace lanscope::socket_system {

#ifdef _WIN32
using Native = SOCKET;
using Length = int;
#else
using Native = int;
using Length = socklen_t;
#endif

inline Native ToNative(SocketHandle socket) {
    return static_cast<Native>(socket);
}

inline sockaddr_in MakeAddress(Ipv4 address, std::uint16_t port) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr.s_addr = htonl(address);
    return sa;
}

// The last socket error with the system's text for it ("what: text").
Error LastError(const char* what);

}  // namespace lanscope::socket_system
