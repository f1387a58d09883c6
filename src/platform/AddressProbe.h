#pragma once

#include <chrono>

#include "common/Ipv4.h"

namespace lanscope {

// Whether some device on a directly attached network already has `address`:
// it answered the system's address resolution, or refused a datagram to it.
// A device that hides from both is not found. Waits `wait` at most. In this
// network namespace only; sends one empty datagram to the address, which a
// module takes for nothing.
bool AddressAnswers(Ipv4 address, std::chrono::milliseconds wait);

}  // namespace lanscope
