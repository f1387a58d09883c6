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
    m_current = m_highest = m_grantedAt = m_image.base;
    m_freeRepeats = kRepeatsAtOnce;
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
        case UpdateState::Transferring:
            sendData(true);
            return;
        case UpdateState::Finishing:
        case UpdateState::FinishingWithRestart:
            m_finishSent = true;
            m_transport->sendRequest(
                BuildFinishRequest(m_transferId, static_cast<std::uint32_t>(endAddress()),
                                   image.checksum, m_state == UpdateState::FinishingWithRestart));
            break;
        case UpdateState::Closing:
            m_timerRunning = false;
            finish(UpdateOutcome::Ok, UpdateEndReason::Ok);
            return;
    }
    m_countdown = kTicksPerResend;
}

void UpdateRun::sendData(bool restartCountdown) {
    const UpdateImage& image = m_image;
    const std::uint64_t end = endAddress();
    const std::uint64_t left = end - std::min<std::uint64_t>(m_current, end);
    const std::size_t count =
        static_cast<std::size_t>(std::min<std::uint64_t>(left, kMaxDataChunk));
    // An address the module names outside the image gets an empty chunk
    // rather than bytes from beyond the block.
    const std::size_t offset = m_current >= image.base
                                   ? std::min<std::size_t>(m_current - image.base, image.length)
                                   : image.length;
    if (m_current + std::uint64_t{count} >= end) {
        // Every copy of the last chunk may bring an acknowledgement naming
        // the end; a chunk from elsewhere starts the count again, as the
        // earlier ones were answered before the transfer moved on.
        if (m_finalCopies == 0 || m_finalStart != m_current) {
            m_finalStart = m_current;
            m_finalCopies = 0;
            m_endAcks = 0;
        }
        ++m_finalCopies;
    }
    m_repeatDue = false;
    m_lastDataSentAt = m_clock();
    m_transport->sendRequest(
        BuildDataRequest(m_transferId, m_current,
                         std::span<const std::uint8_t>(image.block.data() + offset,
                                                       std::min(count, image.length - offset))));
    if (restartCountdown) {
        m_countdown = kTicksPerResend;
    }
}

void UpdateRun::onReply(std::span<const std::uint8_t> datagram) {
    if (m_outcome != UpdateOutcome::Running) {
        return;
    }
    const auto reply = DecodeUpdateDatagram(datagram);
    if (!reply || reply->transferId != m_transferId) {
        return;  // too short to be a reply, or another run's
    }
    const auto type = static_cast<UpdateReplyType>(reply->type);
    if (type == UpdateReplyType::KeepAlive) {
        m_resendCount = 0;
        return;
    }
    // Only a reply the run acts on clears the resend count below: one it
    // passes over must not keep a module that makes no progress alive.
    switch (m_state) {
        case UpdateState::Starting:
        case UpdateState::AwaitingCredentials:
            onStartReply(type, datagram, reply->address);
            return;
        case UpdateState::Transferring:
            onTransferReply(type, reply->address);
            return;
        case UpdateState::Finishing:
        case UpdateState::FinishingWithRestart:
            onFinishReply(type, reply->address);
            return;
        case UpdateState::Closing:
            return;
    }
}

void UpdateRun::onStartReply(UpdateReplyType type, std::span<const std::uint8_t> datagram,
                             std::uint32_t address) {
    switch (type) {
        case UpdateReplyType::Ok: {
            m_resendCount = 0;
            m_state = UpdateState::Transferring;
            // Its copies must not send the first chunk again.
            m_lastDataReply = std::pair{type, address};
            const auto platform = ReplyPlatformName(datagram);
            if (platform && !m_image.platform.empty() && *platform != m_image.platform) {
                fail(messages::PlatformMismatchText(m_image.platform.c_str(), platform->c_str()));
                return;
            }
            SendForState();
            return;
        }
        case UpdateReplyType::NeedCredentials: {
            m_resendCount = 0;
            m_state = UpdateState::AwaitingCredentials;
            if (m_askingCredentials) {
                return;  // the question is on screen already
            }
            m_askingCredentials = true;
            std::string user;
            std::string password;
            // Asked again, the module refused what it was given: the
            // question says so.
            const bool given = m_credentialsGiven == 0
                                   ? m_credentials.askCredentials(user, password)
                                   : m_credentials.askCredentialsAgain(user, password);
            m_askingCredentials = false;
            if (m_outcome != UpdateOutcome::Running) {
                return;
            }
            if (!given) {
                // Nobody to ask is no choice of the user's: the run failed.
                const std::string why = m_credentials.whyNotGiven();
                if (why.empty()) {
                    cancel();
                } else {
                    m_timerRunning = false;
                    finish(UpdateOutcome::Cancel, UpdateEndReason::Failed, why);
                }
                return;
            }
            ++m_credentialsGiven;
            m_user = user;
            m_password = password;
            SendForState();
            return;
        }
        case UpdateReplyType::Declined:
            // Ended without a word, as the modules' tools do; the service
            // history and the command line still tell it from a Cancel.
            m_timerRunning = false;
            finish(UpdateOutcome::Cancel, UpdateEndReason::Declined,
                   messages::kUpdateDeclinedRecord);
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
}

void UpdateRun::onTransferReply(UpdateReplyType type, std::uint32_t address) {
    switch (type) {
        case UpdateReplyType::Ok:
        case UpdateReplyType::Resend:
            break;
        case UpdateReplyType::Declined:
        case UpdateReplyType::NoMemory:
        case UpdateReplyType::ShutdownRefused:
            // A module that restarted, or changed its mind: asking again
            // only floods it.
            failMidway(type);
            return;
        default:
            repeatRequest();  // any other reply repeats the chunk
            return;
    }
    const std::uint64_t end = endAddress();
    if (type == UpdateReplyType::Ok && address >= end) {
        ++m_endAcks;
    }
    const std::pair<UpdateReplyType, std::uint32_t> key{type, address};
    if (m_lastDataReply == key) {
        // A duplicated datagram: its chunk is out already, and a lost one is
        // sent again by the 20-second rule.
        return;
    }
    if (address < m_image.base || (type == UpdateReplyType::Resend && address >= end)) {
        // A late copy of the start's acknowledgement, or a request for
        // bytes the image does not have: nothing to send.
        return;
    }
    const bool progress = type == UpdateReplyType::Ok && address > m_highest;
    if (progress) {
        m_highest = address;
        m_resendCount = 0;
        m_freeRepeats = kRepeatsAtOnce;
    } else if (type == UpdateReplyType::Resend && address < m_highest && m_grantedAt != m_highest) {
        // The module asks for bytes it had taken: the way back to where it
        // was goes at full speed, once for each point it reached.
        m_grantedAt = m_highest;
        m_freeRepeats += static_cast<int>(
            std::min<std::uint64_t>((m_highest - address) / kMaxDataChunk + 1, 1u << 20));
    }
    m_current = address;
    m_lastDataReply = key;
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
    if (progress) {
        SendForState();
    } else if (m_freeRepeats > 0) {
        // No progress: sent at once while the allowance lasts, and without
        // restarting the countdown, so no reply pattern holds off the
        // time-out or floods the module.
        --m_freeRepeats;
        sendData(false);
    } else {
        repeatRequest();
    }
}

void UpdateRun::repeatRequest() {
    // Paced, and without restarting the countdown: whatever the module
    // answers, a transfer that makes no progress still reaches its time-out.
    constexpr std::uint32_t kSpacingMs = 1000 / kMaxRepeatsPerSecond;
    const std::uint32_t since = m_clock() - m_lastDataSentAt;
    if (since >= kSpacingMs) {
        sendData(false);
        return;
    }
    if (!m_repeatDue) {
        m_repeatDue = true;
        if (wakeAfter) {
            wakeAfter(kSpacingMs - since);
        }
    }
}

void UpdateRun::failMidway(UpdateReplyType type) {
    const auto acknowledged = static_cast<unsigned long>(
        std::min<std::uint64_t>(m_highest - m_image.base, m_image.length));
    const auto length = static_cast<unsigned long>(m_image.length);
    switch (type) {
        case UpdateReplyType::NoMemory:
            fail(messages::NoMemoryMidwayText(acknowledged, length));
            return;
        case UpdateReplyType::ShutdownRefused:
            fail(messages::RefusedMidwayText(acknowledged, length));
            return;
        default:
            fail(messages::DeclinedMidwayText(acknowledged, length));
            return;
    }
}

void UpdateRun::onFinishReply(UpdateReplyType type, std::uint32_t address) {
    const std::uint64_t end = endAddress();
    // Where a data acknowledgement may point: past the image's first byte.
    // A module that answers the finish names no such address (0), or the
    // end address, as some do.
    const bool namesEnd = address >= end && address != 0;
    const bool lateDataAck = address != 0 && address >= m_image.base && address < end;
    if (type == UpdateReplyType::Ok && namesEnd && m_endAcks < m_finalCopies) {
        ++m_endAcks;  // the answer to a copy of the last chunk
        if (m_holdingFinish) {
            m_lastReplyAt = m_clock();
        }
        return;
    }
    if (m_holdingFinish) {
        // Late copies of data acknowledgements; the finish is not out.
        m_lastReplyAt = m_clock();
        return;
    }
    if (type == UpdateReplyType::ChecksumFailed && m_timerRunning) {
        m_resendCount = 0;
        fail(messages::kChecksumFailed);
        return;
    }
    if (type != UpdateReplyType::Ok || lateDataAck) {
        return;
    }
    m_resendCount = 0;
    if (namesEnd) {
        // Every copy of the last chunk has had its answer, so this is the
        // finish's OK or a copy the module sent on its own: taken once no
        // checksum verdict follows it.
        if (!m_settling) {
            m_settling = true;
            m_settleStart = m_clock();
            if (wakeAfter) {
                wakeAfter(kVerdictSettleMs);
            }
        }
        return;
    }
    m_state = UpdateState::Closing;
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
    if (m_outcome != UpdateOutcome::Running) {
        return;
    }
    const std::uint32_t now = m_clock();
    if (m_state == UpdateState::Transferring) {
        if (m_repeatDue) {
            repeatRequest();
        }
        return;
    }
    if (m_settling) {
        const std::uint32_t settled = now - m_settleStart;
        if (settled < kVerdictSettleMs) {
            if (wakeAfter) {
                wakeAfter(kVerdictSettleMs - settled);
            }
            return;
        }
        m_state = UpdateState::Closing;
        SendForState();
        return;
    }
    if (!m_holdingFinish) {
        return;
    }
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
    if (m_holdingFinish || m_settling) {
        onWake();
        return;
    }
    if (m_repeatDue) {
        onWake();  // without wake-ups the tick sends the paced repeat
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
    m_result = {UpdateEndReason::Failed, message};
    m_prompt.message(message, m_caption, PromptIcon::Exclamation);
    if (changed) {
        changed();
    }
}

void UpdateRun::abandon(std::string shownMessage) {
    if (m_outcome != UpdateOutcome::Running) {
        return;
    }
    m_timerRunning = false;
    finish(UpdateOutcome::Cancel, UpdateEndReason::Failed, std::move(shownMessage));
}

void UpdateRun::cancel() {
    if (m_outcome != UpdateOutcome::Running) {
        return;
    }
    m_timerRunning = false;
    // Once the finish request is out the module may have taken the image,
    // whatever it would have said.
    if (m_finishSent) {
        finish(UpdateOutcome::Cancel, UpdateEndReason::UnknownOutcome,
               messages::kCancelledAfterFinish);
    } else {
        finish(UpdateOutcome::Cancel, UpdateEndReason::Cancelled);
    }
}

void UpdateRun::finish(UpdateOutcome outcome, UpdateEndReason reason, std::string message) {
    if (m_outcome != UpdateOutcome::Running) {
        return;
    }
    m_outcome = outcome;
    m_result = {reason, std::move(message)};
    m_state = UpdateState::Closing;
    if (changed) {
        changed();
    }
}

}  // namespace lanscope
