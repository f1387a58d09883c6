#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "discovery/Datagrams.h"
#include "history/History.h"

namespace lanscope::cli {

// A module a command works on, as the user named it and as it was found.
struct Target {
    std::string given;  // the address or hardware address on the command line
    Ipv4 address = 0;
    std::optional<MacAddress> mac;
    std::string name;  // UTF-8, when a discovery found the module
    std::string name2;
    // Why the module could not be found (it did not answer); empty when it
    // was, or needed no finding.
    std::string missing;
};

// The module as the service history records it.
HistoryModule HistoryModuleOf(const Target& target);

// The modules as the command line names them: an address stands for itself,
// a hardware address is yet to be looked up. Nothing when a name is neither
// (said on `err`).
std::optional<std::vector<Target>> ParseTargets(const std::vector<std::string>& names,
                                                std::ostream& err);

struct TargetRequest {
    std::vector<Target> named;  // as ParseTargets read them
    bool all = false;           // every module that answers
    std::string namePrefix;     // with `all`: only names starting so
    double waitSeconds = 2.0;   // for the discovery, when one is needed
    // A hardware address that does not answer stays a target, with its
    // `missing` reason, rather than ending the resolution: one silent module
    // must not keep the others from their work.
    bool keepMissing = false;
};

// Hardware addresses and --all are looked up in one discovery (which is
// closed again, so the port is free afterwards). Nothing when a hardware
// address did not answer (said on the error stream) unless `keepMissing`.
std::optional<std::vector<Target>> ResolveTargets(const TargetRequest& request,
                                                  CliContext& context);

// What became of one module in a batch.
struct ModuleResult {
    Target target;
    bool ok = false;
    bool skipped = false;  // nothing to do for it (counts as success)
    std::string message;   // why it failed, or what was done
    std::uint64_t bytes = 0;
    double seconds = 0;
};

// What a report is about: its columns and its closing line.
enum class ReportKind {
    Update,         // "N of M modules succeeded."
    UpdatePlan,     // a dry run: what would be updated
    Configure,      // settings written: no bytes, no names as given
    ConfigurePlan,  // a dry run of that
};

// The closing report: a table, or JSON (one object per module).
void PrintReport(std::ostream& out, const std::vector<ModuleResult>& results, bool json,
                 ReportKind kind = ReportKind::Update);

// Where progress for a person goes: the error stream, so that a report on
// standard output stays clean; `terminal` when that stream is one (a bar, a
// line per step), otherwise plain lines or nothing.
struct ProgressStream {
    std::ostream& out;
    bool terminal;
};
ProgressStream ProgressOf(const CliContext& context);

// 0 when every module succeeded, 1 otherwise.
int ExitCodeOf(const std::vector<ModuleResult>& results);

}  // namespace lanscope::cli
