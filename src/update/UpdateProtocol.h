#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace lanscope {

// Firmware updates travel between port 20034 at both ends, addressed to one
// module. Every datagram starts with a 20-byte header; numbers are big-endian.
inline constexpr std::size_t kUpdateHeaderSize = 20;
inline constexpr std::size_t kMaxDataChunk = 470;
inline constexpr std::size_t kMaxPlatformName = 80;
inline constexpr std::uint8_t kUpdateProtocolLetter = 'A';

enum class UpdateRequestType : std::uint8_t {
    Start = 1,
    Data = 2,
    Finish = 3,
    FinishReboot = 4,
};

enum class UpdateReplyType : std::uint8_t {
    Ok = 0,
    NeedCredentials = 1,
    Declined = 2,
    NoMemory = 3,
    ShutdownRefused = 4,
    KeepAlive = 5,
    ChecksumFailed = 6,
    Resend = 7,
};

// The start request: 24 bytes without credentials; with them, user name,
// zero, password, zero and four more zero bytes.
std::vector<std::uint8_t> BuildStartRequest(std::uint32_t transferId, std::uint32_t base,
                                            std::uint32_t length, bool withCredentials,
                                            const std::string& user, const std::string& password);
// Up to 470 image bytes from `address`.
std::vector<std::uint8_t> BuildDataRequest(std::uint32_t transferId, std::uint32_t address,
                                           std::span<const std::uint8_t> bytes);
std::vector<std::uint8_t> BuildFinishRequest(std::uint32_t transferId, std::uint32_t endAddress,
                                             std::uint32_t checksum, bool restart);

// Any datagram in the update layout, request or reply.
struct UpdateDatagram {
    std::uint8_t type = 0;
    std::uint32_t transferId = 0;
    std::uint32_t address = 0;
    std::uint32_t value = 0;
    std::size_t size = 0;
    std::span<const std::uint8_t> payload;  // from offset 20
};

// Nothing for a datagram shorter than the header.
std::optional<UpdateDatagram> DecodeUpdateDatagram(std::span<const std::uint8_t> datagram);

// The module's platform name in an OK to a start request: from offset 24 to
// its zero byte, within the datagram and at most 80 bytes. Nothing when the
// datagram is not longer than 24 bytes.
std::optional<std::string> ReplyPlatformName(std::span<const std::uint8_t> datagram);

// A reply as a module sends it (used by the simulator and tests).
std::vector<std::uint8_t> BuildUpdateReply(UpdateReplyType type, std::uint32_t transferId,
                                           std::uint32_t address = 0, std::uint32_t value = 0,
                                           const std::string& platform = {});

}  // namespace lanscope
