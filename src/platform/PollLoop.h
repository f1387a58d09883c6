#pragma once

#include <memory>
#include <vector>

#include "platform/EventLoop.h"

namespace lanscope {

// An event loop over poll() (WSAPoll() on Windows) for programs without Qt.
// Single-threaded: every call comes from the thread that runs it.
class PollLoop : public EventLoop {
  public:
    PollLoop();
    ~PollLoop() override;

    std::unique_ptr<Registration> watchReadable(SocketHandle socket, Callback onReadable) override;
    std::unique_ptr<Registration> startTimer(std::chrono::milliseconds interval, bool repeat,
                                             Callback onTimeout) override;
    bool runUntil(std::chrono::milliseconds timeout, const std::function<bool()>& done) override;

    struct Entry;

  private:
    // Waits at most until the deadline, then runs what is due; true when
    // `done` held after one of the callbacks.
    bool turn(std::chrono::steady_clock::time_point deadline, const std::function<bool()>& done);

    std::shared_ptr<std::vector<std::shared_ptr<Entry>>> m_entries;
};

}  // namespace lanscope
