#include "update/UpdateRun.h"

#include <algorithm>

#include "update/Messages.h"

namespace lanscope {

UpdateRun::UpdateRun(UpdateRunSettings settings, Prompt& prompt, CredentialsSource& credentials,
                     std::string caption, std::function<std::uint32_t()> millisecondClock,
                     std::function<std::string(const std::string&)> nativePath)
    : m_settings(std::move(settings)),
      m_prompt(prompt),
      m_credentials(credentials),
      m_caption(std::move(caption)),
      m_clock(std::move(millisecondClock)),
      m_nativePath(std::move(nativePath)) {
    if (!m_nativePath) {
        m_nativePath = [](const std::string& path) { return path; };
    }
}

std::uint64_t UpdateRun::endAddress() const {
    return std::uint64_t{m_image->base} + m_image->length;
}

UpdateOutcome UpdateRun::open() {
    m_timerRunning = true;
    m_progress = 0;
    m_image = LoadSRecordImage(m_nativePath(m_settings.imageFile), m_prompt, m_caption);
    if (!m_image) {
        cancel();
        return m_outcome;
    }
    m_filePlatform = FilePlatform();
    if (m_settings.saveToFile) {
        auto saved =
            SaveImageFile(m_nativePath(m_settings.saveFile), *m_image, m_settings.description);
        if (!saved) {
            // A file that was not written must never read as "Save Complete".
            m_timerRunning = false;
            m_prompt.message(saved.error().text, m_caption, PromptIcon::Exclamation);
            finish(UpdateOutcome::Cancel);
        } else {
            m_timerRunning = false;
            finish(UpdateOutcome::Ok);
        }
    }
    return m_outcome;
}

void UpdateRun::beginTransfer(UpdateTransport& transport) {
    if (m_outcome != UpdateOutcome::Running || !m_image) {
        return;
    }
    m_transport = &transport;
    m_state = UpdateState::Starting;
    m_current = m_image->base;
    m_transferId = m_clock();
    m_resendCount = 0;
    SendForState();
}

void UpdateRun::SendForState() {
    if (m_transport == nullptr || !m_image) {
        return;
    }
    const UpdateImage& image = *m_image;
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
    if (m_outcome != UpdateOutcome::Running || !m_image) {
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
                    const auto platform = ReplyPlatformName(datagram);
                    if (platform && !m_filePlatform.empty() && *platform != m_filePlatform) {
                        m_prompt.message(FormatText(messages::kPlatformMismatch,
                                                    m_filePlatform.c_str(), platform->c_str()),
                                         m_caption, PromptIcon::Exclamation);
                        cancel();
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
            if (type == UpdateReplyType::Ok) {
                m_current = reply->address;
                if (m_current >= endAddress()) {
                    m_progress = 100;
                    m_state = m_settings.restart ? UpdateState::FinishingWithRestart
                                                 : UpdateState::Finishing;
                } else {
                    const std::uint64_t done =
                        m_current > m_image->base ? m_current - m_image->base : 0;
                    // An image of data records without data bytes has no length.
                    m_progress =
                        m_image->length == 0 ? 100 : static_cast<int>(done * 100 / m_image->length);
                }
                if (changed) {
                    changed();
                }
            } else if (type == UpdateReplyType::Resend) {
                m_current = reply->address;
            }
            SendForState();
            return;
        case UpdateState::Finishing:
        case UpdateState::FinishingWithRestart:
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

void UpdateRun::onTick() {
    if (m_outcome != UpdateOutcome::Running || !m_timerRunning || m_transport == nullptr ||
        m_state == UpdateState::AwaitingCredentials) {
        return;
    }
    if (--m_countdown > 0) {
        return;
    }
    SendForState();
    ++m_resendCount;
    if (m_resendCount > kMaxResends) {
        fail(messages::kTimeout);
    }
}

void UpdateRun::fail(const std::string& message) {
    m_timerRunning = false;
    m_prompt.message(message, m_caption, PromptIcon::Exclamation);
    finish(UpdateOutcome::Cancel);
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
