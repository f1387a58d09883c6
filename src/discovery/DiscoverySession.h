#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

#include "discovery/FerroxSocket.h"
#include "discovery/ModuleList.h"

namespace lanscope {

// A module list with the discovery socket that fills it: what the module
// list window, the module picker and the command line each run. The socket
// can be closed and opened again (the update socket needs the port in
// between); the list stays.
class DiscoverySession {
  public:
    DiscoverySession(Prompt& prompt, EventLoop& loop, FerroxEndpoints endpoints = {});
    ~DiscoverySession();

    // Creates the socket; a failed bind is reported through the prompt and
    // leaves a socket that neither receives nor sends. True when listening.
    bool open();
    // Ends sending, then closes the socket.
    void close();

    bool isOpen() const { return m_socket != nullptr; }
    bool listening() const { return m_socket && m_socket->isListening(); }
    ModuleList& list() { return m_list; }
    const ModuleList& list() const { return m_list; }
    // Null while closed.
    FerroxSocket* socket() { return m_socket.get(); }

    // One discovery request (nothing while closed).
    Result<std::size_t> request();

    // Runs the event loop until `done` holds (checked after each reply) or the
    // time is up; returns whether `done` held. Without `done`, waits the whole
    // time.
    bool waitFor(std::chrono::milliseconds time, const std::function<bool()>& done = {});

    // The row of the line whose record carries this hardware address.
    std::optional<std::size_t> findMac(const MacAddress& mac) const;

  private:
    Prompt& m_prompt;
    EventLoop& m_loop;
    FerroxEndpoints m_endpoints;
    ModuleList m_list;
    std::unique_ptr<FerroxSocket> m_socket;
};

}  // namespace lanscope
