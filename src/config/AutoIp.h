#pragma once

#include <optional>
#include <string>
#include <vector>

#include "common/Ipv4.h"
#include "common/Prompt.h"
#include "discovery/Datagrams.h"
#include "discovery/ModuleList.h"
#include "discovery/Senders.h"

namespace lanscope {

// The address a directly cabled module gets beside this computer's a.b.c.d:
// a.b.c.(d+10), or a.b.c.(d-10) where d+10 would reach 255.
Ipv4 AutoIpAddressFor(Ipv4 host);
inline constexpr Ipv4 kAutoIpMask = 0xFFFF0000u;

// Gives the module a static address in this computer's subnet when this
// computer has exactly one address and the user agrees; true when new
// settings were sent. `connectedDirectly` chooses the question.
bool AutoIpUpdate(ModuleRecord& record, const std::vector<Ipv4>& hostAddresses, Prompt& prompt,
                  ConfigurationSender& sender, bool connectedDirectly);

// The line of a module other than `row`'s (another hardware address) that has
// `address`, as its own or as the one it answered from.
std::optional<std::size_t> OtherModuleAt(const ModuleList& list, std::size_t row, Ipv4 address);

// Why the module on line `row` of the modules that answered must not get
// `chosen` by automatic address selection; empty when it may. The selection
// is for a module cabled directly to this computer, the one module that
// answers: with others beside it, this computer's address + 10 may well be
// one of theirs.
std::string AutoIpRefusal(const ModuleList& list, std::size_t row, Ipv4 chosen);

// The settings a network settings window shows for a record: for a module in
// DHCP mode (address 0.0.0.0) all four are 0.0.0.0.
struct NetworkSettings {
    Ipv4 address = 0;
    Ipv4 mask = 0;
    Ipv4 gateway = 0;
    Ipv4 dns = 0;
    bool operator==(const NetworkSettings&) const = default;
};
NetworkSettings LoadedSettings(const ModuleRecord& record);

// Writes the four settings into the record in place and sends it whole.
void WriteSettings(ModuleRecord& record, const NetworkSettings& settings,
                   ConfigurationSender& sender);

}  // namespace lanscope
