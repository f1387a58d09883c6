#include "update/RecordedModule.h"

namespace lanscope {

HistoryModule RecordedModule(const HistoryModule& chosen, Ipv4 chosenAddress, Ipv4 address) {
    HistoryModule module;
    if (address == chosenAddress && !chosen.mac.empty()) {
        module = chosen;
    }
    module.address = FormatIpv4(address);  // as the window had it
    return module;
}

}  // namespace lanscope
