// Any datagram a module (or anybody else on the segment) may send to the
// discovery port, decoded and added to a list that already holds lines.
#include <cstddef>
#include <cstdint>
#include <span>

#include "discovery/ModuleList.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > lanscope::kMaxReplySize + 4) {
        return -1;  // the socket never hands over more than its buffer
    }
    // The first four bytes pick the sender, the rest is the datagram.
    lanscope::Ipv4 sender = 0;
    if (size >= 4) {
        sender = lanscope::Ipv4FromBytes(data);
        data += 4;
        size -= 4;
    }
    const std::span<const std::uint8_t> datagram(data, size);

    lanscope::ModuleList list;
    for (int round = 0; round < 2; ++round) {
        lanscope::AddReply(list, datagram, sender);
        lanscope::AddReply(list, datagram, sender ^ 1u);
    }
    for (std::size_t row = 0; row < list.size(); ++row) {
        list.setSelection(row);
        (void)lanscope::SelectedAddressText(list);
        (void)lanscope::SplitListLine(list.text(row));
        (void)lanscope::BuildConfigurationWrite(list.record(row));
    }
    // Two sweeps without replies in between leave nothing behind.
    list.sweep();
    list.sweep();
    if (!list.empty()) {
        __builtin_trap();
    }
    return 0;
}
