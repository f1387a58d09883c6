#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>

#include "common/Ipv4.h"
#include "common/Result.h"
#include "platform/EventLoop.h"

namespace lanscope {

struct ReceivedDatagram {
    std::size_t size = 0;
    Ipv4 sender = 0;
    std::uint16_t senderPort = 0;
    bool truncated = false;  // longer than the buffer; the rest is lost
};

// An IPv4 datagram socket: non-blocking, closed with the object. Sends may
// come from any thread; receiving belongs to one.
class UdpSocket {
  public:
    UdpSocket() = default;
    ~UdpSocket();
    UdpSocket(const UdpSocket&) = delete;
    UdpSocket& operator=(const UdpSocket&) = delete;
    UdpSocket(UdpSocket&& other) noexcept;
    UdpSocket& operator=(UdpSocket&& other) noexcept;

    static Result<UdpSocket> open();
    // Opened and bound (with the broadcast option when asked): the error is
    // the first step that failed.
    static Result<UdpSocket> openBound(Ipv4 address, std::uint16_t port, bool broadcast);

    bool isOpen() const { return m_fd != kNoSocket; }
    SocketHandle handle() const { return m_fd; }

    Result<void> bind(Ipv4 address, std::uint16_t port);
    Result<void> setBroadcast(bool enabled);
    // Lets the socket share its port with others that allow it (for a
    // diagnosis beside a running program; POSIX systems only).
    Result<void> setReuseAddress(bool enabled);
    Result<std::uint16_t> localPort() const;
    // Asks for a receive buffer of this size; the system may grant less.
    void setReceiveBuffer(int bytes);

    Result<std::size_t> sendTo(std::span<const std::uint8_t> data, Ipv4 address,
                               std::uint16_t port);
    // Sends through one interface whatever the routing table says, with the
    // given source address: a broadcast then reaches the segment behind that
    // interface even on a host with no default route.
    Result<std::size_t> sendThrough(std::span<const std::uint8_t> data, Ipv4 address,
                                    std::uint16_t port, unsigned interfaceIndex, Ipv4 source);

    // An error for which IsWouldBlock holds means nothing is waiting. A
    // datagram longer than the buffer comes back truncated (its rest is lost).
    Result<ReceivedDatagram> receiveFrom(std::span<std::uint8_t> buffer);

    // Waits up to `timeoutMs` for a datagram to read; true when one is there.
    bool waitReadable(int timeoutMs) const;
    // receiveFrom, but waits for a datagram: first by trying again without
    // sleeping for `spin` (an answer expected within microseconds is taken
    // without a sleep and wake-up, and without a second call to look first),
    // then by sleeping up to `timeoutMs`. IsWouldBlock when none came.
    Result<ReceivedDatagram> receiveWithin(std::span<std::uint8_t> buffer,
                                           std::chrono::microseconds spin, int timeoutMs);

    void shutdownSend();
    void close();

  private:
    explicit UdpSocket(SocketHandle fd) : m_fd(fd) {}
    SocketHandle m_fd = kNoSocket;
};

// The error codes are the system's own: errno values, or Winsock's (10048
// for a port in use) on Windows.
bool IsWouldBlock(const Error& error);

}  // namespace lanscope
