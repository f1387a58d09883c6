#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lanscope {

// An IPv4 address as a number: first octet in the most significant byte.
using Ipv4 = std::uint32_t;

inline constexpr Ipv4 kLimitedBroadcast = 0xFFFFFFFFu;
inline constexpr Ipv4 kLoopback = 0x7F000001u;

constexpr Ipv4 MakeIpv4(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
    return (Ipv4{a} << 24) | (Ipv4{b} << 16) | (Ipv4{c} << 8) | Ipv4{d};
}

// "%d.%d.%d.%d"
std::string FormatIpv4(Ipv4 address);

// Lenient dotted-quad reading as the modules' tools have always done it: each
// octet is read like atoi (leading blanks, one sign, digits up to the first
// non-digit) and only its low 8 bits count; missing dots give zero octets
// ("10" is 0.0.0.10, "300.1.1.1" is 44.1.1.1).
Ipv4 ParseDottedQuad(std::string_view text);

// Strict reading for command-line input: exactly four decimal octets 0-255.
std::optional<Ipv4> ParseIpv4Strict(std::string_view text);

// Number of leading one bits when the mask is contiguous, -1 otherwise.
int MaskPrefixLength(Ipv4 mask);

std::array<std::uint8_t, 4> Ipv4Bytes(Ipv4 address);
Ipv4 Ipv4FromBytes(const std::uint8_t* bytes);

}  // namespace lanscope
