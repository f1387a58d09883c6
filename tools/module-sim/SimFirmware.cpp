#include "SimFirmware.h"

#include <algorithm>

#include "update/SRecordImage.h"

namespace lanscope::sim {

namespace {

std::string Hex(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", value);
    return text;
}

}  // namespace

SimFirmware::SimFirmware(FirmwareOptions options)
    : m_options(std::move(options)), m_random(m_options.seed) {}

FirmwareReaction SimFirmware::handle(std::span<const std::uint8_t> datagram) {
    FirmwareReaction reaction;
    const auto request = DecodeUpdateDatagram(datagram);
    if (!request || datagram[4] != kUpdateProtocolLetter) {
        return reaction;
    }
    if (m_options.dropShare > 0 &&
        std::uniform_real_distribution<double>(0, 1)(m_random) < m_options.dropShare) {
        reaction.log = "update request type " + std::to_string(request->type) + ": dropped";
        return reaction;
    }
    if (m_options.keepAliveOnly) {
        reaction.replies.push_back(
            BuildUpdateReply(UpdateReplyType::KeepAlive, request->transferId));
        reaction.log = "update request type " + std::to_string(request->type) + ": keep-alive";
    } else {
        switch (static_cast<UpdateRequestType>(request->type)) {
            case UpdateRequestType::Start:
                reaction = onStart(*request);
                break;
            case UpdateRequestType::Data:
                reaction = onData(*request);
                break;
            case UpdateRequestType::Finish:
                reaction = onFinish(*request, false);
                break;
            case UpdateRequestType::FinishReboot:
                reaction = onFinish(*request, true);
                break;
            default:
                reaction.log = "unknown update request type " + std::to_string(request->type);
                return reaction;
        }
    }
    const bool chosen = request->type == static_cast<std::uint8_t>(UpdateRequestType::Data) &&
                        m_options.duplicateData.count(m_dataRequests) != 0;
    if ((m_options.duplicate || chosen) && !reaction.replies.empty()) {
        reaction.replies.push_back(reaction.replies.back());
    }
    return reaction;
}

FirmwareReaction SimFirmware::onStart(const UpdateDatagram& request) {
    FirmwareReaction reaction;
    const std::uint32_t id = request.transferId;
    reaction.log =
        "start: base " + Hex(request.address) + " length " + std::to_string(request.value);
    if (m_options.requireCredentials) {
        const auto payload = request.payload;
        const auto userEnd = std::find(payload.begin(), payload.end(), std::uint8_t{0});
        const std::string user(payload.begin(), userEnd);
        std::string password;
        if (userEnd != payload.end()) {
            password.assign(userEnd + 1, std::find(userEnd + 1, payload.end(), std::uint8_t{0}));
        }
        if (request.size == 24 || user != m_options.user || password != m_options.password) {
            reaction.replies.push_back(BuildUpdateReply(UpdateReplyType::NeedCredentials, id));
            reaction.log += ": credentials needed";
            return reaction;
        }
        reaction.log += ": credentials accepted";
    }
    if (m_options.startVerdict) {
        reaction.replies.push_back(BuildUpdateReply(*m_options.startVerdict, id));
        reaction.log += ": verdict " + std::to_string(static_cast<int>(*m_options.startVerdict));
        return reaction;
    }
    if (request.value > m_options.memory) {
        reaction.replies.push_back(BuildUpdateReply(UpdateReplyType::NoMemory, id));
        reaction.log += ": no memory";
        return reaction;
    }
    m_started = true;
    m_transferId = id;
    m_base = request.address;
    m_image.assign(request.value, 0);
    m_expected = request.address;
    m_dataRequests = 0;
    m_resent = false;
    m_restart = false;
    m_slowAddress.reset();
    reaction.replies.push_back(BuildUpdateReply(UpdateReplyType::Ok, id, 0, 0, m_options.platform));
    return reaction;
}

FirmwareReaction SimFirmware::onData(const UpdateDatagram& request) {
    FirmwareReaction reaction;
    if (!m_started || request.transferId != m_transferId) {
        reaction.log = "data for no transfer: ignored";
        return reaction;
    }
    ++m_dataRequests;
    reaction.log = "data #" + std::to_string(m_dataRequests) + " at " + Hex(request.address) +
                   ", " + std::to_string(request.payload.size()) + " bytes";
    if (m_options.dropData.count(m_dataRequests) != 0) {
        reaction.log += ": dropped";
        return reaction;
    }
    if (m_options.declineAfter && m_dataRequests > *m_options.declineAfter) {
        reaction.replies.push_back(BuildUpdateReply(UpdateReplyType::Declined, m_transferId));
        reaction.log += ": declined";
        return reaction;
    }
    if (m_options.slowData && m_dataRequests == m_options.slowData->first) {
        m_slowAddress = request.address;
    }
    if (m_slowAddress == request.address) {
        reaction.workMs = m_options.slowData->second;
        reaction.log += ": slow, " + std::to_string(reaction.workMs) + " ms";
    }
    if (request.address > m_expected) {
        // Something before it was lost: ask for it again.
        reaction.replies.push_back(
            BuildUpdateReply(UpdateReplyType::Resend, m_transferId, m_expected));
        reaction.log += ": resend from " + Hex(m_expected);
        return reaction;
    }
    const std::uint32_t offset = request.address - m_base;
    if (m_options.resendAt && !m_resent && offset >= *m_options.resendAt) {
        m_resent = true;
        const std::uint32_t back =
            offset >= m_options.resendBack ? offset - m_options.resendBack : 0;
        m_expected = m_base + back;
        reaction.replies.push_back(
            BuildUpdateReply(UpdateReplyType::Resend, m_transferId, m_expected));
        reaction.log += ": asks for a resend from " + Hex(m_expected);
        return reaction;
    }
    std::size_t take = request.payload.size();
    if (m_options.ackLimit != 0) {
        take = std::min(take, m_options.ackLimit);
    }
    if (offset < m_image.size()) {
        take = std::min<std::size_t>(take, m_image.size() - offset);
        std::copy_n(request.payload.begin(), take, m_image.begin() + offset);
    } else {
        take = 0;
    }
    m_expected = std::max(m_expected, request.address + static_cast<std::uint32_t>(take));
    reaction.replies.push_back(BuildUpdateReply(UpdateReplyType::Ok, m_transferId, m_expected));
    if (m_options.repeatLastAckMs && m_expected == m_base + m_image.size()) {
        reaction.later = std::pair{*m_options.repeatLastAckMs, reaction.replies.back()};
        reaction.log += ": repeated after " + std::to_string(*m_options.repeatLastAckMs) + " ms";
    }
    return reaction;
}

FirmwareReaction SimFirmware::onFinish(const UpdateDatagram& request, bool restart) {
    FirmwareReaction reaction;
    if (!m_started || request.transferId != m_transferId) {
        reaction.log = "finish for no transfer: ignored";
        return reaction;
    }
    if (m_options.corrupt && !m_image.empty()) {
        m_image[m_image.size() / 2] ^= 0xFF;
    }
    const std::uint32_t checksum = ImageChecksum(m_image);
    const bool complete =
        request.address == m_base + m_image.size() && m_expected == request.address;
    reaction.log = std::string(restart ? "finish with restart" : "finish") + ": checksum " +
                   Hex(request.value) + ", stored " + Hex(checksum);
    if (checksum != request.value || !complete) {
        reaction.replies.push_back(BuildUpdateReply(UpdateReplyType::ChecksumFailed, m_transferId));
        reaction.log += ": checksum failed";
        return reaction;
    }
    m_restart = restart;
    reaction.finished = true;
    reaction.replies.push_back(BuildUpdateReply(UpdateReplyType::Ok, m_transferId,
                                                m_options.finishOkWithEnd ? m_expected : 0));
    reaction.log += restart ? ": stored, restart requested" : ": stored";
    return reaction;
}

}  // namespace lanscope::sim
