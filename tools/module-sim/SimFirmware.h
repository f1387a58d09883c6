#pragma once

#include <cstdint>
#include <optional>
#include <random>
#include <set>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "update/UpdateProtocol.h"

namespace lanscope::sim {

// How the simulated module behaves during a firmware update.
struct FirmwareOptions {
    // Require these credentials in the start request (when requireCredentials).
    bool requireCredentials = false;
    std::string user;
    std::string password;
    // Answer every start request with this verdict instead of OK.
    std::optional<UpdateReplyType> startVerdict;
    // Reported in the OK to a start request; empty: a plain 24-byte OK.
    std::string platform;
    // Answer everything with keep-alives only.
    bool keepAliveOnly = false;
    // Acknowledge at most this many bytes of each data request (0: all).
    std::size_t ackLimit = 0;
    // When a data request first reaches this offset into the image, ask for
    // a resend from `resendBack` bytes earlier.
    std::optional<std::uint32_t> resendAt;
    std::uint32_t resendBack = 100;
    // Data requests (1-based, counting every one that arrives) left unanswered.
    std::set<unsigned> dropData;
    // A share (0..1) of all requests left unanswered, from a fixed seed.
    double dropShare = 0.0;
    unsigned seed = 1;
    // Send every reply twice, or the replies to these data requests (1-based).
    bool duplicate = false;
    std::set<unsigned> duplicateData;
    // Spoil one stored byte, so the finish check fails.
    bool corrupt = false;
    // Put the image's end address into the finish OK, where a data
    // acknowledgement carries its next address (some modules do).
    bool finishOkWithEnd = false;
    // Largest image the module takes; larger ones get "no memory".
    std::uint32_t memory = 64u << 20;
    // Storing data request N (1-based) takes this many milliseconds, and so
    // does every copy of it that follows (a slow flash write).
    std::optional<std::pair<unsigned, std::uint32_t>> slowData;
    // After acknowledging the end of the image, send that acknowledgement
    // again on its own this many milliseconds later.
    std::optional<std::uint32_t> repeatLastAckMs;
    // Answer every data request after the first N with "declined", as a
    // module that restarted in the middle of a transfer does.
    std::optional<unsigned> declineAfter;
};

struct FirmwareReaction {
    std::vector<std::vector<std::uint8_t>> replies;
    std::string log;
    bool finished = false;  // the finish request passed its check
    // The module works this long before the replies go out; it does one
    // thing at a time, so requests that arrive meanwhile wait their turn.
    std::uint32_t workMs = 0;
    // A reply the module sends again on its own, this long after the others
    // (and is busy until then).
    std::optional<std::pair<std::uint32_t, std::vector<std::uint8_t>>> later;
};

// The firmware side of a simulated module: takes start, data and finish
// requests, stores the image where it belongs, acknowledges the next address
// it expects and checks the finish request's checksum against what it stored.
class SimFirmware {
  public:
    explicit SimFirmware(FirmwareOptions options);

    FirmwareReaction handle(std::span<const std::uint8_t> datagram);

    const std::vector<std::uint8_t>& image() const { return m_image; }
    std::uint32_t base() const { return m_base; }
    bool restartRequested() const { return m_restart; }

  private:
    FirmwareReaction onStart(const UpdateDatagram& request);
    FirmwareReaction onData(const UpdateDatagram& request);
    FirmwareReaction onFinish(const UpdateDatagram& request, bool restart);

    FirmwareOptions m_options;
    std::mt19937 m_random;
    bool m_started = false;
    std::uint32_t m_transferId = 0;
    std::uint32_t m_base = 0;
    std::vector<std::uint8_t> m_image;
    std::uint32_t m_expected = 0;
    unsigned m_dataRequests = 0;
    bool m_resent = false;
    bool m_restart = false;
    std::optional<std::uint32_t> m_slowAddress;  // of the slow data request
};

}  // namespace lanscope::sim
