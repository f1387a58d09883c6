#include "discovery/Diagnosis.h"

#include <map>
#include <sstream>

namespace lanscope {

namespace {

bool Has(std::string_view line, std::string_view word) {
    return line.find(word) != std::string_view::npos;
}

// A rule names the port as "dport 20034", in a set "dport { 53, 20034 }", or
// as iptables' "--dport 20034" / "--dports 53,20034".
bool NamesPort(const std::string& line, std::uint16_t port) {
    const std::string number = std::to_string(port);
    if (!Has(line, "dport")) {
        return false;
    }
    for (std::size_t at = line.find(number); at != std::string::npos;
         at = line.find(number, at + 1)) {
        const bool startOk =
            at == 0 || std::string_view(" ,{").find(line[at - 1]) != std::string_view::npos;
        const std::size_t end = at + number.size();
        const bool endOk =
            end == line.size() || std::string_view(" ,}").find(line[end]) != std::string_view::npos;
        if (startOk && endOk) {
            return true;
        }
    }
    return false;
}

enum class Verdict { Undecided, Accepted, Dropped };

struct Chain {
    std::vector<std::string> rules;  // in order
    bool inputHook = false;
    bool dropsByDefault = false;
};

// The word after `keyword` in a rule ("jump NAME", "-j NAME"), or nothing.
std::string WordAfter(const std::string& rule, const std::string& keyword) {
    const auto at = rule.find(keyword);
    if (at == std::string::npos) {
        return {};
    }
    std::istringstream rest(rule.substr(at + keyword.size()));
    std::string word;
    rest >> word;
    return word;
}

// Walks a chain's rules in order, as the firewall does: the first rule for
// UDP to the port decides; jumps are followed (a few levels deep); falling
// off the end leaves it undecided. `decidedBy` gets the rule that decided.
Verdict Walk(const std::map<std::string, Chain>& chains, const std::string& name,
             std::uint16_t port, bool iptables, int depth, std::string& decidedBy) {
    const auto chain = chains.find(name);
    if (chain == chains.end() || depth > 8) {
        return Verdict::Undecided;
    }
    for (const std::string& rule : chain->second.rules) {
        const bool udp = iptables ? Has(rule, "-p udp") : Has(rule, "udp");
        if (udp && NamesPort(rule, port)) {
            const bool accept = Has(rule, "accept") || Has(rule, "ACCEPT");
            const bool drop = Has(rule, "drop") || Has(rule, "reject") || Has(rule, "DROP") ||
                              Has(rule, "REJECT");
            if (accept || drop) {
                decidedBy = rule.substr(rule.find_first_not_of(" \t"));
                return accept ? Verdict::Accepted : Verdict::Dropped;
            }
        }
        std::string target = iptables ? WordAfter(rule, " -j ") : WordAfter(rule, "jump ");
        if (target.empty() && !iptables) {
            target = WordAfter(rule, "goto ");
        }
        if (!target.empty() && chains.count(target) != 0) {
            const Verdict inner = Walk(chains, target, port, iptables, depth + 1, decidedBy);
            if (inner != Verdict::Undecided) {
                return inner;
            }
        }
    }
    return Verdict::Undecided;
}

std::string Judge(const std::map<std::string, Chain>& chains, std::uint16_t port, bool iptables,
                  const char* tool) {
    const std::string what = "UDP port " + std::to_string(port);
    for (const auto& [name, chain] : chains) {
        if (!chain.inputHook) {
            continue;
        }
        std::string decidedBy;
        const Verdict verdict = Walk(chains, name, port, iptables, 0, decidedBy);
        if (verdict == Verdict::Dropped) {
            return std::string(tool) + " drops " + what + " (" + decidedBy + ")";
        }
        if (verdict == Verdict::Undecided && chain.dropsByDefault) {
            return std::string(tool) +
                   ": incoming traffic is dropped by default and no rule accepts " + what;
        }
    }
    return {};
}

std::map<std::string, Chain> NftChains(std::string_view ruleset) {
    std::map<std::string, Chain> chains;
    Chain* current = nullptr;
    std::istringstream lines{std::string(ruleset)};
    for (std::string line; std::getline(lines, line);) {
        const std::string name = WordAfter(line, "chain ");
        if (!name.empty() && Has(line, "{")) {
            current = &chains[name];
            continue;
        }
        if (current == nullptr) {
            continue;
        }
        if (line.find_first_not_of(" \t") != std::string::npos &&
            line.substr(line.find_first_not_of(" \t")) == "}") {
            current = nullptr;
        } else if (Has(line, "hook input")) {
            current->inputHook = true;
            current->dropsByDefault = Has(line, "policy drop");
        } else {
            current->rules.push_back(line);
        }
    }
    return chains;
}

std::map<std::string, Chain> IptablesChains(std::string_view rules) {
    std::map<std::string, Chain> chains;
    chains["INPUT"].inputHook = true;
    std::istringstream lines{std::string(rules)};
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("-P INPUT ", 0) == 0) {
            chains["INPUT"].dropsByDefault = Has(line, "DROP") || Has(line, "REJECT");
        } else if (line.rfind("-N ", 0) == 0) {
            chains[line.substr(3)];
        } else if (line.rfind("-A ", 0) == 0) {
            chains[WordAfter(line, "-A ")].rules.push_back(line);
        }
    }
    return chains;
}

}  // namespace

bool InAnySubnet(Ipv4 address, const std::vector<HostInterface>& interfaces) {
    for (const HostInterface& host : interfaces) {
        if (host.mask != 0 && (address & host.mask) == (host.address & host.mask)) {
            return true;
        }
    }
    return false;
}

std::string FirewallFinding(std::string_view nftRuleset, std::string_view iptablesRules,
                            std::uint16_t port) {
    std::string joined;
    for (std::string finding : {Judge(NftChains(nftRuleset), port, false, "nftables"),
                                Judge(IptablesChains(iptablesRules), port, true, "iptables")}) {
        if (!finding.empty()) {
            joined += (joined.empty() ? "" : "; ") + finding;
        }
    }
    return joined;
}

}  // namespace lanscope
