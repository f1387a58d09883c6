#include "platform/HostInterfaces.h"

namespace lanscope {

std::vector<HostInterface> LanIpv4Interfaces() {
    return LanInterfaces(AllIpv4Interfaces());
}

std::vector<Ipv4> HostIpv4Addresses() {
    std::vector<Ipv4> addresses;
    for (const HostInterface& host : LanIpv4Interfaces()) {
        addresses.push_back(host.address);
    }
    return addresses;
}

}  // namespace lanscope
