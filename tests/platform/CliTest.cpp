#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/Commands.h"
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
    CliContext context{out, err, prompt, {}, {}};

    explicit Cli(std::uint16_t modulePort) {
        context.endpoints = FerroxEndpoints{kLoopback, 0, kLoopback, modulePort};
    }
};

TEST(CliDiscover, PrintsAnAlignedTable) {
    test::LoopbackModule module(StaticModule());
    Cli cli(module.port());
    EXPECT_EQ(RunDiscover({0.5, false}, cli.context), kExitOk);
    EXPECT_EQ(cli.out.str(),
              "MAC                  IP         DHCP  Device Name  Device Name\n"
              "[02-4C-53-00-00-01]  127.0.0.1        Pump         7\tHall\n");
}

TEST(CliDiscover, JsonCarriesColumnsAndRecord) {
    test::LoopbackModule module(StaticModule());
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

TEST(CliDiscover, NamesThatAreNotUtf8DoNotBreakJson) {
    sim::ModuleIdentity identity = StaticModule();
    identity.name = "\xff\xfe";
    test::LoopbackModule module(identity);
    Cli cli(module.port());
    EXPECT_EQ(RunDiscover({0.5, true}, cli.context), kExitOk);
    EXPECT_TRUE(nlohmann::json::accept(cli.out.str()));
}

TEST(CliSet, ChangesOnlyTheNamedSettingsAndVerifies) {
    test::LoopbackModule module(StaticModule());
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

TEST(CliSet, DhcpWritesAddressZero) {
    test::LoopbackModule module(StaticModule());
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
    test::LoopbackModule module(StaticModule());
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
    test::LoopbackModule module(StaticModule());
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
