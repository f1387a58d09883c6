#pragma once

#include <functional>
#include <map>
#include <memory>
#include <span>
#include <string>

#include "common/Endpoints.h"
#include "common/Prompt.h"
#include "discovery/Datagrams.h"
#include "platform/EventLoop.h"
#include "platform/UdpSocket.h"
#include "update/UpdateProtocol.h"
#include "update/UpdateRun.h"

namespace lanscope {

// The datagram socket of update runs: requests to the module's port 20034,
// replies to the runs on the thread that runs its event loop. One run owns
// it (every reply is its own), or several share it, each attached with its
// module's address: runs at once from one port, told apart by sender (and by
// transfer id within the run).
class FerroxUpdateSocket : public UpdateTransport {
  public:
    using ReplySink = std::function<void(std::span<const std::uint8_t>)>;

    FerroxUpdateSocket(ReplySink sink, Ipv4 module, Prompt& prompt, EventLoop& loop,
                       const std::string& caption, UpdateEndpoints endpoints = {});
    // For runs that attach.
    FerroxUpdateSocket(Prompt& prompt, EventLoop& loop, const std::string& caption,
                       UpdateEndpoints endpoints = {});
    ~FerroxUpdateSocket() override;
    FerroxUpdateSocket(const FerroxUpdateSocket&) = delete;
    FerroxUpdateSocket& operator=(const FerroxUpdateSocket&) = delete;

    bool isListening() const { return m_socket.isOpen(); }
    // The message shown when the port could not be bound; empty otherwise.
    const std::string& bindError() const { return m_bindError; }
    std::uint16_t localPort() const;

    void sendRequest(std::span<const std::uint8_t> datagram) override;

    // A run's own transport on the shared socket: it sends to `module` and
    // gets the replies from there, until destroyed.
    std::unique_ptr<UpdateTransport> attach(Ipv4 module, ReplySink sink);

  private:
    class Attachment;

    void onReadable();
    void deliver(Ipv4 sender, std::span<const std::uint8_t> reply);
    void sendTo(Ipv4 module, std::span<const std::uint8_t> datagram);

    ReplySink m_sink;
    // One run per module; replies from elsewhere are no one's.
    std::map<Ipv4, std::pair<const Attachment*, ReplySink>> m_attached;
    Ipv4 m_module;
    UpdateEndpoints m_endpoints;
    UdpSocket m_socket;
    std::string m_bindError;
    std::unique_ptr<EventLoop::Registration> m_watch;
};

}  // namespace lanscope
