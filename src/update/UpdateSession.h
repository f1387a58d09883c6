#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "common/Ipv4.h"
#include "common/Prompt.h"
#include "update/SRecordImage.h"
#include "update/SRecordLoader.h"
#include "update/UpdateRun.h"

namespace lanscope {

struct UpdateRunSettings {
    std::string imageFile;
    Ipv4 moduleAddress = 0;
    bool restart = false;
    std::string description;
    bool saveToFile = false;
    std::string saveFile;
    LoadMessages loadMessages = LoadMessages::AsKnown;
};

// One update as the user asked for it, the same for every front end: loads
// the image file, then writes the image file, or runs the update protocol
// with the module through a transport the front end opens. The front end
// feeds it replies, one-second ticks and the wake-ups it asks for.
class UpdateSession {
  public:
    UpdateSession(UpdateRunSettings settings, Prompt& prompt, CredentialsSource& credentials,
                  std::string caption, std::function<std::uint32_t()> millisecondClock,
                  std::function<std::string(const std::string&)> nativePath = {});

    // Loads the image; with "save to file" writes it and ends. Running means
    // the front end opens the transport and calls beginTransfer.
    UpdateOutcome open();
    void beginTransfer(UpdateTransport& transport);
    void onReply(std::span<const std::uint8_t> datagram);
    void onTick();
    void onWake();
    void cancel();

    // Told after every change the view may show: progress or outcome.
    std::function<void()> changed;
    // Asks the front end to call onWake after the given milliseconds.
    std::function<void(std::uint32_t)> wakeAfter;

    const UpdateRunSettings& settings() const { return m_settings; }
    UpdateOutcome outcome() const { return m_run ? m_run->outcome() : m_outcome; }
    int progress() const { return m_run ? m_run->progress() : 0; }
    const std::optional<UpdateImage>& image() const { return m_image; }
    // The protocol run, once the image is loaded and is not saved to a file.
    const UpdateRun* run() const { return m_run.get(); }

  private:
    void end(UpdateOutcome outcome);

    UpdateRunSettings m_settings;
    Prompt& m_prompt;
    CredentialsSource& m_credentials;
    std::string m_caption;
    std::function<std::uint32_t()> m_clock;
    std::function<std::string(const std::string&)> m_nativePath;
    std::optional<UpdateImage> m_image;
    std::unique_ptr<UpdateRun> m_run;
    UpdateOutcome m_outcome = UpdateOutcome::Running;
};

}  // namespace lanscope
