#include "update/UpdateSession.h"

#include "update/ImageFile.h"
#include "update/SRecordLoader.h"

namespace lanscope {

UpdateSession::UpdateSession(UpdateRunSettings settings, Prompt& prompt,
                             CredentialsSource& credentials, std::string caption,
                             std::function<std::uint32_t()> millisecondClock,
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

UpdateOutcome UpdateSession::open() {
    if (m_image || m_outcome != UpdateOutcome::Running) {
        return outcome();
    }
    m_image = LoadSRecordImage(m_nativePath(m_settings.imageFile), m_prompt, m_caption,
                               m_settings.loadMessages);
    if (!m_image) {
        end(UpdateOutcome::Cancel);
        return m_outcome;
    }
    if (m_settings.saveToFile) {
        auto saved =
            SaveImageFile(m_nativePath(m_settings.saveFile), *m_image, m_settings.description);
        if (!saved) {
            // A file that was not written must never read as "Save Complete".
            m_prompt.message(saved.error().text, m_caption, PromptIcon::Exclamation);
            end(UpdateOutcome::Cancel);
        } else {
            end(UpdateOutcome::Ok);
        }
        return m_outcome;
    }
    m_run = std::make_unique<UpdateRun>(*m_image, m_settings.restart, m_prompt, m_credentials,
                                        m_caption, m_clock);
    m_run->changed = [this] {
        if (changed) {
            changed();
        }
    };
    m_run->wakeAfter = [this](std::uint32_t ms) {
        if (wakeAfter) {
            wakeAfter(ms);
        }
    };
    return UpdateOutcome::Running;
}

void UpdateSession::beginTransfer(UpdateTransport& transport) {
    if (m_run) {
        m_run->beginTransfer(transport);
    }
}

void UpdateSession::onReply(std::span<const std::uint8_t> datagram) {
    if (m_run) {
        m_run->onReply(datagram);
    }
}

void UpdateSession::onTick() {
    if (m_run) {
        m_run->onTick();
    }
}

void UpdateSession::onWake() {
    if (m_run) {
        m_run->onWake();
    }
}

void UpdateSession::cancel() {
    if (m_run) {
        m_run->cancel();
    } else {
        end(UpdateOutcome::Cancel);
    }
}

void UpdateSession::end(UpdateOutcome outcome) {
    if (m_outcome != UpdateOutcome::Running) {
        return;
    }
    m_outcome = outcome;
    if (changed) {
        changed();
    }
}

}  // namespace lanscope
