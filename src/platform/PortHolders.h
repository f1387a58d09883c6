#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace lanscope {

// A process that has a UDP port of this computer bound.
struct PortHolder {
    long pid = 0;
    std::string program;
};

// The processes holding the UDP port, as far as the system tells this user
// (on Linux the sockets of other users' processes show to root only). In
// this network namespace only.
std::vector<PortHolder> UdpPortHolders(std::uint16_t port);

}  // namespace lanscope
