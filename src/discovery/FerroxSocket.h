#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>

#include "common/Endpoints.h"
#include "common/Prompt.h"
#include "common/Result.h"
#include "discovery/Datagrams.h"
#include "discovery/ModuleList.h"
#include "discovery/Senders.h"
#include "discovery/Thread.h"
#include "platform/EventLoop.h"
#include "platform/UdpSocket.h"

namespace lanscope {

// The discovery and configuration endpoint: bound to UDP 20034 with the
// broadcast option, it sends discovery requests and configuration writes and
// adds every reply to its owner list, on the thread that runs its event
// loop.
//
// Broadcasts leave through every up IPv4 interface, each pinned to its
// interface: a plain send to 255.255.255.255 follows the default route only
// (and fails without one), which would miss a directly cabled module or the
// modules behind a second adapter.
class FerroxSocket : public DiscoveryRequestSender, public ConfigurationSender {
  public:
    FerroxSocket(ModuleList& owner, Prompt& prompt, EventLoop& loop,
                 FerroxEndpoints endpoints = {});
    ~FerroxSocket() override;
    FerroxSocket(const FerroxSocket&) = delete;
    FerroxSocket& operator=(const FerroxSocket&) = delete;

    // False when creating or binding failed: the object then receives nothing
    // and sends nothing.
    bool isListening() const { return m_socket.isOpen(); }
    std::uint16_t localPort() const;

    // Callable from any thread.
    Result<std::size_t> SendDiscoveryRequest() override;
    Result<std::size_t> SendConfiguration(const ModuleRecord& record) override;

    // Ends sending for good (before the thread that sends is stopped).
    void ShutdownSend();

    // Called after each datagram handed to the owner list.
    std::function<void(AddReplyOutcome)> replyHandled;

  private:
    void onReadable();
    Result<std::size_t> send(std::span<const std::uint8_t> datagram);

    ModuleList& m_owner;
    FerroxEndpoints m_endpoints;
    UdpSocket m_socket;
    std::unique_ptr<EventLoop::Registration> m_watch;
    std::atomic<bool> m_sendShutDown{false};
};

}  // namespace lanscope
