#include "update/UpdateRun.h"

#include <algorithm>

#include "update/Messages.h"

namespace lanscope {

UpdateRun::UpdateRun(const UpdateImage& image, bool restart, Prompt& prompt,
                     CredentialsSource& credentials, std::string caption,
                     std::function<std::uint32_t()> millisecondClock)
    : m_image(image),
      m_restart(restart),
      m_prompt(prompt),
      m_credentials(credentials),
      m_caption(std::move(caption)),
      m_clock(std::move(millisecondClock)) {}

std::uint64_t UpdateRun::endAddress() const {
    return m_image.end();
}

void UpdateRun::beginTransfer(UpdateTransport& transport) {
    if (m_outcome != UpdateOutcome::Running) {
        return;
    }
    m_transport = &transport;
    m_state = UpdateState::Starting;
    m_current = m_image.base;
    m_transferId = m_clock();
    m_resendCount = 0;
    m_lastDataReply.reset();
    m_holdingFinish = false;
    SendForState();
}

void UpdateRun::SendForState() {
    if (m_transport == nullptr) {
        return;
    }
    const UpdateImage& image = m_image;
    switch (m_state) {
        case UpdateState::Starting:
            m_transport->sendRequest(
                BuildStartRequest(m_transferId, image.base, image.length, false, {}, {}));
            break;
        case UpdateState::AwaitingCredentials:
            m_transport->sendRequest(BuildStartRequest(m_transferId, image.base, image.length, true,
                                                       m_user, m_password));
            break;
        case UpdateState::Transferring: {
            const std::uint64_t left =
                endAddress() - std::min<std::uint64_t>(m_current, endAddress());
            const std::size_t count =
                static_cast<std::size_t>(std::min<std::uint64_t>(left, kMaxDataChunk));
            // An address the module names outside the image gets an empty
            // chunk rather than bytes from beyond the block.
            const std::size_t offset =
                m_current >= image.base
                    ? std::min<std::size_t>(m_current - image.base, image.length)
                    : image.length;
            m_transport->sendRequest(BuildDataRequest(
                m_transferId, m_current,
                std::span<const std::uint8_t>(image.block.data() + offset,
                                              std::min(count, image.length - offset))));
            break;
        }
        case UpdateState::Finishing:
        case UpdateState::FinishingWithRestart:
            m_transport->sendRequest(
                BuildFinishRequest(m_transferId, static_cast<std::uint32_t>(endAddress()),
                                   image.checksum, m_state == UpdateState::FinishingWithRestart));
            break;
        case UpdateState::Closing:
            m_timerRunning = false;
            finish(UpdateOutcome::Ok);
            return;
    }
    m_countdown = kTicksPerResend;
}

void UpdateRun::onReply(std::span<const std::uint8_t> datagram) {
    if (m_outcome != UpdateOutcome::Running) {
        return;
    }
    const auto reply = DecodeUpdateDatagram(datagram);
    if (!reply || reply->transferId != m_transferId) {
        return;  // too short to be a reply, or another run's
    }
    m_resendCount = 0;
    const auto type = static_cast<UpdateReplyType>(reply->type);
    if (type == UpdateReplyType::KeepAlive) {
        return;
    }
    switch (m_state) {
        case UpdateState::Starting:
        case UpdateState::AwaitingCredentials:
            switch (type) {
                case UpdateReplyType::Ok: {
                    m_state = UpdateState::Transferring;
                    // Its copies must not send the first chunk again.
                    m_lastDataReply = std::pair{type, reply->address};
                    const auto platform = ReplyPlatformName(datagram);
                    if (platform && !m_image.platform.empty() && *platform != m_image.platform) {
                        fail(messages::PlatformMismatchText(m_image.platform.c_str(),
                                                            platform->c_str()));
                        return;
                    }
                    SendForState();
                    return;
                }
                case UpdateReplyType::NeedCredentials: {
                    m_state = UpdateState::AwaitingCredentials;
                    if (m_askingCredentials) {
                        return;  // the question is on screen already
                    }
                    m_askingCredentials = true;
                    std::string user;
                    std::string password;
                    const bool given = m_credentials.askCredentials(user, password);
                    m_askingCredentials = false;
                    if (m_outcome != UpdateOutcome::Running) {
                        return;
                    }
                    if (!given) {
                        cancel();
                        return;
                    }
                    m_user = user;
                    m_password = password;
                    SendForState();
                    return;
                }
                case UpdateReplyType::Declined:
                    // Ended without a word, as the modules' tools do; the
                    // service history still tells it from a Cancel.
                    m_declined = true;
                    cancel();
                    return;
                case UpdateReplyType::NoMemory:
                    fail(messages::kNoMemory);
                    return;
                case UpdateReplyType::ShutdownRefused:
                    fail(messages::kShutdownRefused);
                    return;
                default:
                    return;
            }
        case UpdateState::Transferring:
            onTransferReply(type, reply->address);
            return;
        case UpdateState::Finishing:
        case UpdateState::FinishingWithRestart:
            if (m_holdingFinish) {
                // Late copies of data acknowledgements; the finish is not out.
                m_lastReplyAt = m_clock();
                return;
            }
            if (type == UpdateReplyType::Ok) {
                m_state = UpdateState::Closing;
                SendForState();
            } else if (type == UpdateReplyType::ChecksumFailed && m_timerRunning) {
                fail(messages::kChecksumFailed);
            }
            return;
        case UpdateState::Closing:
            return;
    }
}

void UpdateRun::onTransferReply(UpdateReplyType type, std::uint32_t address) {
    if (type != UpdateReplyType::Ok && type != UpdateReplyType::Resend) {
        SendForState();  // any other reply repeats the chunk
        return;
    }
    const std::pair<UpdateReplyType, std::uint32_t> key{type, address};
    if (m_lastDataReply == key) {
        // A duplicated datagram: its chunk is out already, and a lost one is
        // sent again by the 20-second rule.
        return;
    }
    const std::uint64_t end = endAddress();
    if (address < m_image.base || (type == UpdateReplyType::Resend && address >= end)) {
        // A late copy of the start's acknowledgement, or a request for
        // bytes the image does not have: nothing to send.
        return;
    }
    m_current = address;
    if (type == UpdateReplyType::Ok) {
        if (m_current >= end) {
            m_progress = 100;
            m_state = m_restart ? UpdateState::FinishingWithRestart : UpdateState::Finishing;
            if (changed) {
                changed();
            }
            holdFinish();
            return;
        }
        // An image of data records without data bytes has no length.
        m_progress =
            m_image.length == 0
                ? 100
                : static_cast<int>(std::uint64_t{m_current - m_image.base} * 100 / m_image.length);
        if (changed) {
            changed();
        }
    }
    m_lastDataReply = key;
    SendForState();
}

void UpdateRun::holdFinish() {
    // Nothing in a reply tells a finish confirmation from a copy of a data
    // acknowledgement. Copies still under way would read as the module's
    // verdict on the finish, so the finish goes out once they have passed.
    m_holdingFinish = true;
    m_holdStart = m_lastReplyAt = m_clock();
    m_countdown = kTicksPerResend;
    if (wakeAfter) {
        wakeAfter(kFinishQuietMs);
    }
}

void UpdateRun::onWake() {
    if (m_outcome != UpdateOutcome::Running || !m_holdingFinish) {
        return;
    }
    const std::uint32_t now = m_clock();
    const std::uint32_t quiet = now - m_lastReplyAt;
    const std::uint32_t held = now - m_holdStart;
    if (quiet < kFinishQuietMs && held < kMaxFinishHoldMs) {
        if (wakeAfter) {
            wakeAfter(std::min(kFinishQuietMs - quiet, kMaxFinishHoldMs - held));
        }
        return;
    }
    m_holdingFinish = false;
    SendForState();
}

void UpdateRun::onTick() {
    // While the user is asked for credentials nothing goes out; otherwise
    // every state waits under the resend and time-out rule.
    if (m_outcome != UpdateOutcome::Running || !m_timerRunning || m_transport == nullptr ||
        m_askingCredentials) {
        return;
    }
    if (m_holdingFinish) {
        onWake();
        return;
    }
    if (--m_countdown > 0) {
        return;
    }
    SendForState();
    ++m_resendCount;
    if (m_resendCount > kMaxResends) {
        fail(messages::kTimeout);
    } else if (changed) {
        changed();  // a view may say that the module is asked again
    }
}

void UpdateRun::fail(const std::string& message) {
    if (m_outcome != UpdateOutcome::Running) {
        return;
    }
    // Ended before the message shows: replies and ticks that arrive while it
    // is on screen must not send anything more (or take a copy of the same
    // verdict for another message).
    m_timerRunning = false;
    m_state = UpdateState::Closing;
    m_outcome = UpdateOutcome::Cancel;
    m_prompt.message(message, m_caption, PromptIcon::Exclamation);
    if (changed) {
        changed();
    }
}

void UpdateRun::cancel() {
    if (m_outcome != UpdateOutcome::Running) {
        return;
    }
    m_state = UpdateState::Closing;
    m_timerRunning = false;
    finish(UpdateOutcome::Cancel);
}

void UpdateRun::finish(UpdateOutcome outcome) {
    if (m_outcome != UpdateOutcome::Running) {
        return;
    }
    m_outcome = outcome;
    m_state = UpdateState::Closing;
    if (changed) {
        changed();
    }
}

}  // namespace lanscope
