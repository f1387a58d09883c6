#include "platform/PortHolders.h"

// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>
// clang-format on

#include <vector>

namespace lanscope {

std::vector<PortHolder> UdpPortHolders(std::uint16_t port) {
    std::vector<PortHolder> holders;
    ULONG size = 0;
    GetExtendedUdpTable(nullptr, &size, FALSE, AF_INET, UDP_TABLE_OWNER_PID, 0);
    std::vector<unsigned char> buffer(size + 1024);
    size = static_cast<ULONG>(buffer.size());
    if (GetExtendedUdpTable(buffer.data(), &size, FALSE, AF_INET, UDP_TABLE_OWNER_PID, 0) !=
        NO_ERROR) {
        return holders;
    }
    const auto* table = reinterpret_cast<const MIB_UDPTABLE_OWNER_PID*>(buffer.data());
    for (DWORD i = 0; i < table->dwNumEntries; ++i) {
        const MIB_UDPROW_OWNER_PID& row = table->table[i];
        if (ntohs(static_cast<u_short>(row.dwLocalPort)) != port) {
            continue;
        }
        PortHolder holder;
        holder.pid = static_cast<long>(row.dwOwningPid);
        if (HANDLE process =
                OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, row.dwOwningPid)) {
            char path[MAX_PATH] = {};
            DWORD length = MAX_PATH;
            if (QueryFullProcessImageNameA(process, 0, path, &length)) {
                const std::string full(path, length);
                holder.program = full.substr(full.find_last_of("\\\\/") + 1);
            }
            CloseHandle(process);
        }
        holders.push_back(std::move(holder));
    }
    return holders;
}

}  // namespace lanscope
