#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "common/CredentialsSource.h"
#include "common/Ipv4.h"
#include "common/Prompt.h"
#include "update/SRecordImage.h"
#include "update/UpdateProtocol.h"

namespace lanscope {

// Where the run's requests go; implemented by the update socket.
class UpdateTransport {
  public:
    virtual ~UpdateTransport() = default;
    virtual void sendRequest(std::span<const std::uint8_t> datagram) = 0;
};

enum class UpdateState {
    Starting,
    AwaitingCredentials,
    Transferring,
    Finishing,
    FinishingWithRestart,
    Closing,
};

enum class UpdateOutcome { Running, Ok, Cancel };

// The update protocol with one module as a state machine over an image that
// is loaded already: the update session feeds it the module's replies,
// one-second ticks, wake-ups and Cancel, and shows what it reports. Start
// (with credentials when the module wants them, platforms compared), data
// chunks advanced only by the module's acknowledgements, and the finish
// request with the image checksum. An unanswered request goes out again every
// 20 ticks; the run gives up after the fourth repetition.
class UpdateRun {
  public:
    static constexpr int kTicksPerResend = 20;
    static constexpr int kMaxResends = 3;
    // After the last acknowledgement the finish request waits until the
    // module has been quiet this long (at most kMaxFinishHoldMs).
    static constexpr std::uint32_t kFinishQuietMs = 200;
    static constexpr std::uint32_t kMaxFinishHoldMs = 2000;

    // `image` must outlive the run.
    UpdateRun(const UpdateImage& image, bool restart, Prompt& prompt,
              CredentialsSource& credentials, std::string caption,
              std::function<std::uint32_t()> millisecondClock);

    void beginTransfer(UpdateTransport& transport);
    void onReply(std::span<const std::uint8_t> datagram);
    void onTick();
    // The wake-up asked for through wakeAfter.
    void onWake();
    void cancel();

    // Told after every change the view may show: progress, a request sent
    // again (resendCount), or the outcome.
    std::function<void()> changed;
    // Asks the front end to call onWake after the given milliseconds. Without
    // it the one-second ticks do (later, but the run still ends).
    std::function<void(std::uint32_t)> wakeAfter;

    UpdateState state() const { return m_state; }
    UpdateOutcome outcome() const { return m_outcome; }
    int progress() const { return m_progress; }
    bool timerRunning() const { return m_timerRunning; }
    std::uint32_t transferId() const { return m_transferId; }
    std::uint32_t currentAddress() const { return m_current; }
    int resendCount() const { return m_resendCount; }
    // The module declined the update (the run ended without a message).
    bool declined() const { return m_declined; }
    int countdown() const { return m_countdown; }
    bool holdingFinish() const { return m_holdingFinish; }
    const UpdateImage& image() const { return m_image; }

  private:
    void SendForState();
    void onTransferReply(UpdateReplyType type, std::uint32_t address);
    void holdFinish();
    void finish(UpdateOutcome outcome);
    void fail(const std::string& message);
    std::uint64_t endAddress() const;

    const UpdateImage& m_image;
    bool m_restart;
    Prompt& m_prompt;
    CredentialsSource& m_credentials;
    std::string m_caption;
    std::function<std::uint32_t()> m_clock;

    UpdateTransport* m_transport = nullptr;
    UpdateState m_state = UpdateState::Starting;
    UpdateOutcome m_outcome = UpdateOutcome::Running;
    bool m_timerRunning = true;
    bool m_askingCredentials = false;
    bool m_declined = false;
    int m_progress = 0;
    std::uint32_t m_current = 0;
    std::uint32_t m_transferId = 0;
    int m_resendCount = 0;
    int m_countdown = 0;
    // The reply (type and address) that made the last data request go out:
    // a copy of it asks for nothing new.
    std::optional<std::pair<UpdateReplyType, std::uint32_t>> m_lastDataReply;
    bool m_holdingFinish = false;
    std::uint32_t m_holdStart = 0;
    std::uint32_t m_lastReplyAt = 0;
    std::string m_user;
    std::string m_password;
};

}  // namespace lanscope
