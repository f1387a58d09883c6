#pragma once

#include <chrono>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "common/Ipv4.h"
#include "common/Prompt.h"
#include "discovery/FerroxSocket.h"
#include "history/History.h"
#include "platform/EventLoop.h"
#include "update/FerroxUpdateSocket.h"

namespace CLI {
class App;
class Option;
}  // namespace CLI

namespace lanscope::cli {

// Exit codes of lanscope-cli.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  // the work could not be done
inline constexpr int kExitUsage = 2;   // the command line was wrong

// Seconds as the options give them, for the waits.
inline std::chrono::milliseconds ToMilliseconds(double seconds) {
    return std::chrono::milliseconds(static_cast<long long>(seconds * 1000.0));
}

struct CliContext {
    std::ostream& out;
    std::ostream& err;
    Prompt& prompt;
    // Delivers the replies while a command waits for them.
    EventLoop& loop;
    FerroxEndpoints endpoints{};
    // This computer's addresses, for automatic address selection.
    std::function<std::vector<Ipv4>()> hostAddresses;
    UpdateEndpoints updateEndpoints{};
    // Whether a device other than the modules already has an address (none
    // is asked when empty).
    std::function<bool(Ipv4)> addressAnswers{};
    // Where the commands record what they did to the modules (RecordHistory);
    // null with --no-history, and where a test does not look.
    HistorySink* history = nullptr;
    // The service history the history command reads.
    std::string historyFile{};
};

struct DiscoverOptions {
    double waitSeconds = 2.0;
    bool json = false;
};
int RunDiscover(const DiscoverOptions& options, CliContext& context);

enum class SetMode {
    Static,  // the named settings
    Dhcp,    // address 0.0.0.0
    AutoIp,  // an address beside this computer's
};

struct SetOptions {
    std::string mac;
    SetMode mode = SetMode::Static;
    std::optional<Ipv4> address;
    std::optional<Ipv4> mask;
    std::optional<Ipv4> gateway;
    std::optional<Ipv4> dns;
    bool verify = false;
    bool force = false;  // send an address another module has all the same
    double waitSeconds = 2.0;
    double verifySeconds = 10.0;
};
int RunSet(const SetOptions& options, CliContext& context);

struct ConfigureOptions {
    std::string file;  // CSV: mac,ip,mask,gateway,dns or mac,dhcp
    double waitSeconds = 2.0;
    double verifySeconds = 10.0;
    bool json = false;
    bool dryRun = false;
    bool force = false;  // send an address another row or module has all the same
};
// Writes the settings of a file to the modules it names and verifies each;
// a row that fails never stops the others.
int RunConfigure(const ConfigureOptions& options, CliContext& context);

struct DoctorOptions {
    double waitSeconds = 1.0;  // per interface
};
// Says why modules may not answer: the interfaces used and skipped, who holds
// the port, replies per interface, modules outside every subnet, firewall
// rules. Exit code 0 when nothing is wrong.
int RunDoctor(const DoctorOptions& options, CliContext& context);

struct ConvertOptions {
    std::string input;
    std::string output;
    std::string description;
};
// Loads an S-record file and writes the image file the update window's
// "Save to file" writes.
int RunConvert(const ConvertOptions& options, CliContext& context);

struct InfoOptions {
    std::string input;
    bool json = false;
};
int RunInfo(const InfoOptions& options, CliContext& context);

struct UpdateOptions {
    std::vector<std::string> targets;  // addresses and hardware addresses
    bool all = false;
    std::string namePrefix;
    double waitSeconds = 2.0;
    int jobs = 4;
    bool json = false;
    bool dryRun = false;
    std::string file;
    bool noRestart = false;
    std::optional<std::string> user;
    std::optional<std::string> password;
    std::chrono::milliseconds tick{1000};
};
// Sends the image of an S-record file to one module, or to several at once
// (up to `jobs` runs beside each other on the one update port); succeeds only
// when every module confirmed its finished update.
int RunUpdate(const UpdateOptions& options, CliContext& context);

struct PresetCheckOptions {
    std::string file;
    bool json = false;
};
// Reads a preset file as the presets window would and prints the fields it
// would write (references followed) and the lines it would ask about.
int RunPresetCheck(const PresetCheckOptions& options, CliContext& context);

struct HistoryOptions {
    std::string mac;  // as typed; empty: every module
    std::optional<Ipv4> address;
    std::string since;   // a date or a time (ParseHistoryTime); empty: from the start
    std::string action;  // update, settings or save; empty: every action
    bool json = false;
    bool csv = false;
};
// Prints the service history: a table, JSON or CSV. Lines of the file that
// cannot be read are told on stderr and do not stop the others.
int RunHistory(const HistoryOptions& options, CliContext& context);

// A subcommand of lanscope-cli and what runs it once the command line is
// read; the options it reads live with `run`, so nothing outlives the parse
// but what the command needs.
struct CliCommand {
    CLI::App* command = nullptr;
    std::function<int(CliContext&)> run;
};
using CliCommands = std::vector<CliCommand>;

// Each file of commands adds its subcommands, their options and the checks
// the parser cannot make to `app`, in the order --help lists them, and what
// runs them to `commands`.
void AddDiscoverCommand(CLI::App& app, CliCommands& commands);
void AddSetCommands(CLI::App& app, CliCommands& commands);  // set, dhcp, auto-ip, configure
void AddDoctorCommand(CLI::App& app, CliCommands& commands);
void AddImageCommands(CLI::App& app, CliCommands& commands);  // convert, info
void AddHistoryCommand(CLI::App& app, CliCommands& commands);
void AddPresetCommands(CLI::App& app, CliCommands& commands);  // preset-check
void AddUpdateCommand(CLI::App& app, CliCommands& commands);

// Options more than one command reads: a strict dotted quad, and seconds
// with their default in the help text itself.
CLI::Option* AddAddressOption(CLI::App& command, const std::string& name,
                              std::optional<Ipv4>& target, const std::string& help);
CLI::Option* AddSecondsOption(CLI::App& command, const std::string& name, double& target,
                              const std::string& help, double maximum = 3600.0);

// Parses the command line and runs the command it names.
int RunCli(int argc, char** argv, std::ostream& out, std::ostream& err);

}  // namespace lanscope::cli
