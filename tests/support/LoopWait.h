#pragma once

#include <chrono>

#include "platform/PollLoop.h"

namespace lanscope::test {

// The system's code for "address in use", as the bind messages show it.
#ifdef _WIN32
inline constexpr long kAddressInUse = 10048;  // WSAEADDRINUSE
#else
inline constexpr long kAddressInUse = 98;  // EADDRINUSE
#endif

// The loop the Qt-free platform tests run their sockets on.
inline PollLoop& TestLoop() {
    static PollLoop loop;
    return loop;
}

// Runs the test loop until the condition holds or the time is up; returns
// whether it held. The condition is also looked at every millisecond, for
// things that happen outside the loop (a peer socket of the test's own).
template <class Condition>
bool WaitUntil(Condition condition, std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
    auto poll = TestLoop().startTimer(std::chrono::milliseconds(1), true, [] {});
    return TestLoop().runUntil(timeout, condition);
}

}  // namespace lanscope::test
