#include "config/AutoIp.h"

#include "config/Messages.h"

namespace lanscope {

Ipv4 AutoIpAddressFor(Ipv4 host) {
    const Ipv4 last = host & 0xFFu;
    const Ipv4 moved = last + 10 < 255 ? last + 10 : last - 10;
    return (host & 0xFFFFFF00u) | moved;
}

std::optional<std::size_t> OtherModuleAt(const ModuleList& list, std::size_t row, Ipv4 address) {
    // A stale line of the same module (left from its previous address until
    // the next sweep) is not another module.
    const bool known = row < list.size();
    for (std::size_t other = 0; other < list.size(); ++other) {
        if (other == row || (known && list.record(other).mac() == list.record(row).mac())) {
            continue;
        }
        const auto answeredFrom = ParseIpv4Strict(list.fields(other).address);
        if (list.record(other).address() == address || answeredFrom == address) {
            return other;
        }
    }
    return std::nullopt;
}

std::string AutoIpRefusal(const ModuleList& list, std::size_t row, Ipv4 chosen) {
    const auto taken = OtherModuleAt(list, row, chosen);
    if (list.size() <= 1 && !taken) {
        return {};
    }
    std::string text = std::to_string(list.size()) +
                       " modules answered, and automatic address "
                       "selection is for a module cabled directly to this computer, the only "
                       "one that answers. It would give " +
                       FormatIpv4(chosen);
    if (taken) {
        text += ", which " + FormatMacPlain(list.record(*taken).mac()) + " already has";
    }
    return text + ".";
}

bool AutoIpUpdate(ModuleRecord& record, const std::vector<Ipv4>& hostAddresses, Prompt& prompt,
                  ConfigurationSender& sender, bool connectedDirectly) {
    if (hostAddresses.size() != 1) {
        prompt.message(messages::kCrossOverCable, messages::kAutoIpCaption,
                       PromptIcon::Exclamation);
        return false;
    }
    const char* question =
        connectedDirectly ? messages::kAutoIpDirectQuestion : messages::kAutoIpQuestion;
    if (!prompt.askYesNo(question, messages::kAutoIpCaption, false)) {
        return false;
    }
    record.setAddress(AutoIpAddressFor(hostAddresses.front()));
    record.setMask(kAutoIpMask);
    (void)sender.SendConfiguration(record);
    return true;
}

NetworkSettings LoadedSettings(const ModuleRecord& record) {
    NetworkSettings settings;
    settings.address = record.address();
    if (settings.address != 0) {
        settings.mask = record.mask();
        settings.gateway = record.gateway();
        settings.dns = record.dns();
    }
    return settings;
}

void WriteSettings(ModuleRecord& record, const NetworkSettings& settings,
                   ConfigurationSender& sender) {
    record.setAddress(settings.address);
    record.setMask(settings.mask);
    record.setGateway(settings.gateway);
    record.setDns(settings.dns);
    (void)sender.SendConfiguration(record);
}

}  // namespace lanscope
