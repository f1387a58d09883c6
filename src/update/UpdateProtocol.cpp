#include "update/UpdateProtocol.h"

#include <algorithm>

#include "discovery/Datagrams.h"

namespace lanscope {

namespace {

void Put32(std::vector<std::uint8_t>& datagram, std::size_t at, std::uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i) {
        datagram[at + i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
    }
}

std::uint32_t Get32(std::span<const std::uint8_t> datagram, std::size_t at) {
    return (std::uint32_t{datagram[at]} << 24) | (std::uint32_t{datagram[at + 1]} << 16) |
           (std::uint32_t{datagram[at + 2]} << 8) | std::uint32_t{datagram[at + 3]};
}

std::vector<std::uint8_t> Header(std::size_t size, std::uint8_t type, std::uint32_t transferId,
                                 std::uint32_t address, std::uint32_t value) {
    std::vector<std::uint8_t> datagram(size, 0);
    std::copy(kWorkstationMagic.begin(), kWorkstationMagic.end(), datagram.begin());
    datagram[4] = kUpdateProtocolLetter;
    datagram[5] = type;
    Put32(datagram, 8, transferId);
    Put32(datagram, 12, address);
    Put32(datagram, 16, value);
    return datagram;
}

}  // namespace

std::vector<std::uint8_t> BuildStartRequest(std::uint32_t transferId, std::uint32_t base,
                                            std::uint32_t length, bool withCredentials,
                                            const std::string& user, const std::string& password) {
    if (!withCredentials) {
        return Header(24, static_cast<std::uint8_t>(UpdateRequestType::Start), transferId, base,
                      length);
    }
    auto datagram =
        Header(26 + user.size() + password.size(),
               static_cast<std::uint8_t>(UpdateRequestType::Start), transferId, base, length);
    std::copy(user.begin(), user.end(), datagram.begin() + 20);
    std::copy(password.begin(), password.end(),
              datagram.begin() + 20 + static_cast<std::ptrdiff_t>(user.size()) + 1);
    return datagram;
}

std::vector<std::uint8_t> BuildDataRequest(std::uint32_t transferId, std::uint32_t address,
                                           std::span<const std::uint8_t> bytes) {
    const std::size_t count = std::min(bytes.size(), kMaxDataChunk);
    auto datagram =
        Header(kUpdateHeaderSize + count, static_cast<std::uint8_t>(UpdateRequestType::Data),
               transferId, address, static_cast<std::uint32_t>(count));
    std::copy_n(bytes.begin(), count, datagram.begin() + kUpdateHeaderSize);
    return datagram;
}

std::vector<std::uint8_t> BuildFinishRequest(std::uint32_t transferId, std::uint32_t endAddress,
                                             std::uint32_t checksum, bool restart) {
    const auto type = restart ? UpdateRequestType::FinishReboot : UpdateRequestType::Finish;
    return Header(24, static_cast<std::uint8_t>(type), transferId, endAddress, checksum);
}

std::optional<UpdateDatagram> DecodeUpdateDatagram(std::span<const std::uint8_t> datagram) {
    if (datagram.size() < kUpdateHeaderSize) {
        return std::nullopt;
    }
    UpdateDatagram decoded;
    decoded.type = datagram[5];
    decoded.transferId = Get32(datagram, 8);
    decoded.address = Get32(datagram, 12);
    decoded.value = Get32(datagram, 16);
    decoded.size = datagram.size();
    decoded.payload = datagram.subspan(kUpdateHeaderSize);
    return decoded;
}

std::optional<std::string> ReplyPlatformName(std::span<const std::uint8_t> datagram) {
    if (datagram.size() <= 24) {
        return std::nullopt;
    }
    const auto text = datagram.subspan(24, std::min(datagram.size() - 24, kMaxPlatformName));
    const auto end = std::find(text.begin(), text.end(), std::uint8_t{0});
    return std::string(text.begin(), end);
}

std::vector<std::uint8_t> BuildUpdateReply(UpdateReplyType type, std::uint32_t transferId,
                                           std::uint32_t address, std::uint32_t value,
                                           const std::string& platform) {
    auto datagram = Header(platform.empty() ? 24 : 24 + platform.size() + 1,
                           static_cast<std::uint8_t>(type), transferId, address, value);
    std::copy(kModuleMagic.begin(), kModuleMagic.end(), datagram.begin());
    std::copy(platform.begin(), platform.end(), datagram.begin() + 24);
    return datagram;
}

}  // namespace lanscope
