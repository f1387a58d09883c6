#pragma once

#include <cstddef>

#include "common/Result.h"
#include "discovery/Datagrams.h"

// What the discovery socket does for the core: the threads and the settings
// code send through these, and tests record what they would have sent.
namespace lanscope {

// Sends discovery requests; implemented by the discovery socket. The
// result is the bytes sent or why nothing went out.
class DiscoveryRequestSender {
  public:
    virtual ~DiscoveryRequestSender() = default;
    virtual Result<std::size_t> SendDiscoveryRequest() = 0;
};

// Sends configuration writes; implemented by the discovery socket.
class ConfigurationSender {
  public:
    virtual ~ConfigurationSender() = default;
    virtual Result<std::size_t> SendConfiguration(const ModuleRecord& record) = 0;
};

}  // namespace lanscope
