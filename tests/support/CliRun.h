#pragma once

#include <sstream>
#include <string>

#include "SimModule.h"
#include "cli/Commands.h"
#include "support/ListHistory.h"
#include "support/LoopWait.h"
#include "support/RecordingPrompt.h"

namespace lanscope::test {

// A module on loopback with static settings and the names given.
inline sim::ModuleIdentity LoopbackModuleIdentity(std::string name = "Pump",
                                                  std::string name2 = "Hall") {
    sim::ModuleIdentity identity;
    identity.address = kLoopback;
    identity.mask = MakeIpv4(255, 0, 0, 0);
    identity.gateway = MakeIpv4(127, 0, 0, 254);
    identity.dns = MakeIpv4(127, 0, 0, 53);
    identity.name = std::move(name);
    identity.name2 = std::move(name2);
    return identity;
}

// One command run in-process against a module on loopback: what it printed,
// what it asked, what it recorded in the service history.
struct CliRun {
    std::ostringstream out;
    std::ostringstream err;
    RecordingPrompt prompt;
    ListHistory history;
    cli::CliContext context{out, err, prompt, TestLoop(), {}, {}};

    explicit CliRun(std::uint16_t modulePort) {
        context.endpoints = FerroxEndpoints{kLoopback, 0, kLoopback, modulePort};
        context.history = &history;
    }
};

}  // namespace lanscope::test
