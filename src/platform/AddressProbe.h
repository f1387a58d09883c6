#pragma once

#include <chrono>
#include <cstdint>

#include "common/Ipv4.h"

namespace lanscope {

// Whether some device on a directly attached network already has `address`:
// it answered the system's address resolution, or refused a datagram to
// `port` (the module's own, so a module takes the datagram for nothing). A
// device that hides from both is not found. Waits `wait` at most. In this
// network namespace only; sends one empty datagram to the address.
bool AddressAnswers(Ipv4 address, std::uint16_t port, std::chrono::milliseconds wait);

}  // namespace lanscope
