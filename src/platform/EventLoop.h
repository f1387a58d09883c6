#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

namespace lanscope {

// A socket as the system names it: a file descriptor on POSIX systems, a
// SOCKET on Windows. Both fit, and -1 is "none" for both.
using SocketHandle = std::intptr_t;
inline constexpr SocketHandle kNoSocket = -1;

// What delivers socket readiness and timers to the objects that talk to the
// modules. The windows run it on Qt's event loop; the command-line tool and
// the simulator on a small loop of their own (PollLoop). Callbacks run on the
// thread that runs the loop.
class EventLoop {
  public:
    using Callback = std::function<void()>;

    // Ends the watch or timer when destroyed (also from inside its callback).
    class Registration {
      public:
        virtual ~Registration() = default;
    };

    virtual ~EventLoop() = default;

    // Calls `onReadable` whenever the socket has something to read.
    virtual std::unique_ptr<Registration> watchReadable(SocketHandle socket,
                                                        Callback onReadable) = 0;
    // Calls `onTimeout` after `interval`, and then every `interval` when
    // `repeat`.
    virtual std::unique_ptr<Registration> startTimer(std::chrono::milliseconds interval,
                                                     bool repeat, Callback onTimeout) = 0;

    // Dispatches until `done` holds (asked before the first wait and after
    // every callback) or `timeout` has passed; returns whether `done` held.
    // Without `done` it runs the whole time. May be nested.
    virtual bool runUntil(std::chrono::milliseconds timeout, const std::function<bool()>& done) = 0;

    static constexpr std::chrono::milliseconds kForever = std::chrono::hours(24 * 365);
};

}  // namespace lanscope
