#include "common/Ipv4.h"

#include <cstdio>

namespace lanscope {

std::string FormatIpv4(Ipv4 address) {
    char text[16];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", (address >> 24) & 0xFFu,
                  (address >> 16) & 0xFFu, (address >> 8) & 0xFFu, address & 0xFFu);
    return text;
}

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// atoi, but without its undefined overflow: only the low 8 bits are wanted, and
// arithmetic modulo 2^32 keeps them exact.
std::uint8_t OctetValue(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    std::uint32_t value = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        value = value * 10u + static_cast<std::uint32_t>(text[i] - '0');
        ++i;
    }
    if (negative) {
        value = 0u - value;
    }
    return static_cast<std::uint8_t>(value & 0xFFu);
}

}  // namespace

Ipv4 ParseDottedQuad(std::string_view text) {
    if (text.empty()) {
        return 0;
    }
    Ipv4 result = 0;
    for (int octet = 0; octet < 3; ++octet) {
        std::uint8_t value = 0;
        const auto dot = text.find('.');
        if (dot != std::string_view::npos) {
            value = OctetValue(text.substr(0, dot));
            text.remove_prefix(dot + 1);
        }
        result = (result << 8) | value;
    }
    return (result << 8) | OctetValue(text);
}

std::optional<Ipv4> ParseIpv4Strict(std::string_view text) {
    Ipv4 result = 0;
    for (int octet = 0; octet < 4; ++octet) {
        if (octet > 0) {
            if (text.empty() || text.front() != '.') {
                return std::nullopt;
            }
            text.remove_prefix(1);
        }
        std::size_t digits = 0;
        unsigned value = 0;
        while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') {
            value = value * 10u + static_cast<unsigned>(text[digits] - '0');
            if (++digits > 3) {
                return std::nullopt;
            }
        }
        if (digits == 0 || value > 255) {
            return std::nullopt;
        }
        text.remove_prefix(digits);
        result = (result << 8) | value;
    }
    if (!text.empty()) {
        return std::nullopt;
    }
    return result;
}

int MaskPrefixLength(Ipv4 mask) {
    int ones = 0;
    while (ones < 32 && (mask & (0x80000000u >> ones)) != 0) {
        ++ones;
    }
    const Ipv4 expected = ones == 0 ? 0u : ~Ipv4{0} << (32 - ones);
    return mask == expected ? ones : -1;
}

std::array<std::uint8_t, 4> Ipv4Bytes(Ipv4 address) {
    return {static_cast<std::uint8_t>(address >> 24), static_cast<std::uint8_t>(address >> 16),
            static_cast<std::uint8_t>(address >> 8), static_cast<std::uint8_t>(address)};
}

Ipv4 Ipv4FromBytes(const std::uint8_t* bytes) {
    return MakeIpv4(bytes[0], bytes[1], bytes[2], bytes[3]);
}

}  // namespace lanscope
