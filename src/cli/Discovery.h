#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

#include "discovery/FerroxSocket.h"
#include "discovery/ModuleList.h"

namespace lanscope::cli {

// A discovery socket with its own module list, driven by a local event loop:
// what the list window does, for programs without one.
class DiscoverySession {
  public:
    explicit DiscoverySession(Prompt& prompt, FerroxEndpoints endpoints = {});

    bool listening() const { return m_socket->isListening(); }
    ModuleList& list() { return m_list; }
    FerroxSocket& socket() { return *m_socket; }

    Result<std::size_t> request() { return m_socket->SendDiscoveryRequest(); }

    // Handles replies until `done` holds (checked after each reply) or the time
    // is up; returns whether `done` held. Without `done`, waits the whole time.
    bool waitFor(std::chrono::milliseconds time, const std::function<bool()>& done = {});

    // The row of the line whose record carries this hardware address.
    std::optional<std::size_t> findMac(const MacAddress& mac) const;

  private:
    ModuleList m_list;
    std::unique_ptr<FerroxSocket> m_socket;
};

}  // namespace lanscope::cli
