#include <chrono>
#include <ostream>

#include "cli/Commands.h"
#include "config/AutoIp.h"
#include "discovery/DiscoverySession.h"

namespace lanscope::cli {

namespace {

using Clock = std::chrono::steady_clock;

std::chrono::milliseconds ToMilliseconds(double seconds) {
    return std::chrono::milliseconds(static_cast<long long>(seconds * 1000.0));
}

bool HasSettings(const ModuleRecord& record, const ModuleRecord& wanted) {
    return record.address() == wanted.address() && record.mask() == wanted.mask() &&
           record.gateway() == wanted.gateway() && record.dns() == wanted.dns();
}

}  // namespace

int RunSet(const SetOptions& options, CliContext& context) {
    const auto mac = ParseMac(options.mac);
    if (!mac) {
        context.err << "Not a hardware address: \"" << options.mac
                    << "\" (expected six hexadecimal pairs such as 02-4c-53-00-00-01)\n";
        return kExitUsage;
    }
    DiscoverySession session(context.prompt, context.loop, context.endpoints);
    session.open();
    if (!session.listening()) {
        return kExitFailed;
    }
    (void)session.request();
    const auto found = [&] { return session.findMac(*mac).has_value(); };
    if (!session.waitFor(ToMilliseconds(options.waitSeconds), found)) {
        context.err << "No module with hardware address " << FormatMacBracketed(*mac)
                    << " answered within " << options.waitSeconds << " s.\n";
        return kExitFailed;
    }

    ModuleRecord& record = session.list().record(*session.findMac(*mac));
    if (options.mode == SetMode::AutoIp) {
        const auto hosts = context.hostAddresses ? context.hostAddresses() : std::vector<Ipv4>{};
        if (!AutoIpUpdate(record, hosts, context.prompt, *session.socket(), false)) {
            context.err << "Nothing was sent.\n";
            return kExitFailed;
        }
    } else {
        if (options.mode == SetMode::Dhcp) {
            record.setAddress(0);
        } else if (options.address) {
            record.setAddress(*options.address);
        }
        if (options.mask) {
            record.setMask(*options.mask);
        }
        if (options.gateway) {
            record.setGateway(*options.gateway);
        }
        if (options.dns) {
            record.setDns(*options.dns);
        }
        if (auto sent = session.socket()->SendConfiguration(record); !sent) {
            context.err << "Sending the configuration failed: " << sent.error().text << '\n';
            return kExitFailed;
        }
    }
    const ModuleRecord wanted = record;
    context.out << "Configuration sent to " << FormatMacBracketed(*mac) << ": "
                << (wanted.address() == 0 ? std::string("DHCP") : FormatIpv4(wanted.address()))
                << " mask " << FormatIpv4(wanted.mask()) << " gateway "
                << FormatIpv4(wanted.gateway()) << " DNS " << FormatIpv4(wanted.dns()) << '\n';
    if (!options.verify) {
        return kExitOk;
    }

    // The module applies the write and answers later discoveries with its new
    // settings; ask again until it does or the time is up.
    const auto deadline = Clock::now() + ToMilliseconds(options.verifySeconds);
    const auto confirmed = [&] {
        const auto row = session.findMac(*mac);
        return row && HasSettings(session.list().record(*row), wanted);
    };
    while (Clock::now() < deadline) {
        session.list().clear();
        (void)session.request();
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (session.waitFor(std::min(left, std::chrono::milliseconds(1000)), confirmed)) {
            context.out << "The module answers with the new settings.\n";
            return kExitOk;
        }
    }
    context.err << "The module did not answer with the new settings within "
                << options.verifySeconds << " s.\n";
    return kExitFailed;
}

}  // namespace lanscope::cli
