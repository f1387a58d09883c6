#include "common/HostInterface.h"

namespace lanscope {

std::vector<HostInterface> LanInterfaces(const std::vector<HostInterface>& all) {
    std::vector<HostInterface> lan;
    for (const HostInterface& host : all) {
        if (host.up && host.running && host.broadcast && !host.loopback && !host.noArp) {
            lan.push_back(host);
        }
    }
    return lan;
}

}  // namespace lanscope
