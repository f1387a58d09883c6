#pragma once

#include <vector>

#include "platform/EventLoop.h"

namespace lanscope {

// The event loop of Qt (QSocketNotifier, QTimer, QEventLoop) behind the
// interface the session objects use; the windows run on it.
class QtEventLoop : public EventLoop {
  public:
    std::unique_ptr<Registration> watchReadable(SocketHandle socket, Callback onReadable) override;
    std::unique_ptr<Registration> startTimer(std::chrono::milliseconds interval, bool repeat,
                                             Callback onTimeout) override;
    bool runUntil(std::chrono::milliseconds timeout, const std::function<bool()>& done) override;

    // The one every window shares: Qt runs one event loop per thread, and the
    // windows all live on the main thread, so this is process-wide on
    // purpose, as QCoreApplication::instance() is.
    static QtEventLoop& instance();

  private:
    // Runs a callback, then lets the innermost runUntil look at its condition.
    Callback checked(Callback callback, std::shared_ptr<int> depth);

    struct Run;
    std::vector<Run*> m_runs;
};

}  // namespace lanscope
