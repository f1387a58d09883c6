#include "config/AutoIp.h"

#include "config/Messages.h"

namespace lanscope {

Ipv4 AutoIpAddressFor(Ipv4 host) {
    const Ipv4 last = host & 0xFFu;
    const Ipv4 moved = last + 10 < 255 ? last + 10 : last - 10;
    return (host & 0xFFFFFF00u) | moved;
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
    sender.sendConfiguration(record);
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
    sender.sendConfiguration(record);
}

}  // namespace lanscope
