#include "platform/PortListener.h"

namespace lanscope {

// Windows keeps raw sockets from hearing UDP meant for other programs: there
// is nothing to listen with.
PortListener::~PortListener() = default;

Result<PortListener> PortListener::open(std::uint16_t) {
    return Error{0, "not possible on Windows"};
}

std::optional<ReceivedDatagram> PortListener::receive(std::span<std::uint8_t>) {
    return std::nullopt;
}

}  // namespace lanscope
