#include <gtest/gtest.h>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>

#include "cli/Commands.h"
#include "platform/ConsolePrompt.h"
#include "support/LoopWait.h"
#include "support/LoopbackModule.h"
#include "support/RecordingPrompt.h"

namespace lanscope::cli {
namespace {

sim::ModuleIdentity StaticModule() {
    sim::ModuleIdentity identity;
    identity.address = kLoopback;
    identity.mask = MakeIpv4(255, 0, 0, 0);
    identity.gateway = MakeIpv4(127, 0, 0, 254);
    identity.dns = MakeIpv4(127, 0, 0, 53);
    identity.name = "Pump\t7";  // a TAB inside a name stays in its column
    identity.name2 = "Hall";
    return identity;
}

struct Cli {
    std::ostringstream out;
    std::ostringstream err;
    test::RecordingPrompt prompt;
    CliContext context{out, err, prompt, test::TestLoop(), {}, {}};

    explicit Cli(std::uint16_t modulePort) {
        context.endpoints = FerroxEndpoints{kLoopback, 0, kLoopback, modulePort};
    }
};

TEST(CliDiscover, PrintsAnAlignedTable) {
    test::LoopbackModule module(StaticModule(), test::TestLoop());
    Cli cli(module.port());
    EXPECT_EQ(RunDiscover({0.5, false}, cli.context), kExitOk);
    EXPECT_EQ(cli.out.str(),
              "MAC                  IP         DHCP  Device Name  Device Name\n"
              "[02-4C-53-00-00-01]  127.0.0.1        Pump         7\tHall\n");
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

TEST(CliConfigure, WritesEachRowAndReportsTheRowsWithoutAModule) {
    test::LoopbackModule module(StaticModule(), test::TestLoop());
    Cli cli(module.port());
    const auto file = std::filesystem::temp_directory_path() /
                      ("lanscope-plan-" + std::to_string(module.port()) + ".csv");
    std::ofstream(file) << "mac,gateway,dns\n"
                           "02-4c-53-00-00-01,127.0.0.9,\n"
                           "02-4c-53-00-00-77,127.0.0.9,\n"
                           "nonsense,,\n";
    ConfigureOptions options;
    options.file = file.string();
    options.waitSeconds = 1;
    options.verifySeconds = 5;
    options.json = true;
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
    Cli cli(module.port());
    cli.context.hostAddresses = [] { return std::vector<Ipv4>{MakeIpv4(127, 0, 0, 5)}; };
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
    EXPECT_EQ(cli.err.str(),
              "lanscope-cli: Checksum Error f1\nlanscope-cli: S record checksum error\n");
    EXPECT_FALSE(std::filesystem::exists(files.dir / "x.bin"));

    ConsoleCli missing;
    EXPECT_EQ(RunInfo({(files.dir / "none.s19").string(), false}, missing.context), kExitFailed);
    EXPECT_EQ(missing.err.str(), "lanscope-cli: Failed to open file\n");
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

}  // namespace
}  // namespace lanscope::cli
