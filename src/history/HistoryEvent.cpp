#include "history/HistoryEvent.h"

#include <array>

#include "common/Text.h"

namespace lanscope {

namespace {

constexpr std::array<std::string_view, 3> kActionNames{"update", "save", "settings"};
constexpr std::array<std::string_view, 6> kResultNames{"started",   "ok",   "failed",
                                                       "cancelled", "sent", "unknown"};

// Every module of the history is made here, whichever way it comes: the
// names as the list shows them.
HistoryModule ModuleOf(std::string mac, std::string address, std::string_view name,
                       std::string_view name2) {
    return {std::move(mac), std::move(address), EightBitToUtf8(name), EightBitToUtf8(name2)};
}

}  // namespace

std::string_view HistoryActionName(HistoryAction action) {
    return kActionNames[static_cast<std::size_t>(action)];
}

std::string_view HistoryResultName(HistoryResult result) {
    return kResultNames[static_cast<std::size_t>(result)];
}

std::optional<HistoryAction> ParseHistoryAction(std::string_view name) {
    for (std::size_t i = 0; i < kActionNames.size(); ++i) {
        if (kActionNames[i] == name) {
            return static_cast<HistoryAction>(i);
        }
    }
    return std::nullopt;
}

std::optional<HistoryResult> ParseHistoryResult(std::string_view name) {
    for (std::size_t i = 0; i < kResultNames.size(); ++i) {
        if (kResultNames[i] == name) {
            return static_cast<HistoryResult>(i);
        }
    }
    return std::nullopt;
}

HistoryModule HistoryModuleOf(const MacAddress& mac, Ipv4 address, std::string_view name,
                              std::string_view name2) {
    return ModuleOf(FormatMacPlain(mac), FormatIpv4(address), name, name2);
}

HistoryModule HistoryModuleOf(const ListFields& fields) {
    std::string_view mac = fields.mac;
    if (mac.size() >= 2 && mac.front() == '[' && mac.back() == ']') {
        mac = mac.substr(1, mac.size() - 2);
    }
    return ModuleOf(std::string(mac), fields.address, fields.name, fields.name2);
}

HistoryModule HistoryModuleOfLine(std::string_view line) {
    return HistoryModuleOf(SplitListLine(line));
}

HistoryNetwork HistoryNetworkOf(const ModuleRecord& record) {
    return {record.address() == 0, FormatIpv4(record.address()), FormatIpv4(record.mask()),
            FormatIpv4(record.gateway()), FormatIpv4(record.dns())};
}

HistoryEvent HistoryOutcome(HistoryEvent started, HistoryResult result, std::string message) {
    started.result = result;
    started.message = std::move(message);
    return started;
}

}  // namespace lanscope
