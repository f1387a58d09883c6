#include "platform/HostInterfaces.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <unistd.h>

#include <array>

namespace lanscope {

std::vector<HostInterface> AllIpv4Interfaces() {
    std::vector<HostInterface> result;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) {
        return result;
    }
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET) {
            continue;
        }
        HostInterface host;
        host.name = entry->ifa_name;
        host.index = if_nametoindex(entry->ifa_name);
        host.address =
            ntohl(reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr.s_addr);
        if (entry->ifa_netmask != nullptr) {
            host.mask =
                ntohl(reinterpret_cast<const sockaddr_in*>(entry->ifa_netmask)->sin_addr.s_addr);
        }
        host.up = (entry->ifa_flags & IFF_UP) != 0;
        host.running = (entry->ifa_flags & IFF_RUNNING) != 0;
        host.broadcast = (entry->ifa_flags & IFF_BROADCAST) != 0;
        host.loopback = (entry->ifa_flags & IFF_LOOPBACK) != 0;
        host.noArp = (entry->ifa_flags & IFF_NOARP) != 0;
        result.push_back(std::move(host));
    }
    freeifaddrs(list);
    return result;
}

std::string ComputerName() {
    std::array<char, 256> name{};
    if (::gethostname(name.data(), name.size() - 1) != 0) {
        return {};
    }
    return name.data();
}

}  // namespace lanscope
