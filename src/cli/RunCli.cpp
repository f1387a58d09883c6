#include <CLI/CLI.hpp>
#include <iostream>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <sstream>
#include <streambuf>

#include "cli/Commands.h"
#include "common/Endpoints.h"
#include "common/Version.h"
#include "history/HistoryFile.h"
#include "history/HistoryRecorder.h"
#include "platform/AddressProbe.h"
#include "platform/Console.h"
#include "platform/ConsolePrompt.h"
#include "platform/HostInterfaces.h"
#include "platform/PollLoop.h"

namespace lanscope::cli {

// A strict dotted quad into an optional address.
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

CLI::Option* AddSecondsOption(CLI::App& command, const std::string& name, double& target,
                              const std::string& help, double maximum) {
    std::ostringstream fallback;
    fallback << target;
    return command.add_option(name, target, help + " (default " + fallback.str() + ")")
        ->type_name("SECONDS")
        ->check(CLI::Range(0.0, maximum).description(""));
}

namespace {

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

    CliCommands commands;
    for (const auto add : {AddDiscoverCommand, AddSetCommands, AddDoctorCommand, AddImageCommands,
                           AddHistoryCommand, AddPresetCommands, AddUpdateCommand}) {
        add(app, commands);
    }

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
        return AddressAnswers(address, kFerroxPort, std::chrono::seconds(1));
    };
    for (const CliCommand& command : commands) {
        if (*command.command) {
            return command.run(context);
        }
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
