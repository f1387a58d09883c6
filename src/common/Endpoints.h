#pragma once

#include <cstdint>

#include "common/Ipv4.h"

namespace lanscope {

// The module's UDP port, for discovery, configuration and updates alike.
inline constexpr std::uint16_t kFerroxPort = 20034;

// Where the discovery socket listens and sends. The program always uses the
// defaults; tests on loopback use ephemeral ports.
struct FerroxEndpoints {
    Ipv4 bindAddress = 0;
    std::uint16_t bindPort = kFerroxPort;
    Ipv4 destination = kLimitedBroadcast;
    std::uint16_t destinationPort = kFerroxPort;
};

// Where the update socket listens and sends; the program always uses port
// 20034 at both ends, tests on loopback use ephemeral ports.
struct UpdateEndpoints {
    Ipv4 bindAddress = 0;
    std::uint16_t bindPort = kFerroxPort;
    std::uint16_t modulePort = kFerroxPort;
};

}  // namespace lanscope
