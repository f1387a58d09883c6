#include "cli/Batch.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <nlohmann/json.hpp>
#include <ostream>
#include <sstream>

#include "cli/Table.h"
#include "common/Text.h"
#include "discovery/DiscoverySession.h"
#include "platform/Console.h"

namespace lanscope::cli {

namespace {

bool StartsWithIgnoringCase(const std::string& text, const std::string& prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) ==
                      std::tolower(static_cast<unsigned char>(b));
           });
}

Target TargetOf(const ModuleList& list, std::size_t row, const std::string& given) {
    const ListFields& columns = list.fields(row);
    Target target;
    target.given = given;
    target.mac = list.record(row).mac();
    target.name = EightBitToUtf8(columns.name);
    target.name2 = EightBitToUtf8(columns.name2);
    // The address it answered from: a module on DHCP reports none of its own.
    target.address = ParseIpv4Strict(columns.address).value_or(list.record(row).address());
    return target;
}

}  // namespace

std::optional<std::vector<Target>> ParseTargets(const std::vector<std::string>& names,
                                                std::ostream& err) {
    std::vector<Target> targets;
    for (const std::string& name : names) {
        Target target;
        target.given = name;
        if (const auto address = ParseIpv4Strict(name)) {
            target.address = *address;
        } else if (const auto mac = ParseMac(name)) {
            target.mac = *mac;
        } else {
            err << "Neither an IPv4 nor a hardware address: \"" << name << "\"\n";
            return std::nullopt;
        }
        targets.push_back(std::move(target));
    }
    return targets;
}

std::optional<std::vector<Target>> ResolveTargets(const TargetRequest& request,
                                                  CliContext& context) {
    std::vector<Target> targets = request.named;
    std::vector<std::pair<std::size_t, MacAddress>> byMac;  // index into targets
    for (std::size_t index = 0; index < targets.size(); ++index) {
        if (targets[index].mac) {
            byMac.emplace_back(index, *targets[index].mac);
        }
    }
    if (byMac.empty() && !request.all) {
        return targets;
    }

    DiscoverySession discovery(context.prompt, context.loop, context.endpoints);
    if (!discovery.open()) {
        return std::nullopt;
    }
    (void)discovery.request();
    const auto wait = ToMilliseconds(request.waitSeconds);
    const auto allFound = [&] {
        return std::all_of(byMac.begin(), byMac.end(),
                           [&](const auto& entry) { return discovery.findMac(entry.second); });
    };
    // With --all every answer counts, so the whole time is waited.
    discovery.waitFor(wait, request.all ? std::function<bool()>() : allFound);
    discovery.close();

    bool missing = false;
    for (const auto& [index, mac] : byMac) {
        const auto row = discovery.findMac(mac);
        if (!row) {
            std::ostringstream why;
            why << "No module with hardware address " << FormatMacBracketed(mac)
                << " answered within " << request.waitSeconds << " s.";
            context.err << why.str() << '\n';
            targets[index].missing = why.str();
            missing = true;
            continue;
        }
        targets[index] = TargetOf(discovery.list(), *row, targets[index].given);
    }
    if (missing && !request.keepMissing) {
        return std::nullopt;
    }
    // A module named twice (by address and by hardware address) is one
    // module: two runs at once would spoil each other's transfer.
    std::vector<Target> unique;
    for (Target& target : targets) {
        // Those that did not answer have no address to share.
        const bool seen = target.missing.empty() &&
                          std::any_of(unique.begin(), unique.end(), [&](const Target& t) {
                              return t.missing.empty() && t.address == target.address;
                          });
        if (!seen) {
            unique.push_back(std::move(target));
        }
    }
    targets = std::move(unique);
    if (request.all) {
        const ModuleList& list = discovery.list();
        std::string names;  // of the modules that answered, for a prefix that matched none
        for (std::size_t row = 0; row < list.size(); ++row) {
            Target found = TargetOf(list, row, "");
            found.given = FormatIpv4(found.address);
            names += (names.empty() ? "\"" : ", \"") + found.name + "\"";
            const bool named = std::any_of(targets.begin(), targets.end(), [&](const Target& t) {
                return t.address == found.address;
            });
            if (!named && StartsWithIgnoringCase(found.name, request.namePrefix)) {
                targets.push_back(std::move(found));
            }
        }
        if (targets.empty()) {
            if (list.size() == 0) {
                context.err << "No module answered within " << request.waitSeconds << " s.\n";
            } else {
                context.err << "No module's name starts with \"" << request.namePrefix << "\"; "
                            << list.size() << (list.size() == 1 ? " module" : " modules")
                            << " answered: " << names << ".\n";
            }
            return std::nullopt;
        }
    }
    return targets;
}

void PrintReport(std::ostream& out, const std::vector<ModuleResult>& results, bool json,
                 ReportKind kind) {
    const bool configure = kind == ReportKind::Configure || kind == ReportKind::ConfigurePlan;
    const auto resultText = [](const ModuleResult& result) {
        return result.skipped ? "skipped" : result.ok ? "ok" : "failed";
    };
    // A module that never answered has no address to show.
    const auto addressText = [](const ModuleResult& result) {
        return result.target.address == 0 ? std::string() : FormatIpv4(result.target.address);
    };
    if (json) {
        auto list = nlohmann::ordered_json::array();
        for (const ModuleResult& result : results) {
            nlohmann::ordered_json entry;
            if (!configure) {
                entry["module"] = EightBitToUtf8(result.target.given);
            }
            entry["address"] = addressText(result);
            entry["mac"] = result.target.mac
                               ? nlohmann::ordered_json(FormatMacPlain(*result.target.mac))
                               : nlohmann::ordered_json(nullptr);
            entry["name"] = result.target.name;
            entry["result"] = resultText(result);
            entry["message"] = EightBitToUtf8(result.message);
            if (!configure) {
                entry["bytes"] = result.bytes;
            }
            entry["seconds"] = result.seconds;
            list.push_back(std::move(entry));
        }
        out << list.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
        return;
    }
    std::vector<std::vector<std::string>> rows;
    for (const ModuleResult& result : results) {
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.2f", result.seconds);
        std::vector<std::string> row{
            addressText(result),
            result.target.mac ? FormatMacPlain(*result.target.mac) : std::string(),
            result.skipped ? "skipped"
            : result.ok    ? "ok"
                           : "FAILED"};
        if (!configure) {
            row.push_back(std::to_string(result.bytes));
        }
        row.push_back(seconds);
        row.push_back(EightBitToUtf8(result.message));
        rows.push_back(std::move(row));
    }
    std::vector<std::string> header{"MODULE", "MAC", "RESULT"};
    if (!configure) {
        header.push_back("BYTES");
    }
    header.insert(header.end(), {"SECONDS", "MESSAGE"});
    PrintTable(out, header, rows);

    const auto count = [&](auto predicate) {
        return static_cast<std::size_t>(std::count_if(results.begin(), results.end(), predicate));
    };
    const std::size_t skipped = count([](const ModuleResult& r) { return r.skipped; });
    const std::size_t done = count([](const ModuleResult& r) { return r.ok && !r.skipped; });
    const std::size_t failed = count([](const ModuleResult& r) { return !r.ok; });
    const auto modules = [](std::size_t n) {
        return std::to_string(n) + (n == 1 ? " module" : " modules");
    };
    switch (kind) {
        case ReportKind::UpdatePlan:
        case ReportKind::ConfigurePlan:
            out << (kind == ReportKind::UpdatePlan ? "Would update " : "Would write ")
                << modules(done) << (failed == 0 ? "" : "; " + modules(failed) + " would fail")
                << (skipped == 0 ? "" : "; " + modules(skipped) + " skipped") << ".\n";
            break;
        case ReportKind::Update:
        case ReportKind::Configure:
            out << done + skipped << " of " << results.size() << " modules succeeded"
                << (skipped == 0 ? "" : " (" + std::to_string(skipped) + " skipped)") << ".\n";
            break;
    }
}

ProgressStream ProgressOf(const CliContext& context) {
    return {context.err, &context.err == &std::cerr && IsTerminal(ConsoleStream::Error)};
}

int ExitCodeOf(const std::vector<ModuleResult>& results) {
    return std::all_of(results.begin(), results.end(),
                       [](const ModuleResult& result) { return result.ok; })
               ? kExitOk
               : kExitFailed;
}

HistoryModule HistoryModuleOf(const Target& target) {
    return {target.mac ? FormatMacPlain(*target.mac) : std::string(), FormatIpv4(target.address),
            target.name, target.name2};
}

}  // namespace lanscope::cli
