#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "discovery/Datagrams.h"

namespace lanscope::test {

// A module reply built by hand, field by field, independent of the decoder.
inline std::vector<std::uint8_t> MakeReply(const MacAddress& mac, Ipv4 address,
                                           const std::string& name, const std::string& name2,
                                           std::uint32_t length = 148) {
    std::vector<std::uint8_t> datagram(153, 0);
    datagram[0] = 'Q';
    datagram[1] = 'O';
    datagram[2] = 'L';
    datagram[3] = 'T';
    datagram[4] = 'A';
    const std::uint8_t lengthBytes[4] = {
        static_cast<std::uint8_t>(length >> 24), static_cast<std::uint8_t>(length >> 16),
        static_cast<std::uint8_t>(length >> 8), static_cast<std::uint8_t>(length)};
    for (int i = 0; i < 4; ++i) {
        datagram[5 + i] = lengthBytes[i];
        datagram[9 + i] = static_cast<std::uint8_t>(address >> (24 - 8 * i));
    }
    for (int i = 0; i < 6; ++i) {
        datagram[5 + 107 + i] = mac[i];
    }
    for (const std::string* text : {&name, &name2}) {
        datagram.insert(datagram.end(), text->begin(), text->end());
        datagram.push_back(0);
    }
    return datagram;
}

inline constexpr MacAddress kMacA{0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 0x5F};
inline constexpr MacAddress kMacB{0x00, 0x00, 0x00, 0x00, 0x00, 0x02};
inline constexpr MacAddress kMacC{0x00, 0x00, 0x00, 0x00, 0x00, 0x03};

}  // namespace lanscope::test
