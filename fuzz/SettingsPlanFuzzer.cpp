// Settings files (configure --from) of any content: no crash, and every row
// that stands has a hardware address and settings to write.
#include <cstdint>
#include <string_view>

#include "config/SettingsPlan.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto plan = lanscope::ReadSettingsPlan(text);
    if (!plan) {
        return 0;
    }
    for (const lanscope::SettingsRow& row : plan->rows) {
        const auto& change = row.change;
        const bool any =
            change.dhcp || change.address || change.mask || change.gateway || change.dns;
        if (row.error.empty() && (!row.mac || !any || row.line == 0)) {
            __builtin_trap();
        }
    }
    return 0;
}
