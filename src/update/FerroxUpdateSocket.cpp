#include "update/FerroxUpdateSocket.h"

#include <array>
#include <chrono>

#include "update/Messages.h"

namespace lanscope {

FerroxUpdateSocket::FerroxUpdateSocket(ReplySink sink, Ipv4 module, Prompt& prompt, EventLoop& loop,
                                       const std::string& caption, UpdateEndpoints endpoints)
    : FerroxUpdateSocket(prompt, loop, caption, endpoints) {
    m_sink = std::move(sink);
    m_module = module;
}

FerroxUpdateSocket::FerroxUpdateSocket(Prompt& prompt, EventLoop& loop, const std::string& caption,
                                       UpdateEndpoints endpoints)
    : m_endpoints(endpoints) {
    auto socket =
        UdpSocket::openBound(m_endpoints.bindAddress, m_endpoints.bindPort, /*broadcast=*/false);
    if (!socket) {
        // The runs go on and end by their time-out, as nothing will answer.
        m_bindError = messages::UpdateBindErrorText(static_cast<long>(socket.error().code), 0);
        prompt.message(m_bindError, caption, PromptIcon::Exclamation);
        return;
    }
    m_socket = std::move(socket.value());
    m_watch = loop.watchReadable(m_socket.handle(), [this] { onReadable(); });
}

FerroxUpdateSocket::~FerroxUpdateSocket() {
    m_watch.reset();
    m_socket.close();
}

std::uint16_t FerroxUpdateSocket::localPort() const {
    auto port = m_socket.localPort();
    return port ? *port : 0;
}

class FerroxUpdateSocket::Attachment : public UpdateTransport {
  public:
    Attachment(FerroxUpdateSocket& socket, Ipv4 module) : m_socket(socket), m_module(module) {}
    ~Attachment() override {
        // Only its own route: a later run for the module may have its own.
        const auto route = m_socket.m_attached.find(m_module);
        if (route != m_socket.m_attached.end() && route->second.first == this) {
            m_socket.m_attached.erase(route);
        }
    }
    void sendRequest(std::span<const std::uint8_t> datagram) override {
        m_socket.sendTo(m_module, datagram);
    }

  private:
    FerroxUpdateSocket& m_socket;
    Ipv4 m_module;
};

std::unique_ptr<UpdateTransport> FerroxUpdateSocket::attach(Ipv4 module, ReplySink sink) {
    auto attachment = std::make_unique<Attachment>(*this, module);
    m_attached[module] = {attachment.get(), std::move(sink)};
    return attachment;
}

void FerroxUpdateSocket::sendRequest(std::span<const std::uint8_t> datagram) {
    sendTo(m_module, datagram);
}

void FerroxUpdateSocket::sendTo(Ipv4 module, std::span<const std::uint8_t> datagram) {
    if (m_socket.isOpen()) {
        (void)m_socket.sendTo(datagram, module, m_endpoints.modulePort);
    }
}

void FerroxUpdateSocket::deliver(Ipv4 sender, std::span<const std::uint8_t> reply) {
    if (m_sink) {
        m_sink(reply);
        return;
    }
    const auto route = m_attached.find(sender);
    if (route != m_attached.end()) {
        // A copy: the run may end, and detach, while it handles the reply.
        const ReplySink sink = route->second.second;
        sink(reply);
    }
}

void FerroxUpdateSocket::onReadable() {
    // Each reply makes the run send the next request, whose reply is usually
    // back within microseconds: waiting for it here, briefly, spares a trip
    // through the event loop per chunk. A bounded number per turn keeps the
    // window answering (Cancel) while a transfer runs. Runs that share the
    // socket do not wait: the replies of the others keep it busy, and a
    // spin would take the time their modules' answers need.
    constexpr int kRepliesPerTurn = 64;
    constexpr int kWaitForNextMs = 2;
    constexpr auto kSpinForNext = std::chrono::microseconds(300);
    std::array<std::uint8_t, 1024> buffer;
    const bool shared = !m_sink;
    int handled = 0;
    for (int turn = 0; turn < 4 * kRepliesPerTurn && m_socket.isOpen(); ++turn) {
        const bool spin = handled > 0 && handled < kRepliesPerTurn && !shared;
        auto received = spin ? m_socket.receiveWithin(buffer, kSpinForNext, kWaitForNextMs)
                             : m_socket.receiveFrom(buffer);
        if (!received) {
            if (!IsWouldBlock(received.error())) {
                continue;
            }
            return;
        }
        if (received->size == 0 || received->truncated) {
            continue;
        }
        ++handled;
        deliver(received->sender, std::span<const std::uint8_t>(buffer.data(), received->size));
    }
}

}  // namespace lanscope
