#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <utility>

#include "common/Result.h"
#include "platform/EventLoop.h"
#include "platform/UdpSocket.h"

namespace lanscope {

// Copies of the UDP datagrams that arrive for a port, heard beside the
// program that holds it: a raw socket (Linux, with the right to open one,
// root's). For a diagnosis only; nothing is sent through it.
class PortListener {
  public:
    PortListener() = default;
    ~PortListener();
    PortListener(PortListener&& other) noexcept
        : m_handle(std::exchange(other.m_handle, kNoSocket)), m_port(other.m_port) {}
    PortListener& operator=(PortListener&& other) noexcept {
        std::swap(m_handle, other.m_handle);
        std::swap(m_port, other.m_port);
        return *this;
    }
    PortListener(const PortListener&) = delete;
    PortListener& operator=(const PortListener&) = delete;

    static Result<PortListener> open(std::uint16_t port);

    SocketHandle handle() const { return m_handle; }
    // The next datagram for the port, its payload in `buffer` (cut to it);
    // nothing when none is waiting.
    std::optional<ReceivedDatagram> receive(std::span<std::uint8_t> buffer);

  private:
    SocketHandle m_handle = kNoSocket;
    std::uint16_t m_port = 0;
};

}  // namespace lanscope
