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

// Why a run ended, for whoever reports or records it.
enum class UpdateEndReason {
    Running,
    Ok,              // the module confirmed the finished update
    Cancelled,       // by the user, before the finish request went out
    Declined,        // the module declined the update at its start
    Failed,          // a verdict, a time-out, a platform mismatch...
    UnknownOutcome,  // cancelled after the finish request: it may have taken
};

struct UpdateRunResult {
    UpdateEndReason reason = UpdateEndReason::Running;
    // What the user was shown for it (Failed), or our own words for the
    // record (Declined, UnknownOutcome); empty otherwise.
    std::string message;
};

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
    // An OK naming the end address after the finish request, when every copy
    // of the last data request has had its acknowledgement, may still be a
    // stray copy: it counts as the module's confirmation once no other
    // verdict has followed it for this long.
    static constexpr std::uint32_t kVerdictSettleMs = 300;
    // The same data request again (the module answered it with something
    // that is no acknowledgement) goes out at most this often a second.
    static constexpr int kMaxRepeatsPerSecond = 4;
    // Requests without progress that go out at once before that pace holds.
    static constexpr int kRepeatsAtOnce = 3;

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
    // Ends the run as failed with a message the user has been shown already
    // (the update port could not be bound).
    void abandon(std::string shownMessage);

    // Told after every change the view may show: progress, a request sent
    // again (resendCount), or the outcome.
    std::function<void()> changed;
    // Asks the front end to call onWake after the given milliseconds. Without
    // it the one-second ticks do (later, but the run still ends).
    std::function<void(std::uint32_t)> wakeAfter;

    UpdateState state() const { return m_state; }
    UpdateOutcome outcome() const { return m_outcome; }
    const UpdateRunResult& result() const { return m_result; }
    int progress() const { return m_progress; }
    bool timerRunning() const { return m_timerRunning; }
    std::uint32_t transferId() const { return m_transferId; }
    std::uint32_t currentAddress() const { return m_current; }
    int resendCount() const { return m_resendCount; }
    // The module declined the update (the run ended without a message).
    bool declined() const { return m_result.reason == UpdateEndReason::Declined; }
    int countdown() const { return m_countdown; }
    bool holdingFinish() const { return m_holdingFinish; }
    // An OK that may be a stray copy is waiting for a verdict to follow it.
    bool settlingVerdict() const { return m_settling; }
    const UpdateImage& image() const { return m_image; }

  private:
    void SendForState();
    void onStartReply(UpdateReplyType type, std::span<const std::uint8_t> datagram,
                      std::uint32_t address);
    void onTransferReply(UpdateReplyType type, std::uint32_t address);
    void onFinishReply(UpdateReplyType type, std::uint32_t address);
    void repeatRequest();
    void sendData(bool restartCountdown);
    void holdFinish();
    void finish(UpdateOutcome outcome, UpdateEndReason reason, std::string message = {});
    void fail(const std::string& message);
    void failMidway(UpdateReplyType type);
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
    int m_credentialsGiven = 0;
    UpdateRunResult m_result;
    int m_progress = 0;
    std::uint32_t m_current = 0;
    std::uint32_t m_transferId = 0;
    int m_resendCount = 0;
    int m_countdown = 0;
    // The reply (type and address) that made the last data request go out:
    // a copy of it asks for nothing new.
    std::optional<std::pair<UpdateReplyType, std::uint32_t>> m_lastDataReply;
    // The highest address the module has acknowledged; a reply that takes
    // it further is progress.
    std::uint32_t m_highest = 0;
    // When the last data request went out, and whether the same one is due
    // again once the pace allows.
    std::uint32_t m_lastDataSentAt = 0;
    bool m_repeatDue = false;
    // Requests without progress that may still go out at once, and the
    // highest address at which a resend request last added to them.
    int m_freeRepeats = kRepeatsAtOnce;
    std::uint32_t m_grantedAt = 0;
    // Copies of the last data request (the one that reaches the end) that
    // went out, from m_finalStart, and the acknowledgements naming the end
    // that came back: an OK naming the end while a copy is unanswered is
    // that copy's answer, not the verdict on the finish.
    std::uint32_t m_finalStart = 0;
    int m_finalCopies = 0;
    int m_endAcks = 0;
    bool m_finishSent = false;
    bool m_settling = false;
    std::uint32_t m_settleStart = 0;
    bool m_holdingFinish = false;
    std::uint32_t m_holdStart = 0;
    std::uint32_t m_lastReplyAt = 0;
    std::string m_user;
    std::string m_password;
};

}  // namespace lanscope
