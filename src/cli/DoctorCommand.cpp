#include <array>
#include <cstdio>
#include <map>
#include <ostream>
#include <set>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "cli/Commands.h"
#include "common/HostInterface.h"
#include "discovery/Diagnosis.h"
#include "discovery/ModuleList.h"
#include "platform/HostInterfaces.h"
#include "platform/PortHolders.h"
#include "platform/UdpSocket.h"

namespace lanscope::cli {

namespace {

std::string WithPrefix(const HostInterface& host) {
    return FormatIpv4(host.address) + "/" + std::to_string(MaskPrefixLength(host.mask));
}

#ifndef _WIN32
// What a command prints, when the command is there; nothing otherwise. The
// commands are fixed texts: nothing of the user's goes into them.
std::string OutputOf(const char* command) {
    std::string output;
    if (std::FILE* pipe = ::popen(command, "r")) {
        std::array<char, 4096> chunk;
        for (std::size_t n; (n = std::fread(chunk.data(), 1, chunk.size(), pipe)) > 0;) {
            output.append(chunk.data(), n);
        }
        ::pclose(pipe);
    }
    return output;
}
#endif

}  // namespace

int RunDoctor(const DoctorOptions& options, CliContext& context) {
    std::ostream& out = context.out;
    int problems = 0;

    out << "Interfaces:\n";
    const auto all = AllIpv4Interfaces();
    for (const HostInterface& host : all) {
        const std::string reason = SkipReason(host);
        out << "  " << host.name << "  " << WithPrefix(host) << "  "
            << (reason.empty() ? "used" : "skipped: " + reason) << '\n';
    }
    const auto lan = LanInterfaces(all);
    if (lan.empty()) {
        out << "  No interface can reach a module: none is up, connected and "
               "broadcast-capable.\n";
        ++problems;
    }

    out << "Port " << kFerroxPort << ":\n";
    const auto holders = UdpPortHolders(context.endpoints.bindPort);
    if (holders.empty()) {
        out << "  free\n";
    } else {
        for (const PortHolder& holder : holders) {
            out << "  in use by " << (holder.program.empty() ? "a process" : holder.program)
                << " (pid " << holder.pid << "): lanscope and lanscope-cli cannot run beside it\n";
        }
        ++problems;
    }

    out << "Requests:\n";
    // Shared with a holder that allows it, so the replies can be heard even
    // then (a program of ours holds the port alone: then nothing is heard).
    auto socket = UdpSocket::open();
    bool listening = false;
    if (socket) {
        (void)socket->setReuseAddress(true);
        listening = socket->bind(context.endpoints.bindAddress, context.endpoints.bindPort).ok() &&
                    socket->setBroadcast(true).ok();
    }
    if (!listening) {
        out << "  not sent: port " << context.endpoints.bindPort
            << " cannot be bound, so no reply could be heard\n";
        ++problems;
    }
    ModuleList list;
    std::map<Ipv4, std::string> heardOn;  // module address -> interface name
    const HostInterface* current = nullptr;
    std::unique_ptr<EventLoop::Registration> watch;
    if (listening) {
        watch = context.loop.watchReadable(socket->handle(), [&] {
            std::array<std::uint8_t, kMaxReplySize> buffer;
            while (auto received = socket->receiveFrom(buffer)) {
                if (received->truncated || current == nullptr) {
                    continue;
                }
                const std::span<const std::uint8_t> datagram(buffer.data(), received->size);
                if (AddReply(list, datagram, received->sender) != AddReplyOutcome::Ignored) {
                    heardOn.emplace(received->sender, current->name);
                }
            }
        });
    }
    const auto request = BuildDiscoveryRequest();
    std::set<unsigned> asked;
    for (const HostInterface& host : listening ? lan : std::vector<HostInterface>{}) {
        if (!asked.insert(host.index).second) {
            continue;
        }
        current = &host;
        const auto before = heardOn.size();
        auto sent =
            socket->sendThrough(request, kLimitedBroadcast, context.endpoints.destinationPort,
                                host.index, host.address);
        if (!sent) {
            out << "  " << host.name << ": the request could not be sent: " << sent.error().text
                << '\n';
            ++problems;
            continue;
        }
        context.loop.runUntil(
            std::chrono::milliseconds(static_cast<long long>(options.waitSeconds * 1000)), {});
        std::string modules;
        for (const auto& [address, name] : heardOn) {
            if (name == host.name) {
                modules += (modules.empty() ? "" : ", ") + FormatIpv4(address);
            }
        }
        out << "  " << host.name << ": " << heardOn.size() - before << " module(s) answered"
            << (modules.empty() ? "" : " (" + modules + ")") << '\n';
    }
    current = nullptr;
    watch.reset();
    if (listening && heardOn.empty()) {
        out << "  No module answered.\n";
        ++problems;
    }
    for (std::size_t row = 0; row < list.size(); ++row) {
        const auto columns = SplitListLine(list.text(row));
        Ipv4 address = 0;
        if (ParseIpv4Strict(columns.address, address) && !InAnySubnet(address, lan)) {
            out << "  " << columns.mac << " answered from " << columns.address
                << ", outside every interface's subnet: give it an address beside this "
                   "computer's (lanscope-cli auto-ip "
                << columns.mac << ") before using its web pages\n";
            ++problems;
        }
    }

    out << "Firewall:\n";
#ifdef _WIN32
    out << "  not checked on Windows\n";
#else
    const std::string nft =
        OutputOf("command -v nft >/dev/null 2>&1 && nft list ruleset 2>/dev/null");
    const std::string iptables =
        OutputOf("command -v iptables >/dev/null 2>&1 && iptables -S 2>/dev/null");
    const bool haveTools = !OutputOf("command -v nft iptables 2>/dev/null").empty();
    const std::string finding = FirewallFinding(nft, iptables, kFerroxPort);
    if (haveTools && nft.empty() && iptables.empty() && ::geteuid() != 0) {
        out << "  the rules could not be read: run doctor as root to check them\n";
    } else if (finding.empty()) {
        out << "  nothing found that drops UDP port " << kFerroxPort << '\n';
    } else {
        out << "  " << finding << '\n';
        ++problems;
    }
#endif

    out << (problems == 0 ? "No problem found.\n"
                          : std::to_string(problems) + " problem(s) found.\n");
    return problems == 0 ? kExitOk : kExitFailed;
}

}  // namespace lanscope::cli
