#include "platform/AddressProbe.h"

// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>
#include <netioapi.h>
// clang-format on

namespace lanscope {

bool AddressAnswers(Ipv4 address, std::uint16_t /*port*/, std::chrono::milliseconds /*wait*/) {
    // The system resolves the address itself (it waits as long as it takes
    // for a neighbour to answer, a few seconds at most).
    DWORD interfaceIndex = 0;
    const IPAddr destination = htonl(address);
    if (GetBestInterface(destination, &interfaceIndex) != NO_ERROR) {
        return false;
    }
    MIB_IPNET_ROW2 row{};
    row.InterfaceIndex = interfaceIndex;
    row.Address.si_family = AF_INET;
    row.Address.Ipv4.sin_family = AF_INET;
    row.Address.Ipv4.sin_addr.s_addr = destination;
    return ResolveIpNetEntry2(&row, nullptr) == NO_ERROR && row.State != NlnsUnreachable &&
           row.State != NlnsIncomplete;
}

}  // namespace lanscope
