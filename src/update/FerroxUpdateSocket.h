#pragma once

#include <functional>
#include <memory>
#include <span>

#include "common/Prompt.h"
#include "platform/EventLoop.h"
#include "platform/UdpSocket.h"
#include "update/UpdateProtocol.h"
#include "update/UpdateRun.h"

namespace lanscope {

// Where the update socket listens and sends; the program always uses port
// 20034 at both ends, tests on loopback use ephemeral ports.
struct UpdateEndpoints {
    Ipv4 bindAddress = 0;
    std::uint16_t bindPort = 20034;
    std::uint16_t modulePort = 20034;
};

// The datagram socket of one update run: requests to the module's port
// 20034, every reply to the run on the thread that runs its event loop.
class FerroxUpdateSocket : public UpdateTransport {
  public:
    using ReplySink = std::function<void(std::span<const std::uint8_t>)>;

    FerroxUpdateSocket(ReplySink sink, Ipv4 module, Prompt& prompt, EventLoop& loop,
                       const std::string& caption, UpdateEndpoints endpoints = {});
    ~FerroxUpdateSocket() override;
    FerroxUpdateSocket(const FerroxUpdateSocket&) = delete;
    FerroxUpdateSocket& operator=(const FerroxUpdateSocket&) = delete;

    bool isListening() const { return m_socket.isOpen(); }
    std::uint16_t localPort() const;

    void sendRequest(std::span<const std::uint8_t> datagram) override;

  private:
    void onReadable();

    ReplySink m_sink;
    Ipv4 m_module;
    UpdateEndpoints m_endpoints;
    UdpSocket m_socket;
    std::unique_ptr<EventLoop::Registration> m_watch;
};

}  // namespace lanscope
