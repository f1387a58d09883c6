#include "platform/HostInterfaces.h"

// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>
// clang-format on

#include <array>
#include <vector>

namespace lanscope {

namespace {

// Windows has no interface flags like IFF_BROADCAST: the kind of adapter
// tells. Point-to-point links (PPP, tunnels such as most VPNs) carry no
// broadcasts and resolve no addresses.
bool IsPointToPoint(IFTYPE type) {
    return type == IF_TYPE_PPP || type == IF_TYPE_TUNNEL;
}

Ipv4 MaskOfPrefix(unsigned length) {
    return length == 0 ? 0 : length >= 32 ? 0xFFFFFFFFu : ~((Ipv4{1} << (32 - length)) - 1);
}

}  // namespace

std::vector<HostInterface> AllIpv4Interfaces() {
    std::vector<HostInterface> result;
    const ULONG flags = GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER;
    // The list may grow between asking its size and reading it: a few tries.
    ULONG size = 16 * 1024;
    std::vector<unsigned char> buffer;
    ULONG rc = ERROR_BUFFER_OVERFLOW;
    for (int attempt = 0; attempt < 4 && rc == ERROR_BUFFER_OVERFLOW; ++attempt) {
        buffer.resize(size);
        rc = GetAdaptersAddresses(AF_INET, flags, nullptr,
                                  reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &size);
    }
    if (rc != NO_ERROR) {
        return result;
    }
    for (auto* adapter = reinterpret_cast<const IP_ADAPTER_ADDRESSES*>(buffer.data());
         adapter != nullptr; adapter = adapter->Next) {
        for (const IP_ADAPTER_UNICAST_ADDRESS* unicast = adapter->FirstUnicastAddress;
             unicast != nullptr; unicast = unicast->Next) {
            const sockaddr* address = unicast->Address.lpSockaddr;
            if (address == nullptr || address->sa_family != AF_INET) {
                continue;
            }
            HostInterface host;
            // The adapter's name (a GUID on Windows): what the system calls it.
            host.name = adapter->AdapterName != nullptr ? adapter->AdapterName : "";
            host.index = adapter->IfIndex;
            host.address = ntohl(reinterpret_cast<const sockaddr_in*>(address)->sin_addr.s_addr);
            host.mask = MaskOfPrefix(unicast->OnLinkPrefixLength);
            // Up with a link: Windows reports an adapter without carrier as
            // down (IfOperStatusDown) or dormant, never as up.
            host.up = adapter->OperStatus == IfOperStatusUp;
            host.running = host.up;
            host.loopback = adapter->IfType == IF_TYPE_SOFTWARE_LOOPBACK;
            host.broadcast = !host.loopback && !IsPointToPoint(adapter->IfType);
            host.noArp = IsPointToPoint(adapter->IfType);
            result.push_back(std::move(host));
        }
    }
    return result;
}

std::string ComputerName() {
    std::array<wchar_t, 256> name{};
    DWORD size = static_cast<DWORD>(name.size());
    if (!GetComputerNameExW(ComputerNameDnsHostname, name.data(), &size) &&
        !GetComputerNameW(name.data(), &(size = static_cast<DWORD>(name.size())))) {
        return {};
    }
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, name.data(), static_cast<int>(size), nullptr,
                                          0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(bytes > 0 ? bytes : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, name.data(), static_cast<int>(size), utf8.data(), bytes,
                        nullptr, nullptr);
    return utf8;
}

}  // namespace lanscope
