#pragma once

#include "discovery/Datagrams.h"

// What the discovery socket does for the core: the threads and the settings
// code send through these, and tests record what they would have sent.
namespace lanscope {

// Sends discovery requests; implemented by the discovery socket.
class DiscoveryRequestSender {
  public:
    virtual ~DiscoveryRequestSender() = default;
    virtual void sendDiscoveryRequest() = 0;
};

// Sends configuration writes; implemented by the discovery socket.
class ConfigurationSender {
  public:
    virtual ~ConfigurationSender() = default;
    virtual void sendConfiguration(const ModuleRecord& record) = 0;
};

}  // namespace lanscope
