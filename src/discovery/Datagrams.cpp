#include "discovery/Datagrams.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace lanscope {

std::uint32_t ModuleRecord::length() const {
    return ipv4At(kLengthOffset);
}

void ModuleRecord::setLength(std::uint32_t length) {
    setIpv4At(kLengthOffset, length);
}

Ipv4 ModuleRecord::ipv4At(std::size_t offset) const {
    return Ipv4FromBytes(bytes.data() + offset);
}

void ModuleRecord::setIpv4At(std::size_t offset, Ipv4 value) {
    const auto octets = Ipv4Bytes(value);
    std::copy(octets.begin(), octets.end(), bytes.begin() + static_cast<std::ptrdiff_t>(offset));
}

MacAddress ModuleRecord::mac() const {
    MacAddress mac{};
    std::copy_n(bytes.begin() + kMacOffset, mac.size(), mac.begin());
    return mac;
}

void ModuleRecord::setMac(const MacAddress& mac) {
    std::copy(mac.begin(), mac.end(), bytes.begin() + kMacOffset);
}

std::uint32_t ModuleRecord::repeatCount() const {
    std::uint32_t count = 0;
    std::memcpy(&count, bytes.data() + kRepeatOffset, sizeof count);
    return count;
}

void ModuleRecord::setRepeatCount(std::uint32_t count) {
    std::memcpy(bytes.data() + kRepeatOffset, &count, sizeof count);
}

std::string FormatMacBracketed(const MacAddress& mac) {
    char text[32];
    std::snprintf(text, sizeof text, "[%02x-%02X-%02X-%02X-%02X-%02X]", mac[0], mac[1], mac[2],
                  mac[3], mac[4], mac[5]);
    return text;
}

std::string FormatMacPlain(const MacAddress& mac) {
    const std::string bracketed = FormatMacBracketed(mac);
    return bracketed.substr(1, bracketed.size() - 2);
}

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

}  // namespace

std::optional<MacAddress> ParseMac(std::string_view text) {
    if (text.size() >= 2 && text.front() == '[' && text.back() == ']') {
        text = text.substr(1, text.size() - 2);
    }
    if (text.size() != 17) {
        return std::nullopt;
    }
    const char separator = text[2];
    if (separator != '-' && separator != ':') {
        return std::nullopt;
    }
    MacAddress mac{};
    for (std::size_t i = 0; i < mac.size(); ++i) {
        const std::size_t at = i * 3;
        if (i > 0 && text[at - 1] != separator) {
            return std::nullopt;
        }
        const int high = HexValue(text[at]);
        const int low = HexValue(text[at + 1]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        mac[i] = static_cast<std::uint8_t>(high * 16 + low);
    }
    return mac;
}

std::array<std::uint8_t, kDiscoveryRequestSize> BuildDiscoveryRequest() {
    return {kWorkstationMagic[0], kWorkstationMagic[1], kWorkstationMagic[2], kWorkstationMagic[3],
            kTypeDiscoveryRequest};
}

std::array<std::uint8_t, kConfigurationWriteSize> BuildConfigurationWrite(
    const ModuleRecord& record) {
    std::array<std::uint8_t, kConfigurationWriteSize> datagram{};
    std::copy(kWorkstationMagic.begin(), kWorkstationMagic.end(), datagram.begin());
    datagram[4] = kTypeConfigurationWrite;
    // A record whose length field claims more than it holds must not drag
    // bytes from beyond it onto the wire.
    const std::size_t count = std::min<std::size_t>(record.length(), kRecordSize);
    std::copy_n(record.bytes.begin(), count, datagram.begin() + 5);
    return datagram;
}

std::optional<DecodedReply> DecodeReply(std::span<const std::uint8_t> datagram, Ipv4 sender) {
    if (datagram.size() < kReplyFixedSize ||
        !std::equal(kModuleMagic.begin(), kModuleMagic.end(), datagram.begin())) {
        return std::nullopt;
    }
    const auto wireRecord = datagram.subspan(5, kRecordSize);

    DecodedReply reply;
    std::size_t at = kReplyFixedSize;
    auto readName = [&](std::string& name) {
        const auto end = std::find(datagram.begin() + static_cast<std::ptrdiff_t>(at),
                                   datagram.end(), std::uint8_t{0});
        const auto stop = static_cast<std::size_t>(end - datagram.begin());
        name.assign(reinterpret_cast<const char*>(datagram.data()) + at, stop - at);
        at = std::min(stop + 1, datagram.size());
    };
    readName(reply.name);
    readName(reply.name2);

    MacAddress mac{};
    std::copy_n(wireRecord.begin() + ModuleRecord::kMacOffset, mac.size(), mac.begin());
    const Ipv4 reported = Ipv4FromBytes(wireRecord.data() + ModuleRecord::kAddressOffset);
    // A module that has its address from DHCP reports 0.0.0.0; the address it
    // replied from is the one to show, marked as such.
    const bool dhcp = reported != sender;

    reply.mac = FormatMacBracketed(mac);
    reply.address = FormatIpv4(dhcp ? sender : reported);
    reply.dhcp = dhcp ? "DHCP" : "";
    reply.line = JoinListLine(reply);

    const std::uint32_t declared = Ipv4FromBytes(wireRecord.data());
    const std::size_t count = std::min<std::size_t>(declared, kRecordSize);
    std::copy_n(wireRecord.begin(), count, reply.record.bytes.begin());
    reply.record.setRepeatCount(0);
    return reply;
}

}  // namespace lanscope
