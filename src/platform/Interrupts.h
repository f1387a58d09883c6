#pragma once

#include <functional>
#include <memory>

#include "platform/EventLoop.h"

namespace lanscope {

// Ctrl-C and SIGTERM (on Windows Ctrl-C, Ctrl-Break and closing the console)
// while a command works: told on the event loop's thread, where the work can
// end in order and say so, instead of the process ending on the spot. The
// code is the exit code a shell expects for it: 130 for an interrupt, 143
// for a request to terminate. While the watch lives the signals do not end
// the process; afterwards they do again.
class InterruptWatch {
  public:
    InterruptWatch(EventLoop& loop, std::function<void(int exitCode)> onInterrupt);
    ~InterruptWatch();
    InterruptWatch(const InterruptWatch&) = delete;
    InterruptWatch& operator=(const InterruptWatch&) = delete;

    // Whether a signal has come (its exit code), 0 when none.
    int received() const { return m_received; }

    // On Windows closing the console ends the process once the handler
    // returns: the work says here that it has ended (its records written),
    // so the handler may let go. Nothing to do elsewhere.
    void done();

  private:
    struct System;

    std::function<void(int)> m_onInterrupt;
    int m_received = 0;
    std::unique_ptr<System> m_system;
};

}  // namespace lanscope
