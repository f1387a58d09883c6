#pragma once

#include <cstdint>
#include <span>

#include "common/Result.h"
#include "platform/UdpSocket.h"

namespace lanscope {

// Sends one datagram to 255.255.255.255:port once through every LAN interface
// (LanIpv4Interfaces), each send pinned to its interface. A plain send to
// the limited broadcast address leaves only through the default route's
// interface (and fails without a default route), which misses directly cabled
// modules and the segments behind other adapters. Succeeds when at least one
// interface carried it.
Result<std::size_t> BroadcastOnEveryInterface(UdpSocket& socket,
                                              std::span<const std::uint8_t> datagram,
                                              std::uint16_t port);

}  // namespace lanscope
