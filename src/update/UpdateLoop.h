#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "platform/EventLoop.h"
#include "update/FerroxUpdateSocket.h"
#include "update/UpdateSession.h"

namespace lanscope {

// A millisecond count for the session's transfer ids and timing.
std::uint32_t SteadyMilliseconds();

// Drives an update session from an event loop: its update socket, the
// one-second tick and the wake-ups the session asks for. The window and the
// command line both run their updates through it.
class UpdateLoop {
  public:
    UpdateLoop(UpdateSession& session, Prompt& prompt, EventLoop& loop, std::string caption,
               UpdateEndpoints endpoints = {},
               std::chrono::milliseconds tick = std::chrono::seconds(1));
    // A run beside others on one socket (which must outlive it).
    UpdateLoop(UpdateSession& session, Prompt& prompt, EventLoop& loop, std::string caption,
               FerroxUpdateSocket& shared, std::chrono::milliseconds tick);
    ~UpdateLoop();
    UpdateLoop(const UpdateLoop&) = delete;
    UpdateLoop& operator=(const UpdateLoop&) = delete;

    // Loads the image, and writes the image file when asked to. Running: call
    // begin.
    UpdateOutcome open();
    // Opens the update socket and sends the first request. False when the
    // socket could not be bound (the prompt has said why): nothing can
    // answer then, and the run is cancelled rather than left to time out.
    bool begin();
    void stop();

  private:
    UpdateSession& m_session;
    Prompt& m_prompt;
    EventLoop& m_loop;
    std::string m_caption;
    UpdateEndpoints m_endpoints;
    std::chrono::milliseconds m_tickInterval;
    std::unique_ptr<EventLoop::Registration> m_tick;
    std::unique_ptr<EventLoop::Registration> m_wakeUp;
    FerroxUpdateSocket* m_shared = nullptr;
    std::unique_ptr<UpdateTransport> m_transport;
    bool m_listening = false;
};

}  // namespace lanscope
