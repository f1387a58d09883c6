// The software update window's command line and list line readers on any
// text: no crash, values taken from the text itself, and well-formed input
// read exactly.
#include <cstdint>
#include <string>

#include "common/Ipv4.h"
#include "discovery/ListLine.h"
#include "update/AutoUpdateOptions.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    const auto options = lanscope::ReadAutoUpdateOptions(text);
    if (options.imageFile && text.find(*options.imageFile) == std::string::npos) {
        __builtin_trap();
    }
    const auto target = lanscope::ReadListLine(text);
    if (text.find(target.description) == std::string::npos) {
        __builtin_trap();
    }
    (void)lanscope::ParseDottedQuadLoose(text);

    if (size >= 4) {
        const lanscope::Ipv4 address = lanscope::MakeIpv4(data[0], data[1], data[2], data[3]);
        const std::string quad = lanscope::FormatIpv4(address);
        if (lanscope::ParseDottedQuadLoose(quad + "-a") != address ||
            lanscope::ReadAutoUpdateOptions("-a -I" + quad + " -Fx_APP.s19").address != address ||
            lanscope::ReadListLine("[mac]\t" + quad + "\t\tname\tx," + text.substr(4, 3) + ",z")
                    .address != address) {
            __builtin_trap();
        }
    }
    return 0;
}
