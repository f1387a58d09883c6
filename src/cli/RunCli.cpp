#include <CLI/CLI.hpp>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <sstream>
#include <streambuf>

#include "cli/Commands.h"
#include "common/Version.h"
#include "history/HistoryFile.h"
#include "history/HistoryRecorder.h"
#include "platform/AddressProbe.h"
#include "platform/Console.h"
#include "platform/ConsolePrompt.h"
#include "platform/HostInterfaces.h"
#include "platform/PollLoop.h"

namespace lanscope::cli {

namespace {

// Reads a strict dotted quad into an optional address.
CLI::Option* AddAddressOption(CLI::App& command, const std::string& name,
                              std::optional<Ipv4>& target, const std::string& help) {
    return command
        .add_option_function<std::string>(
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

// Seconds as a number, with its default in the help text itself.
CLI::Option* AddSecondsOption(CLI::App& command, const std::string& name, double& target,
                              const std::string& help, double maximum = 3600.0) {
    std::ostringstream fallback;
    fallback << target;
    return command.add_option(name, target, help + " (default " + fallback.str() + ")")
        ->type_name("SECONDS")
        ->check(CLI::Range(0.0, maximum).description(""));
}

// The first line of a file, without its line end; nothing when unreadable.
std::optional<std::string> FirstLineOf(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::string line;
    if (!file || (!std::getline(file, line) && !file.eof())) {
        return std::nullopt;
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return line;
}

// Stands in for a stream's buffer while it lives: passes what is written on
// and notes whether anything was, and the first line that said something
// (what went wrong comes first; what to do about it, if anything, after). The
// stream stays the same object, so that a command still knows std::cerr.
class WatchedBuffer final : public std::streambuf {
  public:
    explicit WatchedBuffer(std::ostream& stream) : m_stream(stream), m_target(*stream.rdbuf()) {
        m_stream.rdbuf(this);
    }
    ~WatchedBuffer() override { m_stream.rdbuf(&m_target); }
    WatchedBuffer(const WatchedBuffer&) = delete;
    WatchedBuffer& operator=(const WatchedBuffer&) = delete;
    bool written() const { return m_written; }
    std::string firstLine() const { return m_firstLine.empty() ? m_line : m_firstLine; }

  protected:
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof())) {
            return traits_type::not_eof(c);
        }
        const char ch = traits_type::to_char_type(c);
        note(&ch, 1);
        return m_target.sputc(ch);
    }
    std::streamsize xsputn(const char* text, std::streamsize count) override {
        note(text, count);
        return m_target.sputn(text, count);
    }
    int sync() override { return m_target.pubsync(); }

  private:
    void note(const char* text, std::streamsize count) {
        m_written = m_written || count > 0;
        for (std::streamsize i = 0; i < count; ++i) {
            if (!m_firstLine.empty()) {
                return;
            }
            if (text[i] == '\n' || text[i] == '\r') {
                m_firstLine = std::move(m_line);
                m_line.clear();
            } else {
                m_line += text[i];
            }
        }
    }

    std::ostream& m_stream;
    std::streambuf& m_target;
    bool m_written = false;
    std::string m_line;
    std::string m_firstLine;
};

// What a script reading --json gets from a command that failed before it had
// anything to print: the line it was told on stderr and the exit code.
void PrintJsonError(std::ostream& out, const std::string& text, int code) {
    const nlohmann::ordered_json error = {{"error", text}, {"exit", code}};
    out << error.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
}

bool AsksForJson(int argc, char** argv) {
    for (int i = 1; i < argc && std::string_view(argv[i]) != "--"; ++i) {
        if (std::string_view(argv[i]) == "--json") {
            return true;
        }
    }
    return false;
}

// Runs the command the arguments name; a command line that cannot be read
// leaves what was wrong with it in `parseError`.
int RunCommand(int argc, char** argv, std::ostream& out, std::ostream& err,
               std::string& parseError) {
    CLI::App app{"Finds and configures LAN modules on the local network segment.", "lanscope-cli"};
    app.require_subcommand(1);
    // On Windows CLI11 would read "/name" as an option; file names in the
    // Cygwin style ("/cygdrive/c/...") must stay file names.
    app.allow_windows_style_options(false);
    app.set_version_flag("--version", std::string("lanscope-cli ") + version::kProductVersion);
    bool assumeYes = false;
    app.add_flag("--yes", assumeYes, "Answer yes to every question");
    bool noHistory = false;
    const std::string noHistoryHelp = "Record nothing in the service history";
    app.add_flag("--no-history", noHistory, noHistoryHelp);

    DiscoverOptions discover;
    auto* discoverCommand = app.add_subcommand(
        "discover", "Broadcast one discovery request and list the modules that answer");
    AddSecondsOption(*discoverCommand, "--wait", discover.waitSeconds,
                     "Seconds to collect replies");
    discoverCommand->add_flag("--json", discover.json, "Print the list as JSON");

    SetOptions set;
    auto* setCommand = app.add_subcommand(
        "set", "Give a module new static network settings (unnamed settings stay as they are)");
    setCommand->add_option("MAC", set.mac, "The module's hardware address")
        ->required()
        ->type_name("");
    AddAddressOption(*setCommand, "--ip", set.address, "New address");
    AddAddressOption(*setCommand, "--mask", set.mask, "New network mask");
    AddAddressOption(*setCommand, "--gateway", set.gateway, "New gateway");
    AddAddressOption(*setCommand, "--dns", set.dns, "New DNS server");
    setCommand->add_flag("--force", set.force,
                         "Send an address another module answers from all the same");

    SetOptions dhcp;
    dhcp.mode = SetMode::Dhcp;
    auto* dhcpCommand = app.add_subcommand("dhcp", "Switch a module to DHCP");
    dhcpCommand->add_option("MAC", dhcp.mac, "The module's hardware address")
        ->required()
        ->type_name("");

    SetOptions autoIp;
    autoIp.mode = SetMode::AutoIp;
    auto* autoIpCommand = app.add_subcommand(
        "auto-ip",
        "Give a directly cabled module an address beside this computer's (this computer's "
        "address + 10, mask 255.255.0.0); asks first, --yes answers");
    autoIpCommand->add_option("MAC", autoIp.mac, "The module's hardware address")
        ->required()
        ->type_name("");

    for (auto [command, options] : {std::pair{setCommand, &set}, std::pair{dhcpCommand, &dhcp},
                                    std::pair{autoIpCommand, &autoIp}}) {
        command->add_flag("--verify", options->verify,
                          "Wait until the module answers with the new settings");
        AddSecondsOption(*command, "--wait", options->waitSeconds,
                         "Seconds to wait for the modules to answer the first discovery");
        AddSecondsOption(*command, "--timeout", options->verifySeconds,
                         "Seconds --verify waits for the new settings");
    }

    ConfigureOptions configure;
    auto* configureCommand =
        app.add_subcommand("configure",
                           "Write the network settings of a CSV file to the modules it names, and "
                           "verify each");
    configureCommand
        ->add_option("--from", configure.file,
                     "CSV file with a header row: mac,ip,mask,gateway,dns or mac,dhcp; a list "
                     "saved from the module list window reads too")
        ->type_name("FILE")
        ->required();
    AddSecondsOption(*configureCommand, "--wait", configure.waitSeconds,
                     "Seconds to find the modules");
    AddSecondsOption(*configureCommand, "--timeout", configure.verifySeconds,
                     "Seconds to wait for the modules to answer with their new settings");
    configureCommand->add_flag("--json", configure.json, "Print the closing report as JSON");
    configureCommand->add_flag("--dry-run", configure.dryRun,
                               "Show what would be written; send nothing but the discovery");
    configureCommand->add_flag(
        "--force", configure.force,
        "Send an address that another row gives or another module answers from all the same");

    DoctorOptions doctor;
    auto* doctorCommand =
        app.add_subcommand("doctor",
                           "Find out why modules do not answer: interfaces, the port, replies per "
                           "interface, addresses outside every subnet, firewall rules");
    AddSecondsOption(*doctorCommand, "--wait", doctor.waitSeconds,
                     "Seconds to wait on each interface", 60.0);

    ConvertOptions convert;
    auto* convertCommand = app.add_subcommand(
        "convert", "Turn an S-record file into an image file (100-byte header + image)");
    convertCommand->add_option("IN", convert.input, "S-record file")->required()->type_name("");
    convertCommand->add_option("OUT", convert.output, "Image file to write")
        ->required()
        ->type_name("");
    convertCommand
        ->add_option("--description", convert.description,
                     "Module description for the header, e.g. \"Pump (PC42) 1.05\"")
        ->type_name("TEXT");

    InfoOptions info;
    auto* infoCommand = app.add_subcommand("info",
                                           "Show an S-record file's base, length, end, checksum, "
                                           "platform and record counts");
    infoCommand->add_option("IN", info.input, "S-record file")->required()->type_name("");
    infoCommand->add_flag("--json", info.json, "Print as JSON");

    HistoryOptions history;
    auto* historyCommand = app.add_subcommand(
        "history",
        "Show the service history: every update, saved image and settings change, with its "
        "outcome");
    historyCommand->add_option("--mac", history.mac, "Only this module's events")->type_name("MAC");
    AddAddressOption(*historyCommand, "--address", history.address,
                     "Only events of the module at this address");
    historyCommand
        ->add_option("--since", history.since,
                     "Only events from this date (YYYY-MM-DD) or time (YYYY-MM-DDTHH:MM:SS, UTC "
                     "unless it ends in +hh:mm or -hh:mm) on")
        ->type_name("DATE");
    historyCommand
        ->add_option("--action", history.action, "Only updates, settings changes or saved images")
        ->type_name("update|settings|save");
    auto* historyJson = historyCommand->add_flag("--json", history.json, "Print as JSON");
    historyCommand->add_flag("--csv", history.csv, "Print as CSV")->excludes(historyJson);

    PresetCheckOptions presetCheck;
    auto* presetCheckCommand = app.add_subcommand(
        "preset-check", "Show what a preset file would write into a module's web form");
    presetCheckCommand->add_option("FILE", presetCheck.file, "Preset file (.prs)")
        ->required()
        ->type_name("");
    presetCheckCommand->add_flag("--json", presetCheck.json, "Print as JSON");

    UpdateOptions update;
    auto* updateCommand = app.add_subcommand(
        "update",
        "Load the image of an S-record file into modules over the network: one, several at "
        "once, or every module that answers");
    std::vector<std::string> updateArguments;
    updateCommand
        ->add_option("TARGET... FILE", updateArguments,
                     "Module addresses or hardware addresses (looked up by one discovery), "
                     "then the S-record file (*_APP.s19)")
        ->required()
        ->type_name("");
    updateCommand->add_flag("--all", update.all, "Update every module that answers a discovery");
    updateCommand
        ->add_option("--name-prefix", update.namePrefix,
                     "With --all: only modules whose name starts so (any case)")
        ->type_name("PREFIX");
    updateCommand
        ->add_option("--jobs", update.jobs, "How many modules are updated at once (default 4)")
        ->type_name("N")
        ->check(CLI::Range(1, 64).description(""));
    AddSecondsOption(*updateCommand, "--wait", update.waitSeconds,
                     "Seconds the discovery for hardware addresses and --all waits");
    updateCommand->add_flag("--json", update.json, "Print the closing report as JSON");
    updateCommand->add_flag("--dry-run", update.dryRun,
                            "Show what would be done; send nothing but the discovery");
    updateCommand->add_flag("--no-restart", update.noRestart,
                            "Do not ask the module to restart when complete");
    auto* user = updateCommand->add_option("--user", update.user, "User name, if the module asks")
                     ->type_name("USER");
    auto* password = updateCommand
                         ->add_option("--password", update.password,
                                      "Password, if the module asks (other users can see it: "
                                      "prefer --password-file or LANSCOPE_PASSWORD)")
                         ->type_name("PASSWORD")
                         ->needs(user);
    std::string passwordFile;
    updateCommand
        ->add_option("--password-file", passwordFile,
                     "Read the password from the first line of this file")
        ->type_name("FILE")
        ->needs(user)
        ->excludes(password);

    // Before the subcommand or after it, as people type it.
    for (CLI::App* command : app.get_subcommands([](CLI::App*) { return true; })) {
        command->add_flag("--yes", assumeYes, "Answer yes to every question");
        command->add_flag("--no-history", noHistory, noHistoryHelp);
    }

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e, out, err);
        if (code == 0) {
            return kExitOk;
        }
        parseError = e.what();
        return kExitUsage;
    }

    if (*updateCommand && !update.password) {
        // Off the command line, where every local user could read it.
        if (!passwordFile.empty()) {
            auto line = FirstLineOf(passwordFile);
            if (!line) {
                err << "lanscope-cli: cannot read the password file " << passwordFile << '\n';
                return kExitUsage;
            }
            update.password = std::move(*line);
        } else if (const char* fromEnvironment = std::getenv("LANSCOPE_PASSWORD")) {
            update.password = std::string(fromEnvironment);
        }
    }

    FileHistoryRecorder recorder(ThisUsersHistoryFile(),
                                 HistoryIdentityOfThisProcess(kHistoryProgramCli), true);
    // A history that cannot be written never fails the work: one line says
    // so once the command is done, and its exit code stands.
    struct HistoryFailureNote {
        FileHistoryRecorder& recorder;
        std::ostream& err;
        ~HistoryFailureNote() {
            if (const auto failure = recorder.takeFailure()) {
                err << "lanscope-cli: " << failure->text << '\n';
            }
        }
    } historyFailureNote{recorder, err};

    ConsolePrompt prompt(err, assumeYes);
    PollLoop loop;
    CliContext context{out, err, prompt, loop, {}, HostIpv4Addresses};
    context.history = noHistory ? nullptr : &recorder;
    context.historyFile = recorder.path();
    context.addressAnswers = [](Ipv4 address) {
        return AddressAnswers(address, std::chrono::seconds(1));
    };
    if (*discoverCommand) {
        return RunDiscover(discover, context);
    }
    if (*setCommand) {
        if (!set.address && !set.mask && !set.gateway && !set.dns) {
            err << "Nothing to set: give at least one of --ip, --mask, --gateway, --dns.\n";
            return kExitUsage;
        }
        return RunSet(set, context);
    }
    if (*dhcpCommand) {
        return RunSet(dhcp, context);
    }
    if (*autoIpCommand) {
        return RunSet(autoIp, context);
    }
    if (*updateCommand) {
        // The file comes last; the modules before it.
        update.file = updateArguments.back();
        update.targets.assign(updateArguments.begin(), updateArguments.end() - 1);
        if (update.targets.empty() != update.all) {
            err << (update.all ? "With --all, name only the S-record file.\n"
                               : "Name a module (or --all) and the S-record file.\n");
            return kExitUsage;
        }
        return RunUpdate(update, context);
    }
    if (*doctorCommand) {
        return RunDoctor(doctor, context);
    }
    if (*configureCommand) {
        return RunConfigure(configure, context);
    }
    if (*convertCommand) {
        return RunConvert(convert, context);
    }
    if (*infoCommand) {
        return RunInfo(info, context);
    }
    if (*historyCommand) {
        return RunHistory(history, context);
    }
    if (*presetCheckCommand) {
        return RunPresetCheck(presetCheck, context);
    }
    return kExitUsage;
}

}  // namespace

int RunCli(int argc, char** argv, std::ostream& out, std::ostream& err) {
    if (!AsksForJson(argc, argv)) {
        std::string parseError;
        return RunCommand(argc, argv, out, err, parseError);
    }
    std::string parseError;
    int code = kExitOk;
    bool printed = false;
    std::string told;
    {
        WatchedBuffer outBuffer(out);
        WatchedBuffer errBuffer(err);
        code = RunCommand(argc, argv, out, err, parseError);
        printed = outBuffer.written();
        told = errBuffer.firstLine();
    }
    if (code != kExitOk && !printed) {
        PrintJsonError(out, parseError.empty() ? told : parseError, code);
    }
    return code;
}

}  // namespace lanscope::cli
