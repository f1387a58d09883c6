#include <gtest/gtest.h>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>

#include "cli/Commands.h"
#include "platform/ConsoleCredentials.h"
#include "platform/ConsolePrompt.h"
#include "presets/Messages.h"
#include "support/CliRun.h"
#include "support/LoopWait.h"
#include "support/LoopbackModule.h"
#include "support/RecordingPrompt.h"

#include <csignal>

#include "SimFirmware.h"
#include "platform/Console.h"

namespace lanscope::cli {
namespace {

sim::ModuleIdentity StaticModule() {
    return test::LoopbackModuleIdentity("Pump\t7");  // a TAB inside a name stays in its column
}

using Cli = test::CliRun;

TEST(CliDiscover, PrintsAnAlignedTable) {
    test::LoopbackModule module(StaticModule(), test::TestLoop());
    Cli cli(module.port());
    EXPECT_EQ(RunDiscover({0.5, false}, cli.context), kExitOk);
    EXPECT_EQ(cli.out.str(),
              "MAC                  IP         DHCP  Name    Name 2\n"
              "[02-4C-53-00-00-01]  127.0.0.1        Pump\t7  Hall\n");
}

TEST(CliDiscover, JsonCarriesColumnsAndRecord) {
    test::LoopbackModule module(StaticModule(), test::TestLoop());
    Cli cli(module.port());
    EXPECT_EQ(RunDiscover({0.5, true}, cli.context), kExitOk);
    const auto modules = nlohmann::json::parse(cli.out.str());
    ASSERT_EQ(modules.size(), 1u);
    EXPECT_EQ(modules[0]["mac"], "02-4C-53-00-00-01");
    EXPECT_EQ(modules[0]["address"], "127.0.0.1");
    EXPECT_EQ(modules[0]["dhcp"], false);
    EXPECT_EQ(modules[0]["record"]["mask"], "255.0.0.0");
    EXPECT_EQ(modules[0]["record"]["dns"], "127.0.0.53");
    // A second name without a comma tells no firmware.
    EXPECT_EQ(modules[0]["description"], "");
    EXPECT_EQ(modules[0]["version"], "");
}

TEST(CliDiscover, NamesThatAreNotUtf8AreReadAsWindows1252) {
    sim::ModuleIdentity identity = StaticModule();
    identity.name = "\xff\xfe";
    identity.name2 = "Ger\xE4t \x80";
    test::LoopbackModule module(identity, test::TestLoop());
    Cli cli(module.port());
    EXPECT_EQ(RunDiscover({0.5, true}, cli.context), kExitOk);
    const auto modules = nlohmann::json::parse(cli.out.str());
    ASSERT_EQ(modules.size(), 1u);
    EXPECT_EQ(modules[0]["name"], "\u00FF\u00FE");
    EXPECT_EQ(modules[0]["name2"], "Ger\u00E4t \u20AC");
}

TEST(CliSet, ChangesOnlyTheNamedSettingsAndVerifies) {
    test::LoopbackModule module(StaticModule(), test::TestLoop());
    Cli cli(module.port());
    SetOptions options;
    options.mac = "02:4c:53:00:00:01";
    options.gateway = MakeIpv4(127, 0, 0, 1);
    options.verify = true;
    options.verifySeconds = 5;
    EXPECT_EQ(RunSet(options, cli.context), kExitOk) << cli.err.str();
    const ModuleRecord& record = module.module().record();
    EXPECT_EQ(record.gateway(), MakeIpv4(127, 0, 0, 1));
    EXPECT_EQ(record.address(), kLoopback);
    EXPECT_EQ(record.dns(), MakeIpv4(127, 0, 0, 53));
}

// The settings of a file, written and verified, reported as JSON.
ConfigureOptions ConfigureFrom(const std::filesystem::path& file) {
    ConfigureOptions options;
    options.file = file.string();
    options.waitSeconds = 1;
    options.verifySeconds = 5;
    options.json = true;
    return options;
}

TEST(CliConfigure, WritesEachRowAndReportsTheRowsWithoutAModule) {
    test::LoopbackModule module(StaticModule(), test::TestLoop());
    Cli cli(module.port());
    const auto file = std::filesystem::temp_directory_path() /
                      ("lanscope-plan-" + std::to_string(module.port()) + ".csv");
    std::ofstream(file) << "mac,gateway,dns\n"
                           "02-4c-53-00-00-01,127.0.0.9,\n"
                           "02-4c-53-00-00-77,127.0.0.9,\n"
                           "nonsense,,\n";
    ConfigureOptions options = ConfigureFrom(file);
    EXPECT_EQ(RunConfigure(options, cli.context), kExitFailed) << cli.err.str();
    std::filesystem::remove(file);
    EXPECT_EQ(module.module().record().gateway(), MakeIpv4(127, 0, 0, 9));
    EXPECT_EQ(module.module().record().dns(), MakeIpv4(127, 0, 0, 53));  // not named: kept
    const auto report = nlohmann::json::parse(cli.out.str());
    ASSERT_EQ(report.size(), 3u);
    EXPECT_EQ(report[0]["result"], "ok");
    EXPECT_EQ(report[0]["message"], "verified");
    EXPECT_EQ(report[1]["result"], "failed");
    EXPECT_EQ(report[1]["message"], "no module with this hardware address answered");
    EXPECT_EQ(report[2]["message"], "line 4: not a hardware address: \"nonsense\"");
}

TEST(CliSet, DhcpWritesAddressZero) {
    test::LoopbackModule module(StaticModule(), test::TestLoop());
    Cli cli(module.port());
    SetOptions options;
    options.mac = "02-4c-53-00-00-01";
    options.mode = SetMode::Dhcp;
    options.verify = true;
    EXPECT_EQ(RunSet(options, cli.context), kExitOk) << cli.err.str();
    EXPECT_EQ(module.module().record().address(), 0u);
    EXPECT_EQ(module.module().record().mask(), MakeIpv4(255, 0, 0, 0));
}

TEST(CliSet, AutoIpNeedsAYesAndOneHostAddress) {
    test::LoopbackModule module(StaticModule(), test::TestLoop());
    SetOptions options;
    options.mac = "02-4c-53-00-00-01";
    options.mode = SetMode::AutoIp;
    options.verify = true;
    {
        Cli cli(module.port());
        cli.context.hostAddresses = [] { return std::vector<Ipv4>{MakeIpv4(127, 0, 0, 5)}; };
        EXPECT_EQ(RunSet(options, cli.context), kExitFailed);  // the question was answered No
        EXPECT_EQ(module.module().record().address(), kLoopback);
    }
    {
        Cli cli(module.port());
        cli.context.hostAddresses = [] {
            return std::vector<Ipv4>{MakeIpv4(127, 0, 0, 5), MakeIpv4(127, 0, 0, 6)};
        };
        cli.prompt.answers = {true};
        EXPECT_EQ(RunSet(options, cli.context), kExitFailed);
        EXPECT_EQ(cli.prompt.shown.at(0).caption, "Auto IP Update");
    }
    {
        // Another device has this computer's address + 10 already.
        Cli cli(module.port());
        cli.context.hostAddresses = [] { return std::vector<Ipv4>{MakeIpv4(127, 0, 0, 5)}; };
        std::vector<Ipv4> asked;
        cli.context.addressAnswers = [&](Ipv4 address) {
            asked.push_back(address);
            return true;
        };
        cli.prompt.answers = {true};
        EXPECT_EQ(RunSet(options, cli.context), kExitFailed);
        EXPECT_EQ(asked, std::vector<Ipv4>{MakeIpv4(127, 0, 0, 15)});
        EXPECT_NE(cli.err.str().find("Another device on this network already has 127.0.0.15"),
                  std::string::npos)
            << cli.err.str();
        EXPECT_EQ(module.module().record().address(), kLoopback);
    }
    Cli cli(module.port());
    cli.context.hostAddresses = [] { return std::vector<Ipv4>{MakeIpv4(127, 0, 0, 5)}; };
    cli.context.addressAnswers = [](Ipv4) { return false; };
    cli.prompt.answers = {true};
    EXPECT_EQ(RunSet(options, cli.context), kExitOk) << cli.err.str();
    EXPECT_EQ(module.module().record().address(), MakeIpv4(127, 0, 0, 15));
    EXPECT_EQ(module.module().record().mask(), MakeIpv4(255, 255, 0, 0));
}

TEST(CliSet, UnknownOrMalformedHardwareAddressFails) {
    test::LoopbackModule module(StaticModule(), test::TestLoop());
    Cli cli(module.port());
    SetOptions options;
    options.mac = "02-4c-53-00-00-99";
    options.address = kLoopback;
    options.waitSeconds = 0.3;
    EXPECT_EQ(RunSet(options, cli.context), kExitFailed);
    EXPECT_NE(cli.err.str().find("No module with hardware address [02-4C-53-00-00-99]"),
              std::string::npos);

    options.mac = "02-4c-53";
    EXPECT_EQ(RunSet(options, cli.context), kExitUsage);

    // A mask of ones, then zeros, or nothing is sent.
    options.mac = "02-4c-53-00-00-01";
    options.mask = MakeIpv4(255, 0, 255, 0);
    const int before = module.requests();
    EXPECT_EQ(RunSet(options, cli.context), kExitUsage);
    EXPECT_NE(cli.err.str().find("Not a network mask: 255.0.255.0"), std::string::npos);
    EXPECT_EQ(module.requests(), before);
}

TEST(CliConfigure, ReadsASavedListAndSkipsRowsThatChangeNothing) {
    test::LoopbackModule module(StaticModule(), test::TestLoop());
    Cli cli(module.port());
    const auto file = std::filesystem::temp_directory_path() /
                      ("lanscope-list-" + std::to_string(module.port()) + ".csv");
    // As the module list window saves it, with the gateway edited; then a
    // row that only says "not DHCP".
    std::ofstream(file)
        << "mac,address,dhcp,name,name2,record_length,record_address,record_mask,"
           "record_gateway,record_dns\r\n"
           "02-4C-53-00-00-01,127.0.0.1,false,Pump,Hall,148,127.0.0.1,255.0.0.0,127.0.0.9,"
           "127.0.0.53\r\n";
    ConfigureOptions options = ConfigureFrom(file);
    EXPECT_EQ(RunConfigure(options, cli.context), kExitOk) << cli.err.str();
    EXPECT_EQ(module.module().record().gateway(), MakeIpv4(127, 0, 0, 9));
    auto report = nlohmann::json::parse(cli.out.str());
    ASSERT_EQ(report.size(), 1u);
    EXPECT_EQ(report[0]["address"], "127.0.0.1");
    EXPECT_EQ(report[0]["mac"], "02-4C-53-00-00-01");
    EXPECT_EQ(report[0]["result"], "ok");
    EXPECT_FALSE(report[0].contains("module"));
    EXPECT_FALSE(report[0].contains("bytes"));

    std::ofstream(file) << "mac,dhcp\n02-4c-53-00-00-01,no\n";
    Cli again(module.port());
    options.json = false;
    EXPECT_EQ(RunConfigure(options, again.context), kExitOk) << again.err.str();
    std::filesystem::remove(file);
    const std::string table = again.out.str();
    EXPECT_NE(table.find("skipped"), std::string::npos) << table;
    EXPECT_EQ(table.find("BYTES"), std::string::npos) << table;
    EXPECT_EQ(table.find("0.0.0.0"), std::string::npos) << table;
    EXPECT_NE(table.find("1 of 1 modules succeeded (1 skipped)."), std::string::npos) << table;
}

TEST(CliParse, RejectsBadAddressesAndMissingSettings) {
    std::ostringstream out;
    std::ostringstream err;
    const char* badAddress[] = {"lanscope-cli", "set", "02-4c-53-00-00-01", "--ip", "1.2.3"};
    EXPECT_EQ(RunCli(5, const_cast<char**>(badAddress), out, err), kExitUsage);
    const char* nothing[] = {"lanscope-cli", "set", "02-4c-53-00-00-01"};
    EXPECT_EQ(RunCli(3, const_cast<char**>(nothing), out, err), kExitUsage);
    const char* help[] = {"lanscope-cli", "--help"};
    EXPECT_EQ(RunCli(2, const_cast<char**>(help), out, err), kExitOk);
}

// The whole command line as the program gets it, in-process.
int RunArguments(const std::vector<const char*>& arguments, std::ostream& out, std::ostream& err) {
    return RunCli(static_cast<int>(arguments.size()), const_cast<char**>(arguments.data()), out,
                  err);
}

TEST(CliParse, YesAndVersionWhereverPeopleTypeThem) {
    struct Case {
        std::vector<const char*> arguments;
        int code;
        const char* printed;
    };
    const Case cases[] = {
        {{"lanscope-cli", "--version"}, kExitOk, "lanscope-cli 0."},
        // Accepted after the subcommand too (the unknown hardware address
        // stops it before anything is sent).
        {{"lanscope-cli", "auto-ip", "nonsense", "--yes"}, kExitUsage, "Not a hardware address"},
        {{"lanscope-cli", "--yes", "auto-ip", "nonsense"}, kExitUsage, "Not a hardware address"},
        {{"lanscope-cli", "update", "--help"}, kExitOk, "--yes"},
        {{"lanscope-cli", "discover", "--help"}, kExitOk, "--wait SECONDS"},
    };
    for (const Case& c : cases) {
        std::ostringstream out;
        std::ostringstream err;
        const int code = RunArguments(c.arguments, out, err);
        EXPECT_EQ(code, c.code) << c.arguments[1] << ' ' << err.str();
        EXPECT_NE((out.str() + err.str()).find(c.printed), std::string::npos)
            << out.str() << err.str();
        EXPECT_EQ(out.str().find("FLOAT"), std::string::npos) << out.str();
    }
}

// A terminal that answers with the lines given, and records what was read
// and whether it was hidden.
struct ScriptedTerminal {
    bool present = true;
    std::vector<std::string> lines;
    std::vector<bool> hidden;
    TerminalInput input() {
        return {[this] { return present; },
                [this](std::string& line, bool hide) {
                    hidden.push_back(hide);
                    if (hidden.size() > lines.size()) {
                        return false;
                    }
                    line = lines[hidden.size() - 1];
                    return true;
                }};
    }
};

TEST(CliCredentials, AGivenUserIsNeverAskedAgainAndThePasswordIsHidden) {
    struct Case {
        const char* name;
        std::optional<std::string> user;
        std::optional<std::string> password;
        bool terminal;
        std::vector<std::string> typed;
        // What each of two questions gives: user, password; nothing: refused.
        std::vector<std::optional<std::pair<std::string, std::string>>> answers;
        std::vector<bool> hiddenReads;
        const char* told;
    };
    using Pair = std::pair<std::string, std::string>;
    const Case cases[] = {
        {"both given",
         "admin",
         "pw",
         true,
         {"again"},
         {Pair{"admin", "pw"}, Pair{"admin", "again"}},
         {true},
         "did not accept the password"},
        {"user given",
         "admin",
         std::nullopt,
         true,
         {"typed", ""},
         {Pair{"admin", "typed"}, Pair{"admin", ""}},
         {true, true},
         "password of admin"},
        {"user given, no terminal",
         "admin",
         std::nullopt,
         false,
         {},
         {std::nullopt},
         {},
         "give --password"},
        {"nothing given",
         std::nullopt,
         std::nullopt,
         true,
         {"root", "secret"},
         {Pair{"root", "secret"}},
         {false, true},
         "User Name:"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedTerminal terminal;
        terminal.present = c.terminal;
        terminal.lines = c.typed;
        std::ostringstream err;
        ConsoleCredentials credentials(err, c.user, c.password, terminal.input());
        for (const auto& expected : c.answers) {
            std::string user;
            std::string password;
            const bool given = credentials.askCredentials(user, password);
            ASSERT_EQ(given, expected.has_value());
            if (given) {
                EXPECT_EQ(user, expected->first);
                EXPECT_EQ(password, expected->second);
            }
        }
        EXPECT_EQ(terminal.hidden, c.hiddenReads);
        EXPECT_NE(err.str().find(c.told), std::string::npos) << err.str();
        if (c.user) {
            EXPECT_EQ(err.str().find("User Name"), std::string::npos) << err.str();
        }
    }
}

}  // namespace
}  // namespace lanscope::cli

namespace lanscope::cli {
namespace {

struct ImageFiles {
    std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                ("lanscope-cli-" + std::to_string(std::random_device{}()));
    ImageFiles() { std::filesystem::create_directories(dir); }
    ~ImageFiles() { std::filesystem::remove_all(dir); }
    std::string write(const std::string& name, const std::string& text) {
        std::ofstream(dir / name, std::ios::binary) << text;
        return (dir / name).string();
    }
};

struct ConsoleCli {
    std::ostringstream out;
    std::ostringstream err;
    ConsolePrompt prompt{err};
    CliContext context{out, err, prompt, test::TestLoop(), {}, {}};
};

TEST(CliConvert, WritesHeaderAndImage) {
    ImageFiles files;
    const std::string in = files.write("a_APP.s19", "S0030000FC\nS107100001020304DE\nS9030000FC\n");
    const std::string out = (files.dir / "a.bin").string();
    ConsoleCli cli;
    ASSERT_EQ(RunConvert({in, out, "Pump (PC42) 1.05"}, cli.context), kExitOk) << cli.err.str();
    std::ifstream file(out, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(file)), {});
    ASSERT_EQ(bytes.size(), 104u);
    EXPECT_EQ(bytes.substr(0, 16),
              std::string("\x01\0\0\0\x00\x10\0\0\x04\0\0\0\x04\x03\x02\x01", 16));
    EXPECT_EQ(bytes.substr(16, 5), std::string("PC42\0", 5));
    EXPECT_EQ(bytes.substr(36, 6), std::string(" 1.05\0", 6));
    EXPECT_EQ(bytes.substr(100), std::string("\x01\x02\x03\x04"));
}

TEST(CliConvert, LoadFailuresGoToTheErrorStreamInOrder) {
    ImageFiles files;
    const std::string in = files.write("bad_APP.s19", "S107100001020304D0\n");
    ConsoleCli cli;
    EXPECT_EQ(RunConvert({in, (files.dir / "x.bin").string(), ""}, cli.context), kExitFailed);
    // The texts the modules' tools know, then the line a log reader needs.
    EXPECT_EQ(cli.err.str(),
              "lanscope-cli: Checksum Error f1 (line 1)\nlanscope-cli: S record checksum error\n");
    EXPECT_FALSE(std::filesystem::exists(files.dir / "x.bin"));

    ConsoleCli backwards;
    const std::string unsorted =
        files.write("unsorted_APP.s19", "S0030000FC\nS107100001020304DE\nS1070FF001020304EF\n");
    EXPECT_EQ(RunInfo({unsorted, false}, backwards.context), kExitFailed);
    EXPECT_EQ(backwards.err.str(), "lanscope-cli: Srecords must be in asending order (line 3)\n");

    ConsoleCli missing;
    const std::string none = (files.dir / "none.s19").string();
    EXPECT_EQ(RunInfo({none, false}, missing.context), kExitFailed);
    EXPECT_EQ(missing.err.str(),
              "lanscope-cli: Failed to open file\n" + none + ": No such file or directory\n");
}

struct UpdateCli : ConsoleCli {
    ImageFiles files;
    std::string image = files.write("pump_APP.s19", "S107100001020304DE\n");
    UpdateOptions options;
    UpdateCli() {
        options.targets = {"127.0.0.1"};
        options.file = image;
        options.tick = std::chrono::milliseconds(1);
    }
};

TEST(CliUpdate, ATakenPortFailsAtOnceWithTheBindMessage) {
    auto holder = std::move(UdpSocket::open().value());
    ASSERT_TRUE(holder.bind(kLoopback, 0).ok());
    UpdateCli cli;
    cli.context.updateEndpoints = UpdateEndpoints{kLoopback, holder.localPort().value(), 9};
    EXPECT_EQ(RunUpdate(cli.options, cli.context), kExitFailed);
    EXPECT_NE(cli.err.str().find("Error on Bind"), std::string::npos) << cli.err.str();
    EXPECT_EQ(cli.err.str().find("Timeout"), std::string::npos) << cli.err.str();
}

TEST(CliUpdate, ASilentModuleIsToldAboutAtEveryRequestSentAgain) {
    auto silent = std::move(UdpSocket::open().value());
    ASSERT_TRUE(silent.bind(kLoopback, 0).ok());
    UpdateCli cli;
    cli.context.updateEndpoints = UpdateEndpoints{kLoopback, 0, silent.localPort().value()};
    EXPECT_EQ(RunUpdate(cli.options, cli.context), kExitFailed);
    const std::string err = cli.err.str();
    for (const char* told :
         {"no answer from 127.0.0.1, asking again (1 of 3)\n",
          "no answer from 127.0.0.1, asking again (3 of 3)\n", "Programming Failed: Timeout"}) {
        EXPECT_NE(err.find(told), std::string::npos) << err;
    }
    EXPECT_EQ(err.find("(4 of 3)"), std::string::npos) << err;
    // Progress goes with the notices, never into what scripts read.
    EXPECT_EQ(cli.out.str().find("progress"), std::string::npos) << cli.out.str();
}

TEST(CliUpdate, ADryRunSaysWhatWouldBeDone) {
    UpdateCli cli;
    cli.options.dryRun = true;
    EXPECT_EQ(RunUpdate(cli.options, cli.context), kExitOk) << cli.err.str();
    EXPECT_NE(cli.out.str().find("Would update 1 module."), std::string::npos) << cli.out.str();
    EXPECT_EQ(cli.out.str().find("succeeded"), std::string::npos) << cli.out.str();
}

TEST(CliUpdate, ANamePrefixThatMatchesNoModuleListsTheNamesThatAnswered) {
    test::LoopbackModule module(StaticModule(), test::TestLoop());
    UpdateCli cli;
    cli.context.endpoints = FerroxEndpoints{kLoopback, 0, kLoopback, module.port()};
    cli.options.targets.clear();
    cli.options.all = true;
    cli.options.namePrefix = "Boiler";
    cli.options.waitSeconds = 0.5;
    EXPECT_EQ(RunUpdate(cli.options, cli.context), kExitFailed);
    EXPECT_NE(cli.err.str().find("No module's name starts with \"Boiler\"; 1 module answered: "
                                 "\"Pump\t7\"."),
              std::string::npos)
        << cli.err.str();
}

// The firmware side of a module on 127.0.0.1, answering the sender at once.
class LoopbackFirmware {
  public:
    explicit LoopbackFirmware(sim::FirmwareOptions options) : m_firmware(std::move(options)) {
        m_socket = std::move(UdpSocket::open().value());
        (void)m_socket.bind(kLoopback, 0);
        m_watch = test::TestLoop().watchReadable(m_socket.handle(), [this] { onReadable(); });
    }
    std::uint16_t port() const { return m_socket.localPort().value(); }

  private:
    void onReadable() {
        std::array<std::uint8_t, 2048> buffer;
        while (auto received = m_socket.receiveFrom(buffer)) {
            for (const auto& reply :
                 m_firmware.handle(std::span(buffer.data(), received->size)).replies) {
                (void)m_socket.sendTo(reply, received->sender, received->senderPort);
            }
        }
    }

    sim::SimFirmware m_firmware;
    UdpSocket m_socket;
    std::unique_ptr<EventLoop::Registration> m_watch;
};

// An update command against one loopback firmware, its history in a list.
struct FirmwareCli : UpdateCli {
    LoopbackFirmware firmware;
    test::ListHistory history;
    explicit FirmwareCli(sim::FirmwareOptions options = {}) : firmware(std::move(options)) {
        context.updateEndpoints = UpdateEndpoints{kLoopback, 0, firmware.port()};
        context.history = &history;
    }
    // The outcomes recorded, in order.
    std::vector<HistoryResult> outcomes() const {
        std::vector<HistoryResult> results;
        for (const HistoryEvent& event : history.events) {
            if (event.result != HistoryResult::Started) {
                results.push_back(event.result);
            }
        }
        return results;
    }
};

TEST(CliUpdate, ADeclinedUpdateSaysSoAfterTheFailure) {
    sim::FirmwareOptions declining;
    declining.startVerdict = UpdateReplyType::Declined;
    FirmwareCli cli(declining);
    EXPECT_EQ(RunUpdate(cli.options, cli.context), kExitFailed);
    EXPECT_NE(cli.err.str().find("Update failed.\nThe module declined the update.\n"),
              std::string::npos)
        << cli.err.str();
    EXPECT_EQ(cli.outcomes(), std::vector<HistoryResult>{HistoryResult::Failed});
}

TEST(CliUpdate, CredentialsNobodyCanGiveAreAFailureRecordedWithTheirMessage) {
    if (IsTerminal(ConsoleStream::Input)) {
        GTEST_SKIP() << "standard input is a terminal: the password would be asked for";
    }
    sim::FirmwareOptions locked;
    locked.requireCredentials = true;
    locked.user = "admin";
    locked.password = "secret";
    FirmwareCli cli(locked);
    EXPECT_EQ(RunUpdate(cli.options, cli.context), kExitFailed);
    ASSERT_EQ(cli.outcomes(), std::vector<HistoryResult>{HistoryResult::Failed});
    EXPECT_NE(cli.history.events.back().message.find("give --user and --password"),
              std::string::npos)
        << cli.history.events.back().message;
}

// One hardware address that nobody answers for is one failed line of the
// report; the other module is updated all the same.
TEST(CliUpdate, AModuleThatDoesNotAnswerFailsAloneInABatch) {
    test::LoopbackModule pump(StaticModule(), test::TestLoop());
    FirmwareCli cli;
    cli.context.endpoints = FerroxEndpoints{kLoopback, 0, kLoopback, pump.port()};
    cli.options.targets = {"127.0.0.1", "02-00-00-00-00-09"};
    cli.options.waitSeconds = 0.3;
    cli.options.json = true;
    EXPECT_EQ(RunUpdate(cli.options, cli.context), kExitFailed) << cli.err.str();
    const auto report = nlohmann::json::parse(cli.out.str());
    ASSERT_EQ(report.size(), 2u) << cli.out.str();
    EXPECT_EQ(report[0]["result"], "ok");
    EXPECT_EQ(report[1]["result"], "failed");
    EXPECT_EQ(report[1]["mac"], "02-00-00-00-00-09");
    EXPECT_NE(report[1]["message"].get<std::string>().find("answered within"), std::string::npos);
    EXPECT_EQ(cli.outcomes(), std::vector<HistoryResult>{HistoryResult::Ok});
}

TEST(CliUpdate, ABatchWithoutItsPortRecordsEveryModuleAsFailed) {
    auto holder = std::move(UdpSocket::open().value());
    ASSERT_TRUE(holder.bind(kLoopback, 0).ok());
    FirmwareCli cli;
    cli.context.updateEndpoints = UpdateEndpoints{kLoopback, holder.localPort().value(), 9};
    cli.options.targets = {"127.0.0.1", "127.0.0.2"};
    EXPECT_EQ(RunUpdate(cli.options, cli.context), kExitFailed);
    EXPECT_EQ(cli.outcomes(),
              (std::vector<HistoryResult>{HistoryResult::Failed, HistoryResult::Failed}));
    for (const HistoryEvent& event : cli.history.events) {
        if (event.result == HistoryResult::Failed) {
            EXPECT_NE(event.message.find("Error on Bind"), std::string::npos) << event.message;
        }
    }
}

// Ctrl-C or SIGTERM while modules are updated: every run ends as cancelled,
// recorded so, with the exit code a shell expects.
TEST(CliUpdate, ASignalCancelsTheRunsRecordsThemAndSetsTheExitCode) {
    struct Case {
        int signal;
        std::vector<std::string> targets;
        int exitCode;
    };
    const Case cases[] = {
        {SIGTERM, {"127.0.0.1"}, 143},
        {SIGINT, {"127.0.0.1", "127.0.0.2"}, 130},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.exitCode);
        sim::FirmwareOptions silent;
        silent.keepAliveOnly = true;
        FirmwareCli cli(silent);
        cli.options.targets = c.targets;
        cli.options.tick = std::chrono::milliseconds(1000);
        // Once the runs are under way, as a person at the terminal would.
        bool raised = false;
        const auto later = test::TestLoop().startTimer(std::chrono::milliseconds(1), true, [&] {
            if (!raised && cli.history.events.size() == c.targets.size()) {
                raised = true;
                std::raise(c.signal);
            }
        });
        EXPECT_EQ(RunUpdate(cli.options, cli.context), c.exitCode) << cli.err.str();
        EXPECT_EQ(cli.outcomes(),
                  std::vector<HistoryResult>(c.targets.size(), HistoryResult::Cancelled));
    }
}

TEST(CliInfo, JsonNamesBaseLengthEndChecksumPlatformAndRecords) {
    ImageFiles files;
    const std::string in =
        files.write("a_APP.s19", "S0030000FC\nS107100301020304DB\nS5030001FB\nS9030000FC\n");
    ConsoleCli cli;
    ASSERT_EQ(RunInfo({in, true}, cli.context), kExitOk) << cli.err.str();
    const auto info = nlohmann::json::parse(cli.out.str());
    EXPECT_EQ(info["base"], 0x1003);
    EXPECT_EQ(info["length"], 5);
    EXPECT_EQ(info["end"], 0x1008);
    EXPECT_EQ(info["checksum"], "0x01020304");  // 01020304, then 00 and zeros
    EXPECT_EQ(info["platform"], "030000FC");
    EXPECT_EQ(info["records"]["S1"], 1);
    EXPECT_EQ(info["records"]["S5"], 1);
    EXPECT_EQ(info["records"]["S9"], 1);
}

TEST(CliPresetCheck, PrintsTheFieldsAsWrittenAndTheLinesItWouldAskAbout) {
    ImageFiles files;
    const std::string in = files.write("pump.prs",
                                       "ip = 10.0.0.1\nalias=ip\nnote\nname=S\xFC"
                                       "d\n");
    ConsoleCli cli;
    ASSERT_EQ(RunPresetCheck({in, true}, cli.context), kExitOk) << cli.err.str();
    const auto report = nlohmann::json::parse(cli.out.str());
    EXPECT_EQ(report["fields"].size(), 3u);
    EXPECT_EQ(report["fields"][1]["value"], "10.0.0.1");
    EXPECT_EQ(report["fields"][2]["value"], "S\u00FCd");
    ASSERT_EQ(report["questions"].size(), 1u);
    EXPECT_EQ(report["questions"][0]["line"], 3);

    ConsoleCli missing;
    EXPECT_EQ(RunPresetCheck({files.dir.string(), false}, missing.context), kExitFailed);
    EXPECT_NE(missing.err.str().find("file access error"), std::string::npos);
}

TEST(CliPresetCheck, ShowsTheControlCharactersOfAFileInsteadOfSendingThemToTheTerminal) {
    ImageFiles files;
    const std::string in =
        files.write("evil.prs", "\x1b]0;owned\x07title = \x1b[2Jcleared\tend\r\nbell\x07 line\n");
    ConsoleCli cli;
    ASSERT_EQ(RunPresetCheck({in, false}, cli.context), kExitOk) << cli.err.str();
    EXPECT_EQ(cli.out.str(),
              "\\x1b]0;owned\\x07title = \\x1b[2Jcleared\\tend\n1 field, 1 question\n");
    EXPECT_EQ(cli.err.str(), "line 2: \"bell\\x07 line\" would ask \"" +
                                 std::string(messages::kPresetFormatQuestion) + "\"\n");
    // The JSON report holds the text itself, escaped as JSON does.
    ConsoleCli json;
    ASSERT_EQ(RunPresetCheck({in, true}, json.context), kExitOk);
    EXPECT_EQ(nlohmann::json::parse(json.out.str())["fields"][0]["value"], "\x1b[2Jcleared\tend");
}

TEST(CliConfigure, RefusesOneAddressForTwoModulesBeforeAnythingIsSent) {
    test::LoopbackModule module(StaticModule(), test::TestLoop());
    const auto file = std::filesystem::temp_directory_path() /
                      ("lanscope-twice-" + std::to_string(module.port()) + ".csv");
    std::ofstream(file) << "mac,ip,gateway\n"
                           "02-4c-53-00-00-01,127.0.0.7,127.0.0.9\n"
                           "02-4c-53-00-00-77,127.0.0.7,127.0.0.9\n";
    Cli cli(module.port());
    ConfigureOptions options = ConfigureFrom(file);
    EXPECT_EQ(RunConfigure(options, cli.context), kExitFailed) << cli.err.str();
    EXPECT_EQ(module.module().record().gateway(), MakeIpv4(127, 0, 0, 254));  // nothing sent
    const auto report = nlohmann::json::parse(cli.out.str());
    ASSERT_EQ(report.size(), 2u);
    EXPECT_EQ(report[0]["result"], "failed");
    EXPECT_EQ(report[0]["message"],
              "line 2: 127.0.0.7 is given in line 3 as well (--force sends it all the same)");
    EXPECT_TRUE(cli.history.events.empty());
}

// What a script that reads --json gets when the command fails before its work.
TEST(CliJson, AFailureBeforeTheWorkPrintsOneObjectNamingTheError) {
    const std::string missing =
        (std::filesystem::temp_directory_path() / "lanscope-no-such-file_APP.s19").string();
    struct Case {
        std::vector<const char*> arguments;
        int code;
        const char* error;  // a part of it
    };
    const Case cases[] = {
        {{"lanscope-cli", "discover", "--json", "--bogus"}, kExitUsage, "--bogus"},
        {{"lanscope-cli", "info", "--json", missing.c_str()}, kExitFailed, "Failed to open"},
        {{"lanscope-cli", "configure", "--from", missing.c_str(), "--json"},
         kExitFailed,
         "Cannot read"},
        {{"lanscope-cli", "update", "--json", missing.c_str()}, kExitUsage, "Name a module"},
    };
    for (const Case& c : cases) {
        std::ostringstream out;
        std::ostringstream err;
        const int code = RunArguments(c.arguments, out, err);
        EXPECT_EQ(code, c.code) << c.arguments[1] << ' ' << err.str();
        EXPECT_NE(err.str(), "") << c.arguments[1];  // the line for people stays
        const auto printed = nlohmann::json::parse(out.str(), nullptr, false);
        ASSERT_TRUE(printed.is_object()) << c.arguments[1] << ": " << out.str();
        EXPECT_EQ(printed["exit"], c.code) << c.arguments[1];
        EXPECT_NE(printed["error"].get<std::string>().find(c.error), std::string::npos)
            << c.arguments[1] << ": " << out.str();
    }
}

}  // namespace
}  // namespace lanscope::cli
