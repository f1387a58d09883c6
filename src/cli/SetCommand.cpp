#include <CLI/CLI.hpp>
#include <algorithm>
#include <chrono>
#include <fstream>
#include <iostream>
#include <memory>
#include <ostream>
#include <sstream>

#include "cli/Batch.h"
#include "cli/Commands.h"
#include "common/Text.h"
#include "config/AutoIp.h"
#include "config/SettingsHistory.h"
#include "config/SettingsPlan.h"
#include "discovery/DiscoverySession.h"
#include "platform/Console.h"

namespace lanscope::cli {

namespace {

using Clock = std::chrono::steady_clock;

// Passes a write on and keeps what the send gave, for a caller that does not
// return it (automatic address selection).
class KeptSend final : public ConfigurationSender {
  public:
    explicit KeptSend(ConfigurationSender& sender) : m_sender(sender) {}
    Result<std::size_t> SendConfiguration(const ModuleRecord& record) override {
        auto sent = m_sender.SendConfiguration(record);
        if (!sent) {
            m_failure = sent.error();
        }
        return sent;
    }
    const std::optional<Error>& failure() const { return m_failure; }

  private:
    ConfigurationSender& m_sender;
    std::optional<Error> m_failure;
};

}  // namespace

int RunSet(const SetOptions& options, CliContext& context) {
    const auto mac = ParseMac(options.mac);
    if (!mac) {
        context.err << "Not a hardware address: \"" << options.mac
                    << "\" (expected six hexadecimal pairs such as 02-4c-53-00-00-01)\n";
        return kExitUsage;
    }
    if (options.mask && MaskPrefixLength(*options.mask) < 0) {
        context.err << "Not a network mask: " << FormatIpv4(*options.mask)
                    << " (ones, then zeros, such as 255.255.255.0)\n";
        return kExitUsage;
    }
    DiscoverySession session(context.prompt, context.loop, context.endpoints);
    session.open();
    if (!session.listening()) {
        return kExitFailed;
    }
    (void)session.request();
    const auto found = [&] { return session.findMac(*mac).has_value(); };
    // An address for the module is checked against every other module, so
    // then all of them must have had their time to answer.
    const bool checksOthers =
        options.mode == SetMode::AutoIp || (options.address && !options.force);
    session.waitFor(ToMilliseconds(options.waitSeconds),
                    checksOthers ? std::function<bool()>() : std::function<bool()>(found));
    if (!found()) {
        context.err << "No module with hardware address " << FormatMacBracketed(*mac)
                    << " answered within " << options.waitSeconds << " s.\n";
        return kExitFailed;
    }

    const std::size_t row = *session.findMac(*mac);
    ModuleRecord& record = session.list().record(row);
    // For the service history: the module as listed, with the settings of
    // its last reply.
    const HistoryModule module = HistoryModuleOf(session.list().fields(row));
    const ModuleRecord before = record;
    std::optional<Error> sendFailure;
    if (options.mode == SetMode::AutoIp) {
        const auto hosts = context.hostAddresses ? context.hostAddresses() : std::vector<Ipv4>{};
        if (hosts.size() == 1) {
            const Ipv4 chosen = AutoIpAddressFor(hosts.front());
            std::string refusal = AutoIpRefusal(session.list(), row, chosen);
            // Something that is no module may have it as well (unless it is
            // this module's already).
            const Ipv4 answeredFrom =
                ParseIpv4Strict(session.list().fields(row).address).value_or(0);
            if (refusal.empty() && answeredFrom != chosen && record.address() != chosen &&
                context.addressAnswers && context.addressAnswers(chosen)) {
                refusal = "Another device on this network already has " + FormatIpv4(chosen) +
                          ", the address automatic address selection would give.";
            }
            if (!refusal.empty()) {
                context.err << refusal << "\nNothing was sent. Give the module a free address "
                            << "of this network instead: lanscope-cli set " << FormatMacPlain(*mac)
                            << " --ip A.B.C.D --mask A.B.C.D\n";
                return kExitFailed;
            }
        }
        KeptSend sender(*session.socket());
        if (!AutoIpUpdate(record, hosts, context.prompt, sender, false)) {
            context.err << "Nothing was sent.\n";
            return kExitFailed;
        }
        sendFailure = sender.failure();
    } else {
        if (options.address && !options.force) {
            if (const auto other = OtherModuleAt(session.list(), row, *options.address)) {
                context.err << FormatIpv4(*options.address) << " is taken by the module "
                            << FormatMacPlain(session.list().record(*other).mac())
                            << ". Nothing was sent (--force sends it all the same).\n";
                return kExitFailed;
            }
        }
        SettingsChange change;
        change.dhcp = options.mode == SetMode::Dhcp;
        change.address = options.address;
        change.mask = options.mask;
        change.gateway = options.gateway;
        change.dns = options.dns;
        record = ApplySettings(record, change);
        if (auto sent = session.socket()->SendConfiguration(record); !sent) {
            sendFailure = sent.error();
        }
    }
    const ModuleRecord wanted = record;
    const HistoryEvent event = SettingsWriteEvent(module, before, wanted);
    if (sendFailure) {
        const std::string failed = "Sending the configuration failed: " + sendFailure->text;
        context.err << failed << '\n';
        RecordHistory(context.history, SettingsWriteOutcome(event, HistoryResult::Failed, failed));
        return kExitFailed;
    }
    const std::string sentText =
        "Configuration sent to " + FormatMacBracketed(*mac) + ": " +
        (wanted.address() == 0 ? std::string("DHCP") : FormatIpv4(wanted.address())) + " mask " +
        FormatIpv4(wanted.mask()) + " gateway " + FormatIpv4(wanted.gateway()) + " DNS " +
        FormatIpv4(wanted.dns());
    context.out << sentText << '\n';
    if (!options.verify) {
        RecordHistory(context.history, SettingsWriteOutcome(event, HistoryResult::Ok, sentText));
        return kExitOk;
    }
    // The wait for the module's answer can be cut short: its start is kept
    // first, so a write whose answer never came in still shows.
    const HistoryEvent started = RecordHistory(context.history, event);

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
            const std::string answered = "The module answers with the new settings.";
            context.out << answered << '\n';
            RecordHistory(context.history,
                          SettingsWriteOutcome(started, HistoryResult::Ok, answered,
                                               HistoryVerified::Verified));
            return kExitOk;
        }
    }
    std::ostringstream silent;
    silent << "The module did not answer with the new settings within " << options.verifySeconds
           << " s.";
    context.err << silent.str() << '\n';
    RecordHistory(context.history,
                  SettingsWriteOutcome(started, HistoryResult::Failed, silent.str(),
                                       HistoryVerified::NotVerified));
    return kExitFailed;
}

int RunConfigure(const ConfigureOptions& options, CliContext& context) {
    std::ifstream file(options.file, std::ios::binary);
    if (!file) {
        context.err << "Cannot read " << options.file << '\n';
        return kExitFailed;
    }
    std::ostringstream text;
    text << file.rdbuf();
    const auto read = ReadSettingsPlan(text.str());
    if (!read) {
        context.err << options.file << ": " << read.error().text << '\n';
        return kExitFailed;
    }
    SettingsPlan plan = *read;

    DiscoverySession session(context.prompt, context.loop, context.endpoints);
    if (!session.open()) {
        return kExitFailed;
    }
    (void)session.request();
    const auto allFound = [&] {
        return std::all_of(plan.rows.begin(), plan.rows.end(), [&](const SettingsRow& row) {
            return !row.mac || session.findMac(*row.mac).has_value();
        });
    };
    // An address for a module is checked against every other module, so
    // then all of them must have had their time to answer.
    const bool checksOthers =
        !options.force && std::any_of(plan.rows.begin(), plan.rows.end(), [](const auto& row) {
            return row.change.address.has_value();
        });
    session.waitFor(ToMilliseconds(options.waitSeconds),
                    checksOthers ? std::function<bool()>() : std::function<bool()>(allFound));
    RefuseAddressConflicts(plan, session.list(), options.force);

    // A line per module on a terminal; the report is what scripts read.
    const ProgressStream stream = ProgressOf(context);
    const bool terminal = stream.terminal;
    std::ostream& progress = stream.out;

    // Each row: its result, and the record written (when one was).
    std::vector<ModuleResult> results(plan.rows.size());
    std::vector<std::optional<ModuleRecord>> written(plan.rows.size());
    // Each write's started event in the service history, for its outcome.
    std::vector<HistoryEvent> recorded(plan.rows.size());
    for (std::size_t i = 0; i < plan.rows.size(); ++i) {
        const SettingsRow& row = plan.rows[i];
        ModuleResult& result = results[i];
        result.target.given = row.macText;
        result.target.mac = row.mac;
        if (!row.error.empty()) {
            result.message = "line " + std::to_string(row.line) + ": " + row.error;
            continue;
        }
        const auto found = session.findMac(*row.mac);
        if (!found) {
            result.message = "no module with this hardware address answered";
            continue;
        }
        const ModuleRecord& record = session.list().record(*found);
        const ListFields& columns = session.list().fields(*found);
        result.target.name = EightBitToUtf8(columns.name);
        result.target.name2 = EightBitToUtf8(columns.name2);
        // The address it answers from: a module on DHCP has none of its own.
        result.target.address = ParseIpv4Strict(columns.address).value_or(record.address());
        if (row.leaveAsIs) {
            result.ok = true;
            result.skipped = true;
            result.message = "line " + std::to_string(row.line) + ": nothing to change";
            continue;
        }
        const ModuleRecord wanted = ApplySettings(record, row.change);
        const HistoryEvent event = SettingsWriteEvent(HistoryModuleOf(columns), record, wanted);
        if (options.dryRun) {
            result.ok = true;
            result.message =
                "would write " +
                (wanted.address() == 0 ? std::string("DHCP") : FormatIpv4(wanted.address()));
            continue;
        }
        if (auto sent = session.socket()->SendConfiguration(wanted); !sent) {
            result.message = "sending failed: " + sent.error().text;
            RecordHistory(context.history,
                          SettingsWriteOutcome(event, HistoryResult::Failed, result.message));
            continue;
        }
        // Its outcome comes with the module's answer, which may never come.
        recorded[i] = RecordHistory(context.history, event);
        written[i] = wanted;
        if (terminal) {
            progress << row.macText << ": written\n" << std::flush;
        }
    }

    // Every module written is asked again until it answers with its new
    // settings or the time is up.
    const auto start = Clock::now();
    const auto deadline = start + ToMilliseconds(options.verifySeconds);
    const auto pending = [&] {
        return std::any_of(written.begin(), written.end(), [](const auto& w) { return w; });
    };
    const auto confirm = [&] {
        for (std::size_t i = 0; i < written.size(); ++i) {
            const auto row = written[i] ? session.findMac(*plan.rows[i].mac) : std::nullopt;
            if (row && HasSettings(session.list().record(*row), *written[i])) {
                results[i].ok = true;
                results[i].message = "verified";
                if (terminal) {
                    progress << plan.rows[i].macText << ": verified\n" << std::flush;
                }
                // Where it answers now (under DHCP, the address it was given).
                results[i].target.address = ParseIpv4Strict(session.list().fields(*row).address)
                                                .value_or(written[i]->address());
                results[i].seconds = std::chrono::duration<double>(Clock::now() - start).count();
                RecordHistory(context.history,
                              SettingsWriteOutcome(recorded[i], HistoryResult::Ok,
                                                   results[i].message, HistoryVerified::Verified));
                written[i].reset();
            }
        }
        return !pending();
    };
    while (pending() && Clock::now() < deadline) {
        session.list().clear();
        (void)session.request();
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        session.waitFor(std::min(left, std::chrono::milliseconds(1000)), confirm);
    }
    for (std::size_t i = 0; i < written.size(); ++i) {
        if (written[i]) {
            results[i].message = "written, but the module did not answer with the new settings";
            RecordHistory(context.history,
                          SettingsWriteOutcome(recorded[i], HistoryResult::Failed,
                                               results[i].message, HistoryVerified::NotVerified));
        }
    }
    PrintReport(context.out, results, options.json,
                options.dryRun ? ReportKind::ConfigurePlan : ReportKind::Configure);
    return ExitCodeOf(results);
}

void AddSetCommands(CLI::App& app, CliCommands& commands) {
    const auto addMac = [](CLI::App& command, SetOptions& options) {
        command.add_option("MAC", options.mac, "The module's hardware address")
            ->required()
            ->type_name("");
    };
    const auto addVerify = [](CLI::App& command, SetOptions& options) {
        command.add_flag("--verify", options.verify,
                         "Wait until the module answers with the new settings");
        AddSecondsOption(command, "--wait", options.waitSeconds,
                         "Seconds to wait for the modules to answer the first discovery");
        AddSecondsOption(command, "--timeout", options.verifySeconds,
                         "Seconds --verify waits for the new settings");
    };

    auto set = std::make_shared<SetOptions>();
    auto* setCommand = app.add_subcommand(
        "set", "Give a module new static network settings (unnamed settings stay as they are)");
    addMac(*setCommand, *set);
    AddAddressOption(*setCommand, "--ip", set->address, "New address");
    AddAddressOption(*setCommand, "--mask", set->mask, "New network mask");
    AddAddressOption(*setCommand, "--gateway", set->gateway, "New gateway");
    AddAddressOption(*setCommand, "--dns", set->dns, "New DNS server");
    setCommand->add_flag("--force", set->force,
                         "Send an address another module answers from all the same");
    addVerify(*setCommand, *set);
    commands.push_back({setCommand, [set](CliContext& context) {
                            if (!set->address && !set->mask && !set->gateway && !set->dns) {
                                context.err << "Nothing to set: give at least one of --ip, "
                                               "--mask, --gateway, --dns.\n";
                                return kExitUsage;
                            }
                            return RunSet(*set, context);
                        }});

    auto dhcp = std::make_shared<SetOptions>();
    dhcp->mode = SetMode::Dhcp;
    auto* dhcpCommand = app.add_subcommand("dhcp", "Switch a module to DHCP");
    addMac(*dhcpCommand, *dhcp);
    addVerify(*dhcpCommand, *dhcp);
    commands.push_back(
        {dhcpCommand, [dhcp](CliContext& context) { return RunSet(*dhcp, context); }});

    auto autoIp = std::make_shared<SetOptions>();
    autoIp->mode = SetMode::AutoIp;
    auto* autoIpCommand = app.add_subcommand(
        "auto-ip",
        "Give a directly cabled module an address beside this computer's (this computer's "
        "address + 10, mask 255.255.0.0); asks first, --yes answers");
    addMac(*autoIpCommand, *autoIp);
    addVerify(*autoIpCommand, *autoIp);
    commands.push_back(
        {autoIpCommand, [autoIp](CliContext& context) { return RunSet(*autoIp, context); }});

    auto configure = std::make_shared<ConfigureOptions>();
    auto* configureCommand =
        app.add_subcommand("configure",
                           "Write the network settings of a CSV file to the modules it names, and "
                           "verify each");
    configureCommand
        ->add_option("--from", configure->file,
                     "CSV file with a header row: mac,ip,mask,gateway,dns or mac,dhcp; a list "
                     "saved from the module list window reads too")
        ->type_name("FILE")
        ->required();
    AddSecondsOption(*configureCommand, "--wait", configure->waitSeconds,
                     "Seconds to find the modules");
    AddSecondsOption(*configureCommand, "--timeout", configure->verifySeconds,
                     "Seconds to wait for the modules to answer with their new settings");
    configureCommand->add_flag("--json", configure->json, "Print the closing report as JSON");
    configureCommand->add_flag("--dry-run", configure->dryRun,
                               "Show what would be written; send nothing but the discovery");
    configureCommand->add_flag(
        "--force", configure->force,
        "Send an address that another row gives or another module answers from all the same");
    commands.push_back({configureCommand, [configure](CliContext& context) {
                            return RunConfigure(*configure, context);
                        }});
}

}  // namespace lanscope::cli
