#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/HostInterface.h"

namespace lanscope {

// Whether an address lies in the subnet of one of the interfaces. A module
// that answers from outside all of them needs an address beside this
// computer's before a browser can reach it.
bool InAnySubnet(Ipv4 address, const std::vector<HostInterface>& interfaces);

// What the host firewall's rules say about incoming UDP to `port`: the rules
// as `nft list ruleset` and `iptables -S` print them (either may be empty).
// Empty when nothing there drops it.
std::string FirewallFinding(std::string_view nftRuleset, std::string_view iptablesRules,
                            std::uint16_t port);

}  // namespace lanscope
