// lanscope-module-sim: one process is one simulated LAN module.
#include <CLI/CLI.hpp>
#include <QCoreApplication>
#include <QProcess>
#include <QSocketNotifier>
#include <QTimer>
#include <array>
#include <iostream>

#include "SimModule.h"
#include "platform/Broadcast.h"
#include "platform/UdpSocket.h"

using namespace lanscope;

namespace {

struct Options {
    sim::ModuleIdentity identity;
    bool dhcp = false;
    int replyDelayMs = 0;
    std::string replyMode = "broadcast";
    std::string ownInterface;
    std::uint16_t port = kFerroxPort;
    bool verbose = false;
};

void AddressOption(CLI::App& app, const std::string& name, Ipv4& target, const std::string& help) {
    app.add_option_function<std::string>(
           name,
           [&target, name](const std::string& text) {
               if (!ParseIpv4Strict(text, target)) {
                   throw CLI::ValidationError(name, "not an IPv4 address: " + text);
               }
           },
           help)
        ->type_name("A.B.C.D");
}

class Simulator {
  public:
    Simulator(Options options, UdpSocket socket)
        : m_options(std::move(options)),
          m_module(m_options.identity),
          m_socket(std::move(socket)),
          m_notifier(m_socket.handle(), QSocketNotifier::Read) {
        QObject::connect(&m_notifier, &QSocketNotifier::activated, [this] { onReadable(); });
    }

  private:
    void log(const std::string& text) {
        if (m_options.verbose) {
            std::cerr << "lanscope-module-sim " << FormatMacBracketed(m_options.identity.mac)
                      << ": " << text << std::endl;
        }
    }

    void onReadable() {
        std::array<std::uint8_t, 2048> buffer;
        for (;;) {
            auto received = m_socket.receiveFrom(buffer);
            if (!received) {
                if (IsWouldBlock(received.error())) {
                    return;
                }
                continue;
            }
            auto reaction =
                m_module.handle(std::span<const std::uint8_t>(buffer.data(), received->size));
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

    void scheduleReply(std::vector<std::uint8_t> reply, Ipv4 sender, std::uint16_t senderPort) {
        auto send = [this, reply = std::move(reply), sender, senderPort] {
            Result<std::size_t> sent =
                m_options.replyMode == "unicast"
                    ? m_socket.sendTo(reply, sender, senderPort)
                    : BroadcastOnEveryInterface(m_socket, reply, m_options.port);
            if (!sent) {
                log("reply not sent: " + sent.error().text);
            }
        };
        if (m_options.replyDelayMs > 0) {
            QTimer::singleShot(m_options.replyDelayMs, send);
        } else {
            send();
        }
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
        const QString iface = QString::fromStdString(m_options.ownInterface);
        const QString address =
            QString::fromStdString(FormatIpv4(change.newAddress)) + "/" + QString::number(prefix);
        QProcess::execute("ip", {"-4", "addr", "flush", "dev", iface});
        const int rc = QProcess::execute("ip", {"addr", "add", address, "brd", "+", "dev", iface});
        log("interface " + m_options.ownInterface + " moved to " + address.toStdString() +
            (rc == 0 ? "" : " (failed)"));
    }

    Options m_options;
    sim::SimModule m_module;
    UdpSocket m_socket;
    QSocketNotifier m_notifier;
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);

    Options options;
    CLI::App cli{
        "A simulated LAN module: answers discovery requests and applies configuration "
        "writes like the real hardware.",
        "lanscope-module-sim"};
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
    cli.add_flag("-v,--verbose", options.verbose, "Log every datagram to stderr");
    CLI11_PARSE(cli, argc, argv);

    const auto parsedMac = ParseMac(mac);
    if (!parsedMac) {
        std::cerr << "lanscope-module-sim: not a hardware address: " << mac << '\n';
        return 2;
    }
    options.identity.mac = *parsedMac;
    if (options.dhcp) {
        options.identity.address = 0;
    }

    auto socket = UdpSocket::open();
    if (!socket) {
        std::cerr << "lanscope-module-sim: " << socket.error().text << '\n';
        return 1;
    }
    if (auto bound = socket->bind(0, options.port); !bound) {
        std::cerr << "lanscope-module-sim: port " << options.port << ": " << bound.error().text
                  << '\n';
        return 1;
    }
    if (auto option = socket->setBroadcast(true); !option) {
        std::cerr << "lanscope-module-sim: " << option.error().text << '\n';
        return 1;
    }
    Simulator simulator(options, std::move(socket.value()));
    if (options.verbose) {
        std::cerr << "lanscope-module-sim " << FormatMacBracketed(options.identity.mac)
                  << ": listening on UDP port " << options.port << std::endl;
    }
    return app.exec();
}
