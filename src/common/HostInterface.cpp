#include "common/HostInterface.h"

namespace lanscope {

std::string SkipReason(const HostInterface& host) {
    if (host.loopback) {
        return "loopback";
    }
    if (!host.up) {
        return "down";
    }
    if (!host.running) {
        return "no carrier";
    }
    if (!host.broadcast) {
        return "not broadcast-capable";
    }
    if (host.noArp) {
        return "no address resolution (a dummy or tunnel)";
    }
    return {};
}

std::vector<HostInterface> LanInterfaces(const std::vector<HostInterface>& all) {
    std::vector<HostInterface> lan;
    for (const HostInterface& host : all) {
        if (SkipReason(host).empty()) {
            lan.push_back(host);
        }
    }
    return lan;
}

}  // namespace lanscope
