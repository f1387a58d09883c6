#include "platform/PortHolders.h"

#include <dirent.h>
#include <unistd.h>

#include <fstream>
#include <set>
#include <sstream>

namespace lanscope {

namespace {

// The socket inodes bound to the port, from a /proc/net/udp table
// ("sl local_address rem_address st ... uid timeout inode", addresses as
// HEXADDR:HEXPORT).
std::set<std::string> SocketInodes(const char* table, std::uint16_t port) {
    std::set<std::string> inodes;
    std::ifstream file(table);
    std::string line;
    std::getline(file, line);  // the header
    while (std::getline(file, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote, state, queues, timer, retransmits, uid, timeout, inode;
        if (!(fields >> slot >> local >> remote >> state >> queues >> timer >> retransmits >> uid >>
              timeout >> inode)) {
            continue;
        }
        const auto colon = local.rfind(':');
        if (colon == std::string::npos) {
            continue;
        }
        unsigned long value = 0;
        std::istringstream(local.substr(colon + 1)) >> std::hex >> value;
        if (value == port && inode != "0") {
            inodes.insert(inode);
        }
    }
    return inodes;
}

}  // namespace

std::vector<PortHolder> UdpPortHolders(std::uint16_t port) {
    std::set<std::string> inodes = SocketInodes("/proc/net/udp", port);
    const auto inodes6 = SocketInodes("/proc/net/udp6", port);
    inodes.insert(inodes6.begin(), inodes6.end());
    std::vector<PortHolder> holders;
    if (inodes.empty()) {
        return holders;
    }
    DIR* processes = opendir("/proc");
    if (processes == nullptr) {
        return holders;
    }
    while (const dirent* process = readdir(processes)) {
        const std::string pid = process->d_name;
        if (pid.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        const std::string fdDir = "/proc/" + pid + "/fd";
        DIR* fds = opendir(fdDir.c_str());
        if (fds == nullptr) {
            continue;  // gone, or not ours to look at
        }
        bool holds = false;
        while (const dirent* fd = readdir(fds)) {
            char target[64] = {};
            const std::string link = fdDir + "/" + fd->d_name;
            const ssize_t length = readlink(link.c_str(), target, sizeof target - 1);
            if (length <= 0) {
                continue;
            }
            const std::string text(target, static_cast<std::size_t>(length));
            if (text.rfind("socket:[", 0) == 0 &&
                inodes.count(text.substr(8, text.size() - 9)) != 0) {
                holds = true;
                break;
            }
        }
        closedir(fds);
        if (holds) {
            PortHolder holder;
            holder.pid = std::stol(pid);
            std::ifstream(("/proc/" + pid + "/comm").c_str()) >> holder.program;
            holders.push_back(std::move(holder));
        }
    }
    closedir(processes);
    return holders;
}

}  // namespace lanscope
