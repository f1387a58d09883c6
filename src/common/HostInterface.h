#pragma once

#include <string>
#include <vector>

#include "common/Ipv4.h"

namespace lanscope {

// One IPv4 address of one of this computer's network interfaces, with what
// the system says about the interface.
struct HostInterface {
    std::string name;
    unsigned index = 0;
    Ipv4 address = 0;
    Ipv4 mask = 0;
    bool up = false;
    bool running = false;    // carrier: a cable, a member port, an open tunnel
    bool broadcast = false;  // can send link-layer broadcasts
    bool loopback = false;
    bool noArp = false;  // no address resolution: dummies and some tunnels
};

// The entries of `all` on a LAN segment that modules can be on: up, with a
// carrier, broadcast-capable and resolving addresses, other than loopback.
// Point-to-point tunnels and VPNs, unplugged adapters and bridges without
// members are left out: discovery and configuration writes (which carry a
// module's whole record) must not go there, and automatic address selection
// must not count their addresses. Order is kept.
std::vector<HostInterface> LanInterfaces(const std::vector<HostInterface>& all);

// Why LanInterfaces leaves an interface out ("down", "no carrier", ...);
// empty when it keeps it.
std::string SkipReason(const HostInterface& host);

}  // namespace lanscope
