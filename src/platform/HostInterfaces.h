#pragma once

#include <string>
#include <vector>

#include "common/Ipv4.h"

namespace lanscope {

struct HostInterface {
    std::string name;
    unsigned index = 0;
    Ipv4 address = 0;
    Ipv4 mask = 0;
};

// The IPv4 addresses of this computer's interfaces that are up, other than
// loopback, one entry per address, in the order the system lists them.
// (Resolving the host name would give a loopback address on many Linux
// systems, which says nothing about the networks the modules are on.)
std::vector<HostInterface> UpIpv4Interfaces();

// Just the addresses of UpIpv4Interfaces().
std::vector<Ipv4> HostIpv4Addresses();

}  // namespace lanscope
