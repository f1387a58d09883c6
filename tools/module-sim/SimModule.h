#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "discovery/Datagrams.h"

namespace lanscope::sim {

struct ModuleIdentity {
    MacAddress mac{0x02, 0x4C, 0x53, 0x00, 0x00, 0x01};
    std::string name = "LAN Module";
    std::string name2 = "Simulated module";
    Ipv4 address = 0;  // the configured address; 0 while the module uses DHCP
    Ipv4 mask = 0xFFFFFF00u;
    Ipv4 gateway = 0;
    Ipv4 dns = 0;
};

// A change of network settings that a configuration write made.
struct NetworkChange {
    Ipv4 oldAddress = 0;
    Ipv4 newAddress = 0;  // 0: the module now uses DHCP
    Ipv4 newMask = 0;
};

// What the module does with one datagram.
struct Reaction {
    std::optional<std::vector<std::uint8_t>> reply;
    std::optional<NetworkChange> change;
    std::string log;  // a line for --verbose
};

// The protocol side of a simulated module, without sockets, so the answers it
// gives can be checked byte for byte.
class SimModule {
  public:
    explicit SimModule(ModuleIdentity identity);

    const ModuleRecord& record() const { return m_record; }
    const ModuleIdentity& identity() const { return m_identity; }

    // The reply to a discovery request, in the modules' layout.
    std::vector<std::uint8_t> buildReply() const;

    Reaction handle(std::span<const std::uint8_t> datagram);

    // Bytes the module keeps in the fields the workstation does not interpret;
    // a configuration write must bring them back unchanged.
    static void FillOpaqueFields(ModuleRecord& record);

  private:
    Reaction applyConfiguration(std::span<const std::uint8_t> datagram);

    ModuleIdentity m_identity;
    ModuleRecord m_record;
};

}  // namespace lanscope::sim
