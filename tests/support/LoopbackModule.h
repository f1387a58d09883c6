#pragma once

#include <array>
#include <memory>

#include "SimModule.h"
#include "platform/EventLoop.h"
#include "platform/UdpSocket.h"

namespace lanscope::test {

// A simulated module on 127.0.0.1 that answers the sender directly, driven by
// the test's event loop.
class LoopbackModule {
  public:
    LoopbackModule(sim::ModuleIdentity identity, EventLoop& loop) : m_module(std::move(identity)) {
        m_socket = std::move(UdpSocket::open().value());
        (void)m_socket.bind(kLoopback, 0);
        m_watch = loop.watchReadable(m_socket.handle(), [this] { onReadable(); });
    }

    std::uint16_t port() const { return m_socket.localPort().value(); }
    const sim::SimModule& module() const { return m_module; }
    int requests() const { return m_requests; }

  private:
    void onReadable() {
        std::array<std::uint8_t, 2048> buffer;
        for (;;) {
            auto received = m_socket.receiveFrom(buffer);
            if (!received) {
                return;
            }
            ++m_requests;
            auto reaction = m_module.handle(std::span(buffer.data(), received->size));
            if (reaction.reply) {
                (void)m_socket.sendTo(*reaction.reply, received->sender, received->senderPort);
            }
        }
    }

    sim::SimModule m_module;
    UdpSocket m_socket;
    std::unique_ptr<EventLoop::Registration> m_watch;
    int m_requests = 0;
};

}  // namespace lanscope::test
