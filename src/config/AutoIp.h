#pragma once

#include <vector>

#include "common/Ipv4.h"
#include "common/Prompt.h"
#include "discovery/Datagrams.h"

namespace lanscope {

// Sends configuration writes; implemented by the discovery socket.
class ConfigurationSender {
  public:
    virtual ~ConfigurationSender() = default;
    virtual void sendConfiguration(const ModuleRecord& record) = 0;
};

// The address a directly cabled module gets beside this computer's a.b.c.d:
// a.b.c.(d+10), or a.b.c.(d-10) where d+10 would reach 255.
Ipv4 AutoIpAddressFor(Ipv4 host);
inline constexpr Ipv4 kAutoIpMask = 0xFFFF0000u;

// Gives the module a static address in this computer's subnet when this
// computer has exactly one address and the user agrees; true when new
// settings were sent. `connectedDirectly` chooses the question.
bool AutoIpUpdate(ModuleRecord& record, const std::vector<Ipv4>& hostAddresses, Prompt& prompt,
                  ConfigurationSender& sender, bool connectedDirectly);

// The settings a network settings window shows for a record: for a module in
// DHCP mode (address 0.0.0.0) all four are 0.0.0.0.
struct NetworkSettings {
    Ipv4 address = 0;
    Ipv4 mask = 0;
    Ipv4 gateway = 0;
    Ipv4 dns = 0;
    bool operator==(const NetworkSettings&) const = default;
};
NetworkSettings LoadedSettings(const ModuleRecord& record);

// Writes the four settings into the record in place and sends it whole.
void WriteSettings(ModuleRecord& record, const NetworkSettings& settings,
                   ConfigurationSender& sender);

}  // namespace lanscope
