#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "common/CredentialsSource.h"
#include "common/Prompt.h"
#include "history/History.h"
#include "platform/EventLoop.h"
#include "update/FerroxUpdateSocket.h"
#include "update/PrepareUpdate.h"
#include "update/UpdateRun.h"

namespace lanscope {

// A millisecond count for the run's transfer ids and timing.
std::uint32_t SteadyMilliseconds();

// One update as the user asked for it, from the image file to the wire, the
// same for the window and the command line: prepares the image (and with
// "save to file" writes it, which ends the work), then runs the update
// protocol with the module over an update socket, with the event loop's
// one-second tick and the wake-ups the run asks for.
class UpdateSession {
  public:
    UpdateSession(UpdateRunSettings settings, Prompt& prompt, CredentialsSource& credentials,
                  EventLoop& loop, std::string caption, UpdateEndpoints endpoints = {},
                  std::chrono::milliseconds tick = std::chrono::seconds(1));
    // A run beside others on one socket (which must outlive the session).
    UpdateSession(UpdateRunSettings settings, Prompt& prompt, CredentialsSource& credentials,
                  EventLoop& loop, std::string caption, FerroxUpdateSocket& shared,
                  std::chrono::milliseconds tick);
    ~UpdateSession();
    UpdateSession(const UpdateSession&) = delete;
    UpdateSession& operator=(const UpdateSession&) = delete;

    // Records the work in the service history: an update when it starts and
    // again with its outcome, a saved image or a file that did not load once.
    // `module` is the module as the list showed it. Call before start.
    void recordTo(HistorySink* history, HistoryModule module);
    // An image loaded already from the settings' file, which start() then
    // sends instead of loading the file again: a batch loads it once and
    // every module's run reads the same bytes. Call before start.
    void useImage(std::shared_ptr<const UpdateImage> image) { m_image = std::move(image); }

    // Prepares the image and, for an update, opens the socket and sends the
    // first request. A failure has been shown when this returns.
    UpdateOutcome start();
    // Whether the update socket could be bound (the prompt has said why not):
    // without it nothing can answer.
    bool listening() const { return m_listening; }
    void cancel();

    // Told after every change the view may show: progress, a request sent
    // again, the outcome.
    std::function<void()> changed;

    const UpdateRunSettings& settings() const { return m_settings; }
    UpdateOutcome outcome() const { return m_run ? m_run->outcome() : m_outcome; }
    // Why the work ended and what the user was told: the run's, or the
    // image's (a file that did not load fails, one written is Ok).
    UpdateRunResult result() const { return m_run ? m_run->result() : m_result; }
    // From the first request to the outcome (or to now); zero without a run.
    double transferSeconds() const;
    int progress() const { return m_run ? m_run->progress() : 0; }
    // The image sent, once loaded (or given).
    const UpdateImage* image() const { return m_image.get(); }
    // The protocol run, once the image is loaded and is not saved to a file.
    const UpdateRun* run() const { return m_run.get(); }
    // What the module acknowledged so far: all of the image once it confirmed.
    std::uint64_t acknowledgedBytes() const;

  private:
    void failLoad(const LoadFailure& failure, HistoryEvent event);
    void end(UpdateOutcome outcome, UpdateRunResult result);
    void recordOutcome();
    void onRunChanged();
    void stop();

    UpdateRunSettings m_settings;
    Prompt& m_prompt;
    CredentialsSource& m_credentials;
    EventLoop& m_loop;
    std::string m_caption;
    UpdateEndpoints m_endpoints;
    std::chrono::milliseconds m_tickInterval;
    FerroxUpdateSocket* m_shared = nullptr;
    std::shared_ptr<const UpdateImage> m_image;
    UpdateOutcome m_outcome = UpdateOutcome::Running;
    UpdateRunResult m_result;
    bool m_started = false;
    bool m_listening = false;
    HistorySink* m_history = nullptr;
    HistoryModule m_module;
    std::optional<HistoryEvent> m_startEvent;
    std::chrono::steady_clock::time_point m_transferStart;
    std::optional<std::chrono::steady_clock::time_point> m_transferEnd;
    std::string m_bindError;
    // Declared after the run: they call into it, so they go first.
    std::unique_ptr<UpdateRun> m_run;
    std::unique_ptr<UpdateTransport> m_transport;
    std::unique_ptr<EventLoop::Registration> m_tick;
    std::unique_ptr<EventLoop::Registration> m_wakeUp;
};

}  // namespace lanscope
