#pragma once

#include "common/Ipv4.h"
#include "history/History.h"

namespace lanscope {

// The module an update (or a saved image) is recorded for. The update window
// comes with a module, from the list line it was opened on or the picker's
// line when Find chose it, and with the address that line gave. While the
// window still sends to that address the event names that module; an address
// typed in since may belong to any module, so then the event holds the address
// alone rather than another module's hardware address and names.
HistoryModule RecordedModule(const HistoryModule& chosen, Ipv4 chosenAddress, Ipv4 address);

}  // namespace lanscope
