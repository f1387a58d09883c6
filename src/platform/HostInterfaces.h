#pragma once

#include <string>
#include <vector>

#include "common/HostInterface.h"

namespace lanscope {

// Every IPv4 address of this computer's interfaces, one entry per address,
// in the order the system lists them.
std::vector<HostInterface> AllIpv4Interfaces();

// The entries of AllIpv4Interfaces() on a LAN segment (LanInterfaces).
std::vector<HostInterface> LanIpv4Interfaces();

// Just the addresses of LanIpv4Interfaces(). (Resolving the host name would
// give a loopback address on many Linux systems, which says nothing about the
// networks the modules are on.)
std::vector<Ipv4> HostIpv4Addresses();

// The computer's name as the system gives it; empty when unknown.
std::string ComputerName();

}  // namespace lanscope
