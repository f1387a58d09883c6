// lanscope-module-sim: one process is one simulated LAN module.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <array>
#include <chrono>
#include <fstream>
#include <functional>
#include <iostream>
#include <list>
#include <sstream>

#ifndef _WIN32
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#endif

#include "SimFirmware.h"
#ifdef LANSCOPE_SIM_HTTP
#include "SimHttp.h"
#endif
#include "SimModule.h"
#include "SimWeb.h"
#include "common/Version.h"
#include "platform/Broadcast.h"
#include "platform/PollLoop.h"
#include "platform/UdpSocket.h"

using namespace lanscope;
using lanscope::sim::WebOptions;

namespace {

struct Options {
    sim::ModuleIdentity identity;
    bool dhcp = false;
    int replyDelayMs = 0;
    int spinMicroseconds = 300;
    std::string replyMode = "broadcast";
    std::string ownInterface;
    std::uint16_t port = kFerroxPort;
    bool verbose = false;
    sim::FirmwareOptions firmware;
    std::string imageOut;
};

void AddressOption(CLI::App& app, const std::string& name, Ipv4& target, const std::string& help) {
    app.add_option_function<std::string>(
           name,
           [&target, name](const std::string& text) {
               const auto value = ParseIpv4Strict(text);
               if (!value) {
                   throw CLI::ValidationError(name, "not an IPv4 address: " + text);
               }
               target = *value;
           },
           help)
        ->type_name("A.B.C.D");
}

#ifndef _WIN32
// Runs a program found on PATH and waits for it; its exit code, or -1.
int RunProgram(std::vector<std::string> arguments) {
    std::vector<char*> argv;
    for (auto& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    pid_t child = 0;
    if (posix_spawnp(&child, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
        return -1;
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) {
            return -1;
        }
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
#endif

class Simulator {
  public:
    Simulator(Options options, UdpSocket socket, EventLoop& loop)
        : m_options(std::move(options)),
          m_module(m_options.identity),
          m_firmware(m_options.firmware),
          m_loop(loop),
          m_socket(std::move(socket)) {
        m_watch = m_loop.watchReadable(m_socket.handle(), [this] { onReadable(); });
    }

  private:
    // Sends now, or after the reply delay when one is set.
    void sendLater(std::function<void()> send) {
        if (m_options.replyDelayMs <= 0) {
            send();
            return;
        }
        auto slot = m_delayed.emplace(m_delayed.end());
        *slot = m_loop.startTimer(std::chrono::milliseconds(m_options.replyDelayMs), false,
                                  [this, slot, send = std::move(send)] {
                                      send();
                                      m_delayed.erase(slot);
                                  });
    }

    // Sends at a given time (now, when that has passed), in the order asked.
    void sendAt(std::chrono::steady_clock::time_point when, std::function<void()> send) {
        const auto wait =
            std::chrono::ceil<std::chrono::milliseconds>(when - std::chrono::steady_clock::now());
        auto slot = m_delayed.emplace(m_delayed.end());
        *slot = m_loop.startTimer(std::max(wait, std::chrono::milliseconds(0)), false,
                                  [this, slot, send = std::move(send)] {
                                      send();
                                      m_delayed.erase(slot);
                                  });
    }

    void log(const std::string& text) {
        if (m_options.verbose) {
            std::cerr << "lanscope-module-sim " << FormatMacBracketed(m_options.identity.mac)
                      << ": " << text << std::endl;
        }
    }

    void onReadable() {
        // During a firmware update the next request follows each reply within
        // microseconds; waiting briefly for it spares a trip through the event
        // loop per chunk, as a module's firmware would not have one either.
        // Many simulators on few cores would spin away each other's time:
        // without the spin an update request is answered and the loop waits.
        constexpr int kRequestsPerTurn = 64;
        const bool spin = m_options.spinMicroseconds > 0;
        std::array<std::uint8_t, 2048> buffer;
        int handled = 0;
        for (;;) {
            if (m_inUpdate && !spin && handled > 0) {
                return;  // the loop calls again for anything waiting
            }
            const bool wait = m_inUpdate && spin && handled > 0 && handled < kRequestsPerTurn;
            auto received =
                wait ? m_socket.receiveWithin(
                           buffer, std::chrono::microseconds(m_options.spinMicroseconds), 2)
                     : m_socket.receiveFrom(buffer);
            if (!received) {
                if (!IsWouldBlock(received.error())) {
                    continue;
                }
                return;
            }
            ++handled;
            const std::span<const std::uint8_t> datagram(buffer.data(), received->size);
            // Firmware requests: the workstation's magic with the update letter
            // (other modules' replies carry their own magic).
            if (received->size >= 5 &&
                std::equal(kWorkstationMagic.begin(), kWorkstationMagic.end(), datagram.begin()) &&
                datagram[4] == kUpdateProtocolLetter) {
                onUpdateRequest(datagram, received->sender, received->senderPort);
                continue;
            }
            auto reaction = m_module.handle(datagram);
            if (!reaction.log.empty()) {
                log("from " + FormatIpv4(received->sender) + ": " + reaction.log);
            }
            if (reaction.change) {
                applyChange(*reaction.change);
            }
            if (reaction.reply) {
                scheduleReply(std::move(*reaction.reply), received->sender, received->senderPort);
            }
        }
    }

    // Firmware requests are answered to their sender, as a module does.
    void onUpdateRequest(std::span<const std::uint8_t> datagram, Ipv4 sender,
                         std::uint16_t senderPort) {
        auto reaction = m_firmware.handle(datagram);
        m_inUpdate = !reaction.finished && !reaction.replies.empty();
        if (!reaction.log.empty()) {
            log(reaction.log);
        }
        if (reaction.finished && !m_options.imageOut.empty()) {
            std::ofstream(m_options.imageOut, std::ios::binary)
                .write(reinterpret_cast<const char*>(m_firmware.image().data()),
                       static_cast<std::streamsize>(m_firmware.image().size()));
            std::ofstream(m_options.imageOut + ".restart")
                << (m_firmware.restartRequested() ? 1 : 0);
        }
        const auto now = std::chrono::steady_clock::now();
        if (reaction.workMs == 0 && !reaction.later && m_busyUntil <= now) {
            for (auto& reply : reaction.replies) {
                sendLater([this, reply = std::move(reply), sender, senderPort] {
                    (void)m_socket.sendTo(reply, sender, senderPort);
                });
            }
            return;
        }
        // A module busy with slow work answers in turn: this request's
        // replies after what it is still doing, and after its own work.
        auto at = std::max(now, m_busyUntil) + std::chrono::milliseconds(reaction.workMs) +
                  std::chrono::milliseconds(std::max(m_options.replyDelayMs, 0));
        for (auto& reply : reaction.replies) {
            sendAt(at, [this, reply = std::move(reply), sender, senderPort] {
                (void)m_socket.sendTo(reply, sender, senderPort);
            });
        }
        if (reaction.later) {
            at += std::chrono::milliseconds(reaction.later->first);
            sendAt(at, [this, reply = std::move(reaction.later->second), sender, senderPort] {
                (void)m_socket.sendTo(reply, sender, senderPort);
            });
        }
        m_busyUntil = at;
    }

    void scheduleReply(std::vector<std::uint8_t> reply, Ipv4 sender, std::uint16_t senderPort) {
        sendLater([this, reply = std::move(reply), sender, senderPort] {
            Result<std::size_t> sent =
                m_options.replyMode == "unicast"
                    ? m_socket.sendTo(reply, sender, senderPort)
                    : BroadcastOnEveryInterface(m_socket, reply, m_options.port);
            if (!sent) {
                log("reply not sent: " + sent.error().text);
            }
        });
    }

    // A real module takes its new address at once; in the test bed the
    // simulator moves its own interface so later replies come from there.
    void applyChange(const sim::NetworkChange& change) {
        if (m_options.ownInterface.empty() || change.newAddress == 0 ||
            change.newAddress == change.oldAddress) {
            return;
        }
        int prefix = MaskPrefixLength(change.newMask);
        if (prefix <= 0) {
            prefix = 24;
        }
#ifdef _WIN32
        log("interface " + m_options.ownInterface + " not moved: not possible on Windows");
#else
        const std::string& iface = m_options.ownInterface;
        const std::string address = FormatIpv4(change.newAddress) + "/" + std::to_string(prefix);
        RunProgram({"ip", "-4", "addr", "flush", "dev", iface});
        const int rc = RunProgram({"ip", "addr", "add", address, "brd", "+", "dev", iface});
        log("interface " + iface + " moved to " + address + (rc == 0 ? "" : " (failed)"));
#endif
    }

    Options m_options;
    sim::SimModule m_module;
    sim::SimFirmware m_firmware;
    bool m_inUpdate = false;
    // Until when the firmware is busy with slow work (--fw-delay-ack).
    std::chrono::steady_clock::time_point m_busyUntil{};
    EventLoop& m_loop;
    UdpSocket m_socket;
    std::unique_ptr<EventLoop::Registration> m_watch;
    std::list<std::unique_ptr<EventLoop::Registration>> m_delayed;
};

}  // namespace

int main(int argc, char** argv) {
    Options options;
    CLI::App cli{
        "A simulated LAN module: answers discovery requests and applies configuration "
        "writes like the real hardware.",
        "lanscope-module-sim"};
    cli.allow_windows_style_options(false);  // "/path" is a file name, not an option
    cli.set_version_flag("--version",
                         std::string("lanscope-module-sim ") + lanscope::version::kProductVersion);
    // The test bed names every module; options given after its own win.
    cli.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    std::string mac = "02-4c-53-00-00-01";
    cli.add_option("--mac", mac, "Hardware address")->capture_default_str();
    cli.add_option("--name", options.identity.name, "First name text")->capture_default_str();
    cli.add_option("--name2", options.identity.name2, "Second name text")->capture_default_str();
    AddressOption(cli, "--ip", options.identity.address, "Configured static address");
    AddressOption(cli, "--mask", options.identity.mask, "Network mask (default 255.255.255.0)");
    AddressOption(cli, "--gateway", options.identity.gateway, "Gateway");
    AddressOption(cli, "--dns", options.identity.dns, "DNS server");
    cli.add_flag("--dhcp", options.dhcp, "Report DHCP mode (record address 0.0.0.0)");
    cli.add_option("--reply-delay", options.replyDelayMs, "Milliseconds before each reply")
        ->check(CLI::Range(0, 600000));
    cli.add_option("--reply", options.replyMode, "Reply by broadcast or unicast to the sender")
        ->check(CLI::IsMember({"broadcast", "unicast"}))
        ->capture_default_str();
    cli.add_option("--own-interface", options.ownInterface,
                   "Move this interface to the address a configuration write gives");
    cli.add_option("--port", options.port, "UDP port to listen on")->capture_default_str();
    cli.add_option("--fw-spin-us", options.spinMicroseconds,
                   "During an update, look for the next request this long before sleeping "
                   "(0: never; for many simulators on few cores)")
        ->capture_default_str()
        ->check(CLI::Range(0, 100000));
    cli.add_flag("-v,--verbose", options.verbose, "Log every datagram to stderr");
    bool quiet = false;
    cli.add_flag("-q,--quiet", quiet, "Log nothing (overrides --verbose)");

    auto& fw = options.firmware;
    std::string credentials;
    std::string verdict;
    std::string dropData;
    cli.add_option("--fw-credentials", credentials,
                   "Require USER:PASSWORD in the update start request");
    cli.add_option("--fw-verdict", verdict, "Answer update start requests with a verdict")
        ->check(CLI::IsMember({"declined", "no-memory", "shutdown-refused"}));
    cli.add_option("--fw-platform", fw.platform, "Platform name reported to an update start");
    cli.add_flag("--fw-keepalive-only", fw.keepAliveOnly,
                 "Answer update requests with keep-alives");
    cli.add_option("--fw-ack-limit", fw.ackLimit, "Acknowledge at most N bytes of each chunk");
    cli.add_option("--fw-resend-at", fw.resendAt,
                   "Ask once for a resend when the data reaches this image offset");
    cli.add_option("--fw-resend-back", fw.resendBack, "How far back that resend goes (bytes)")
        ->capture_default_str();
    cli.add_option("--fw-drop-data", dropData,
                   "Leave these data requests unanswered (1-based, comma-separated)");
    cli.add_option("--fw-drop-share", fw.dropShare,
                   "Leave this share of update requests unanswered")
        ->check(CLI::Range(0.0, 1.0));
    cli.add_option("--fw-seed", fw.seed, "Seed for --fw-drop-share")->capture_default_str();
    cli.add_flag("--fw-duplicate", fw.duplicate, "Send every update reply twice");
    std::string duplicateData;
    cli.add_option("--fw-duplicate-data", duplicateData,
                   "Send the replies to these data requests twice (1-based, comma-separated)");
    cli.add_flag("--fw-corrupt", fw.corrupt, "Spoil a stored byte so the finish check fails");
    cli.add_flag("--fw-finish-ok-with-end", fw.finishOkWithEnd,
                 "Answer the finish with an OK that names the end address, like a data "
                 "acknowledgement");
    std::string delayAck;
    cli.add_option("--fw-delay-ack", delayAck,
                   "Take MS milliseconds to store data request N and each copy of it, answering "
                   "later requests only after it")
        ->type_name("N:MS");
    cli.add_option("--fw-repeat-last-ack", fw.repeatLastAckMs,
                   "Send the acknowledgement of the image's end again this many milliseconds "
                   "later, busy until then")
        ->check(CLI::Range(0, 600000));
    cli.add_option("--fw-decline-after", fw.declineAfter,
                   "Decline every data request after the first N, as a restarted module does");
    std::uint16_t httpPort = 0;
    // Nothing outside this host reaches the pages unless asked for: in the
    // test bed's namespaces that is what --http-bind 0.0.0.0 is for.
    std::string httpBind = "127.0.0.1";
    WebOptions web;
    std::vector<std::string> faults;
    std::string postLog;
    cli.add_option("--http-port", httpPort, "Serve the module's web pages on this TCP port");
    cli.add_option("--http-bind", httpBind, "Serve them on this address only (0.0.0.0: all)")
        ->capture_default_str();
    cli.add_option("--http-admin", web.admin, "USER:PASSWORD of the administrator (basic login)");
    cli.add_option("--http-user", web.user, "USER:PASSWORD of a user who sees an empty form");
    cli.add_flag("--http-open", web.open, "No login: every visitor is the administrator");
    cli.add_option("--http-frame", web.frameUrl,
                   "Show this address in the frame page's second frame");
    cli.add_option("--http-fault", faults, "Web page faults (comma-separated)")
        ->delimiter(',')
        ->check(CLI::IsMember({"login-error", "no-form", "renamed-form", "no-rule-frame",
                               "quiet-login", "shadowed-names", "stopped-load", "endless-load"}));
    cli.add_option("--http-post-log", postLog, "Append each form submission to this file");
    cli.add_option("--fw-image-out", options.imageOut,
                   "Write the received image here when an update finishes (and FILE.restart)");
    CLI11_PARSE(cli, argc, argv);
    web.faults.insert(faults.begin(), faults.end());

    if (!credentials.empty()) {
        const auto colon = credentials.find(':');
        fw.requireCredentials = true;
        fw.user = credentials.substr(0, colon);
        fw.password = colon == std::string::npos ? std::string() : credentials.substr(colon + 1);
    }
    if (verdict == "declined") {
        fw.startVerdict = UpdateReplyType::Declined;
    } else if (verdict == "no-memory") {
        fw.startVerdict = UpdateReplyType::NoMemory;
    } else if (verdict == "shutdown-refused") {
        fw.startVerdict = UpdateReplyType::ShutdownRefused;
    }
    const auto parseList = [](const std::string& text, const char* option,
                              std::set<unsigned>& into) {
        std::stringstream items(text);
        for (std::string item; std::getline(items, item, ',');) {
            if (item.empty()) {
                continue;
            }
            if (item.find_first_not_of("0123456789") != std::string::npos || item.size() > 9) {
                std::cerr << "lanscope-module-sim: " << option << " takes numbers: " << item
                          << '\n';
                return false;
            }
            into.insert(static_cast<unsigned>(std::stoul(item)));
        }
        return true;
    };
    if (!delayAck.empty()) {
        const auto colon = delayAck.find(':');
        const std::string n = delayAck.substr(0, colon);
        const std::string ms = colon == std::string::npos ? "" : delayAck.substr(colon + 1);
        const auto number = [](const std::string& text) {
            return !text.empty() && text.size() <= 9 &&
                   text.find_first_not_of("0123456789") == std::string::npos;
        };
        if (!number(n) || !number(ms) || std::stoul(n) == 0) {
            std::cerr << "lanscope-module-sim: --fw-delay-ack takes N:MS, N from 1: " << delayAck
                      << '\n';
            return 2;
        }
        fw.slowData = std::pair{static_cast<unsigned>(std::stoul(n)),
                                static_cast<std::uint32_t>(std::stoul(ms))};
    }
    if (!parseList(dropData, "--fw-drop-data", fw.dropData) ||
        !parseList(duplicateData, "--fw-duplicate-data", fw.duplicateData)) {
        return 2;
    }

    const auto parsedMac = ParseMac(mac);
    if (!parsedMac) {
        std::cerr << "lanscope-module-sim: not a hardware address: " << mac << '\n';
        return 2;
    }
    options.identity.mac = *parsedMac;
    if (quiet) {
        options.verbose = false;
    }
    if (options.dhcp) {
        options.identity.address = 0;
    }

    auto socket = UdpSocket::openBound(0, options.port, /*broadcast=*/true);
    if (!socket) {
        std::cerr << "lanscope-module-sim: port " << options.port << ": " << socket.error().text
                  << '\n';
        return 1;
    }
    PollLoop loop;
    Simulator simulator(options, std::move(socket.value()), loop);

#ifdef LANSCOPE_SIM_HTTP
    if (httpPort != 0 && !sim::ServePages({web, httpBind, httpPort, postLog, options.verbose})) {
        return 1;
    }
#else
    if (httpPort != 0) {
        std::cerr << "lanscope-module-sim: this build has no web pages (--http-port)\n";
        return 2;
    }
#endif
    if (options.verbose) {
        std::cerr << "lanscope-module-sim " << FormatMacBracketed(options.identity.mac)
                  << ": listening on UDP port " << options.port << std::endl;
    }
    // Runs until the process is ended (the test bed sends SIGTERM).
    for (;;) {
        loop.runUntil(EventLoop::kForever, {});
    }
}
