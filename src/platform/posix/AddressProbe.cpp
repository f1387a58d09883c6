#include "platform/AddressProbe.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <sstream>
#include <string>

namespace lanscope {

namespace {

// The kernel's neighbour table ("IP address HW type Flags HW address Mask
// Device"): a complete entry (flag 0x2) means the device answered.
bool ResolvedNeighbour(Ipv4 address) {
    std::ifstream table("/proc/net/arp");
    std::string line;
    std::getline(table, line);  // the heading
    const std::string wanted = FormatIpv4(address);
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string ip;
        std::string type;
        std::string flags;
        fields >> ip >> type >> flags;
        if (ip == wanted && (std::stoul(flags, nullptr, 16) & 0x2u) != 0) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool AddressAnswers(Ipv4 address, std::uint16_t port, std::chrono::milliseconds wait) {
    const int socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (socket < 0) {
        return ResolvedNeighbour(address);
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(address);
    bool refused = false;
    if (::connect(socket, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0 &&
        ::send(socket, "", 0, 0) == 0) {
        // A device without the port refuses the datagram at once; a module
        // takes it for nothing. Either way the address gets resolved.
        const auto deadline = std::chrono::steady_clock::now() + wait;
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                break;
            }
            pollfd ready{socket, POLLIN, 0};
            if (::poll(&ready, 1, static_cast<int>(left.count())) <= 0) {
                break;
            }
            char byte = 0;
            const ssize_t got = ::recv(socket, &byte, 1, MSG_DONTWAIT);
            if (got >= 0 || errno == ECONNREFUSED) {
                refused = true;
                break;
            }
            if (errno != EAGAIN && errno != EINTR) {
                break;  // unreachable: nobody there
            }
        }
    }
    ::close(socket);
    return refused || ResolvedNeighbour(address);
}

}  // namespace lanscope
