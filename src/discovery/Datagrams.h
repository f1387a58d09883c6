#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "common/Endpoints.h"
#include "common/Ipv4.h"
#include "discovery/ListLine.h"

namespace lanscope {

inline constexpr std::size_t kRecordSize = 148;
inline constexpr std::size_t kReplyFixedSize = 5 + kRecordSize;  // magic, type, record
inline constexpr std::size_t kDiscoveryRequestSize = 5;
inline constexpr std::size_t kConfigurationWriteSize = 161;
inline constexpr std::size_t kMaxReplySize = 1024;

inline constexpr std::array<std::uint8_t, 4> kWorkstationMagic{'Q', 'A', 'R', 'N'};
inline constexpr std::array<std::uint8_t, 4> kModuleMagic{'Q', 'O', 'L', 'T'};
inline constexpr std::uint8_t kTypeDiscoveryRequest = 'R';
inline constexpr std::uint8_t kTypeConfigurationWrite = 'W';

using MacAddress = std::array<std::uint8_t, 6>;

// One module's settings as they travel in replies and configuration writes.
// Addresses are stored first octet first; the accessors speak Ipv4 numbers.
// The four bytes at offset 118 carry, in the program's own copy, a repeat
// counter in host order: the module does not interpret them, and a
// configuration write sends them back as they are.
struct ModuleRecord {
    static constexpr std::size_t kLengthOffset = 0;
    static constexpr std::size_t kAddressOffset = 4;
    static constexpr std::size_t kMaskOffset = 8;
    static constexpr std::size_t kGatewayOffset = 12;
    static constexpr std::size_t kMacOffset = 107;
    static constexpr std::size_t kDnsOffset = 114;
    static constexpr std::size_t kRepeatOffset = 118;

    std::array<std::uint8_t, kRecordSize> bytes{};

    std::uint32_t length() const;
    void setLength(std::uint32_t length);
    Ipv4 address() const { return ipv4At(kAddressOffset); }
    void setAddress(Ipv4 value) { setIpv4At(kAddressOffset, value); }
    Ipv4 mask() const { return ipv4At(kMaskOffset); }
    void setMask(Ipv4 value) { setIpv4At(kMaskOffset, value); }
    Ipv4 gateway() const { return ipv4At(kGatewayOffset); }
    void setGateway(Ipv4 value) { setIpv4At(kGatewayOffset, value); }
    Ipv4 dns() const { return ipv4At(kDnsOffset); }
    void setDns(Ipv4 value) { setIpv4At(kDnsOffset, value); }
    MacAddress mac() const;
    void setMac(const MacAddress& mac);
    std::uint32_t repeatCount() const;
    void setRepeatCount(std::uint32_t count);

    bool operator==(const ModuleRecord&) const = default;

  private:
    Ipv4 ipv4At(std::size_t offset) const;
    void setIpv4At(std::size_t offset, Ipv4 value);
};

// "[0a-1B-2C-3D-4E-5F]": the first group in lower case, the rest in upper
// case, as the modules' tools have always shown them.
std::string FormatMacBracketed(const MacAddress& mac);
// The same without the brackets, as a hardware address is typed.
std::string FormatMacPlain(const MacAddress& mac);

// Accepts six hexadecimal pairs separated by '-' or ':', optionally inside [].
std::optional<MacAddress> ParseMac(std::string_view text);

std::array<std::uint8_t, kDiscoveryRequestSize> BuildDiscoveryRequest();

// Always 161 bytes: the record's first n bytes, n being its own length field
// but never more than the record holds; everything after them is zero.
std::array<std::uint8_t, kConfigurationWriteSize> BuildConfigurationWrite(
    const ModuleRecord& record);

// A reply is the parts of its list line plus its record.
struct DecodedReply : ListFields {
    ModuleRecord record;  // repeat count 0
    std::string line;     // the fields joined by TABs
};

// Turns a module's reply into a record and a list line. Gives nothing for a
// datagram without the module magic or shorter than the fixed block. Names
// end at their zero byte or at the end of the datagram. The record takes the
// number of bytes its length field says, at most the 148 it has room for; the
// rest stays zero.
std::optional<DecodedReply> DecodeReply(std::span<const std::uint8_t> datagram, Ipv4 sender);

}  // namespace lanscope
