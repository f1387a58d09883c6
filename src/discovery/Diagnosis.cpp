#include "discovery/Diagnosis.h"

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

struct Verdict {
    bool inputDrops = false;  // the input chain's policy
    bool accepted = false;
    std::string dropped;  // the rule that drops the port
};

void Judge(const std::string& line, std::uint16_t port, bool udpRule, Verdict& verdict) {
    if (!udpRule || !NamesPort(line, port)) {
        return;
    }
    if (Has(line, "accept") || Has(line, "ACCEPT")) {
        verdict.accepted = true;
    } else if (verdict.dropped.empty() && (Has(line, "drop") || Has(line, "reject") ||
                                           Has(line, "DROP") || Has(line, "REJECT"))) {
        verdict.dropped = line.substr(line.find_first_not_of(" \t"));
    }
}

std::string Describe(const char* tool, const Verdict& verdict, std::uint16_t port) {
    const std::string what = "UDP port " + std::to_string(port);
    if (!verdict.dropped.empty() && !verdict.accepted) {
        return std::string(tool) + " drops " + what + " (" + verdict.dropped + ")";
    }
    if (verdict.inputDrops && !verdict.accepted) {
        return std::string(tool) + ": incoming traffic is dropped by default and no rule accepts " +
               what;
    }
    return {};
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
    std::vector<std::string> findings;

    Verdict nft;
    bool inInputChain = false;
    std::istringstream nftLines{std::string(nftRuleset)};
    for (std::string line; std::getline(nftLines, line);) {
        if (Has(line, "chain ")) {
            inInputChain = false;
        }
        if (Has(line, "hook input")) {
            inInputChain = true;
            nft.inputDrops = nft.inputDrops || Has(line, "policy drop");
        }
        if (inInputChain) {
            Judge(line, port, Has(line, "udp"), nft);
        }
    }
    if (auto text = Describe("nftables", nft, port); !text.empty()) {
        findings.push_back(std::move(text));
    }

    Verdict iptables;
    std::istringstream iptablesLines{std::string(iptablesRules)};
    for (std::string line; std::getline(iptablesLines, line);) {
        if (line.rfind("-P INPUT DROP", 0) == 0 || line.rfind("-P INPUT REJECT", 0) == 0) {
            iptables.inputDrops = true;
        }
        if (line.rfind("-A INPUT ", 0) == 0) {
            Judge(line, port, Has(line, "-p udp"), iptables);
        }
    }
    if (auto text = Describe("iptables", iptables, port); !text.empty()) {
        findings.push_back(std::move(text));
    }

    std::string joined;
    for (const std::string& finding : findings) {
        joined += (joined.empty() ? "" : "; ") + finding;
    }
    return joined;
}

}  // namespace lanscope
