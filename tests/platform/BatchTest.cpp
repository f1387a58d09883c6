#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/Batch.h"
#include "support/LoopWait.h"
#include "support/LoopbackModule.h"
#include "support/RecordingPrompt.h"

namespace lanscope::cli {
namespace {

constexpr MacAddress kPumpMac{0x02, 0x4C, 0x53, 0x00, 0x00, 0x01};

// One module on loopback named "Pump", which a discovery finds.
struct Batch {
    test::LoopbackModule module{[] {
                                    sim::ModuleIdentity identity;
                                    identity.address = kLoopback;
                                    identity.name = "Pump";
                                    return identity;
                                }(),
                                test::TestLoop()};
    std::ostringstream out;
    std::ostringstream err;
    test::RecordingPrompt prompt;
    CliContext context{
        out, err, prompt, test::TestLoop(), FerroxEndpoints{kLoopback, 0, kLoopback, module.port()},
        {}};
};

// What the command line asks for: the names as typed, and the request they
// make once each is read.
struct Asked {
    std::vector<std::string> names;
    TargetRequest request;
};

Asked Named(std::vector<std::string> names) {
    return {std::move(names), {}};
}

Asked AllStartingWith(std::string prefix) {
    Asked asked;
    asked.request.all = true;
    asked.request.namePrefix = std::move(prefix);
    return asked;
}

TEST(Batch, TargetsByAddressHardwareAddressOrNamePrefix) {
    struct Case {
        const char* what;
        Asked asked;
        std::vector<std::string> given;  // of the targets; none: nothing resolved
        std::string err;                 // what the error stream must hold
    };
    const Case cases[] = {
        {"an address stands for itself", Named({"192.0.2.9"}), {"192.0.2.9"}, ""},
        {"a hardware address is looked up",
         Named({"02-4c-53-00-00-01"}),
         {"02-4c-53-00-00-01"},
         ""},
        {"one module named twice is one target",
         Named({"127.0.0.1", "02:4C:53:00:00:01"}),
         {"127.0.0.1"},
         ""},
        {"every module whose name starts so, letter case ignored",
         AllStartingWith("pu"),
         {"127.0.0.1"},
         ""},
        {"a prefix that matches none lists the names that answered",
         AllStartingWith("Boiler"),
         {},
         "No module's name starts with \"Boiler\"; 1 module answered: \"Pump\".\n"},
        {"a hardware address that does not answer",
         Named({"127.0.0.1", "02-00-00-00-00-09"}),
         {},
         "No module with hardware address [02-00-00-00-00-09] answered within 0.3 s.\n"},
        {"neither kind of address",
         Named({"192.0.2.9", "pump"}),
         {},
         "Neither an IPv4 nor a hardware address: \"pump\"\n"},
    };
    for (Case c : cases) {
        SCOPED_TRACE(c.what);
        Batch batch;
        c.asked.request.waitSeconds = 0.3;
        std::optional<std::vector<Target>> targets;
        if (auto named = ParseTargets(c.asked.names, batch.err)) {
            c.asked.request.named = std::move(*named);
            targets = ResolveTargets(c.asked.request, batch.context);
        }
        EXPECT_EQ(batch.err.str(), c.err);
        EXPECT_EQ(targets.has_value(), !c.given.empty());
        if (!targets) {
            continue;
        }
        std::vector<std::string> given;
        for (const Target& target : *targets) {
            given.push_back(target.given);
            // Whatever named it, a module found by discovery is fully known.
            if (target.mac) {
                EXPECT_EQ(target.address, kLoopback);
                EXPECT_EQ(*target.mac, kPumpMac);
                EXPECT_EQ(target.name, "Pump");
            }
        }
        EXPECT_EQ(given, c.given);
    }
}

ModuleResult Outcome(const char* address, bool ok, bool skipped = false) {
    ModuleResult result;
    result.target.given = address;
    result.target.address = ParseIpv4Strict(address).value_or(0);
    result.target.mac = kPumpMac;
    result.ok = ok;
    result.skipped = skipped;
    result.message = ok ? "" : "Programming Failed: Timeout";
    return result;
}

TEST(Batch, TheReportCountsEachOutcomeAndTheExitCodeFailsOnAnyFailure) {
    struct Case {
        const char* what;
        std::vector<ModuleResult> results;
        ReportKind kind;
        std::string closing;  // the report's last line
        int exitCode;
    };
    const Case cases[] = {
        {"all succeeded",
         {Outcome("192.0.2.1", true), Outcome("192.0.2.2", true)},
         ReportKind::Update,
         "2 of 2 modules succeeded.",
         kExitOk},
        {"one failed",
         {Outcome("192.0.2.1", true), Outcome("192.0.2.2", false)},
         ReportKind::Update,
         "1 of 2 modules succeeded.",
         kExitFailed},
        {"skipped counts as success",
         {Outcome("192.0.2.1", true, true), Outcome("192.0.2.2", true), Outcome("", false)},
         ReportKind::Configure,
         "2 of 3 modules succeeded (1 skipped).",
         kExitFailed},
        {"a dry run",
         {Outcome("192.0.2.1", true), Outcome("192.0.2.2", false),
          Outcome("192.0.2.3", true, true)},
         ReportKind::UpdatePlan,
         "Would update 1 module; 1 module would fail; 1 module skipped.",
         kExitFailed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::ostringstream table;
        PrintReport(table, c.results, false, c.kind);
        std::istringstream text(table.str());
        std::vector<std::string> lines;
        for (std::string line; std::getline(text, line);) {
            lines.push_back(line);
        }
        // A header, one line per module with its outcome, the closing line.
        ASSERT_EQ(lines.size(), c.results.size() + 2) << table.str();
        for (std::size_t i = 0; i < c.results.size(); ++i) {
            const ModuleResult& result = c.results[i];
            const std::string outcome = result.skipped ? "skipped" : result.ok ? "ok" : "FAILED";
            EXPECT_NE(lines[i + 1].find("  " + outcome + "  "), std::string::npos) << lines[i + 1];
        }
        EXPECT_EQ(lines.back(), c.closing);
        EXPECT_EQ(ExitCodeOf(c.results), c.exitCode);

        std::ostringstream json;
        PrintReport(json, c.results, true, c.kind);
        const auto entries = nlohmann::json::parse(json.str());
        ASSERT_EQ(entries.size(), c.results.size());
        for (std::size_t i = 0; i < c.results.size(); ++i) {
            const ModuleResult& result = c.results[i];
            EXPECT_EQ(entries[i]["result"], result.skipped ? "skipped"
                                            : result.ok    ? "ok"
                                                           : "failed");
            EXPECT_EQ(entries[i]["address"], result.target.address == 0 ? "" : result.target.given);
            EXPECT_EQ(entries[i]["message"], result.message);
        }
    }
}

}  // namespace
}  // namespace lanscope::cli
