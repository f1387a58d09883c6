#include <CLI/CLI.hpp>
#include <array>
#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <set>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "cli/Commands.h"
#include "common/HostInterface.h"
#include "config/AutoIp.h"
#include "discovery/Diagnosis.h"
#include "discovery/ModuleList.h"
#include "platform/HostInterfaces.h"
#include "platform/PortHolders.h"
#include "platform/PortListener.h"
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
    // then. A holder that keeps the port to itself (our own programs do) is
    // listened beside through a raw socket where the system allows one;
    // the requests then leave from another port, and modules answer to
    // 20034 all the same.
    auto socket = UdpSocket::open();
    bool listening = false;
    std::optional<PortListener> beside;
    if (socket) {
        (void)socket->setReuseAddress(true);
        listening = socket->bind(context.endpoints.bindAddress, context.endpoints.bindPort).ok() &&
                    socket->setBroadcast(true).ok();
    }
    if (!listening) {
        auto listener = PortListener::open(context.endpoints.bindPort);
        auto sender = UdpSocket::openBound(context.endpoints.bindAddress, 0, true);
        if (listener && sender) {
            beside = std::move(listener.value());
            socket = std::move(sender);
            listening = true;
            out << "  listening beside the program that holds the port\n";
        }
    }
    if (!listening) {
        out << "  not sent: port " << context.endpoints.bindPort
            << " cannot be bound, so no reply could be heard (as root, doctor listens beside "
               "the holder)\n";
        ++problems;
    }
    ModuleList list;
    std::map<Ipv4, std::string> heardOn;  // module address -> interface name
    const HostInterface* current = nullptr;
    std::unique_ptr<EventLoop::Registration> watch;
    const auto heard = [&](const ReceivedDatagram& received, std::span<const std::uint8_t> buffer) {
        if (received.truncated || current == nullptr) {
            return;
        }
        if (AddReply(list, buffer.first(received.size), received.sender) !=
            AddReplyOutcome::Ignored) {
            heardOn.emplace(received.sender, current->name);
        }
    };
    if (listening) {
        const SocketHandle handle = beside ? beside->handle() : socket->handle();
        watch = context.loop.watchReadable(handle, [&] {
            std::array<std::uint8_t, kMaxReplySize> buffer;
            if (beside) {
                while (auto received = beside->receive(buffer)) {
                    heard(*received, buffer);
                }
                return;
            }
            while (auto received = socket->receiveFrom(buffer)) {
                heard(*received, buffer);
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
        context.loop.runUntil(ToMilliseconds(options.waitSeconds), {});
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
    std::set<Ipv4> hostAddresses;
    for (const HostInterface& host : lan) {
        hostAddresses.insert(host.address);
    }
    for (std::size_t row = 0; row < list.size(); ++row) {
        const ListFields& columns = list.fields(row);
        const auto address = ParseIpv4Strict(columns.address);
        if (address && !InAnySubnet(*address, lan)) {
            const std::string mac = FormatMacPlain(list.record(row).mac());
            out << "  " << mac << " answered from " << columns.address
                << ", outside every interface's subnet: ";
            // auto-ip only where it would go ahead: one module, one address
            // of this computer, and the address it gives free.
            const Ipv4 chosen =
                hostAddresses.empty() ? 0 : AutoIpAddressFor(*hostAddresses.begin());
            const bool autoIp = hostAddresses.size() == 1 &&
                                AutoIpRefusal(list, row, chosen).empty() &&
                                !(context.addressAnswers && context.addressAnswers(chosen));
            if (autoIp) {
                out << "give it an address beside this computer's (lanscope-cli auto-ip " << mac
                    << ")";
            } else {
                out << "give it a free address of this computer's network (lanscope-cli set " << mac
                    << " --ip A.B.C.D --mask A.B.C.D)";
            }
            out << " before using its web pages\n";
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
    if (!haveTools) {
        out << "  not checked: no nft or iptables\n";
    } else if (nft.empty() && iptables.empty() && ::geteuid() != 0) {
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

void AddDoctorCommand(CLI::App& app, CliCommands& commands) {
    auto options = std::make_shared<DoctorOptions>();
    auto* command =
        app.add_subcommand("doctor",
                           "Find out why modules do not answer: interfaces, the port, replies per "
                           "interface, addresses outside every subnet, firewall rules");
    AddSecondsOption(*command, "--wait", options->waitSeconds, "Seconds to wait on each interface",
                     60.0);
    commands.push_back(
        {command, [options](CliContext& context) { return RunDoctor(*options, context); }});
}

}  // namespace lanscope::cli
