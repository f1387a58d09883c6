#include "platform/Broadcast.h"

#include <cerrno>
#include <set>

#include "platform/HostInterfaces.h"

namespace lanscope {

Result<std::size_t> BroadcastOnEveryInterface(UdpSocket& socket,
                                              std::span<const std::uint8_t> datagram,
                                              std::uint16_t port) {
    std::set<unsigned> done;
    Result<std::size_t> outcome = Error{ENETUNREACH, "no network interface is up"};
    bool anySent = false;
    for (const HostInterface& host : LanIpv4Interfaces()) {
        // One send per interface, from its first address.
        if (host.index == 0 || !done.insert(host.index).second) {
            continue;
        }
        auto sent = socket.sendThrough(datagram, kLimitedBroadcast, port, host.index, host.address);
        if (sent.ok() || !anySent) {
            anySent = anySent || sent.ok();
            outcome = std::move(sent);
        }
    }
    return outcome;
}

}  // namespace lanscope
