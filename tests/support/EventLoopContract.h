#pragma once

// What every EventLoop must do, as typed tests: instantiated for the loop of
// the command-line programs and for Qt's.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <memory>

#include "platform/EventLoop.h"
#include "platform/UdpSocket.h"

namespace lanscope::test {

using namespace std::chrono_literals;

template <class Loop>
class EventLoopContract : public testing::Test {
  protected:
    Loop loop;
};

TYPED_TEST_SUITE_P(EventLoopContract);

TYPED_TEST_P(EventLoopContract, TimersFireOnceOrRepeatAndEndWithTheirRegistration) {
    EventLoop& loop = this->loop;
    int once = 0;
    int repeated = 0;
    auto single = loop.startTimer(1ms, false, [&] { ++once; });
    auto every = loop.startTimer(1ms, true, [&] { ++repeated; });
    EXPECT_TRUE(loop.runUntil(5s, [&] { return repeated >= 5; }));
    EXPECT_EQ(once, 1);
    every.reset();
    const int stopped = repeated;
    EXPECT_FALSE(loop.runUntil(30ms, [&] { return repeated > stopped; }));

    // Without a condition it runs the whole time, and says the condition
    // never held.
    EXPECT_FALSE(loop.runUntil(5ms, {}));
}

TYPED_TEST_P(EventLoopContract, AWatchCallsUntilItEndsItselfFromItsOwnCallback) {
    EventLoop& loop = this->loop;
    auto receiver = std::move(UdpSocket::open().value());
    ASSERT_TRUE(receiver.bind(kLoopback, 0).ok());
    auto sender = std::move(UdpSocket::open().value());
    const std::array<std::uint8_t, 3> datagram{1, 2, 3};

    int calls = 0;
    std::unique_ptr<EventLoop::Registration> watch;
    watch = loop.watchReadable(receiver.handle(), [&] {
        std::array<std::uint8_t, 16> buffer;
        while (receiver.receiveFrom(buffer).ok()) {
        }
        if (++calls == 2) {
            watch.reset();
        }
    });
    for (int round = 1; round <= 2; ++round) {
        ASSERT_TRUE(sender.sendTo(datagram, kLoopback, receiver.localPort().value()).ok());
        ASSERT_TRUE(loop.runUntil(5s, [&] { return calls == round; }));
    }
    EXPECT_EQ(watch, nullptr);
    ASSERT_TRUE(sender.sendTo(datagram, kLoopback, receiver.localPort().value()).ok());
    EXPECT_FALSE(loop.runUntil(50ms, [&] { return calls > 2; }));
}

TYPED_TEST_P(EventLoopContract, AnInnerRunEndsOnItsOwnConditionAndTheOuterGoesOn) {
    EventLoop& loop = this->loop;
    int ticks = 0;
    bool innerHeld = false;
    int ticksAfterInner = -1;
    auto every = loop.startTimer(1ms, true, [&] { ++ticks; });
    auto nest = loop.startTimer(1ms, false, [&] {
        innerHeld = loop.runUntil(5s, [&] { return ticks >= 3; });
        ticksAfterInner = ticks;
    });
    EXPECT_TRUE(loop.runUntil(5s, [&] { return ticks >= 6 && ticksAfterInner >= 0; }));
    EXPECT_TRUE(innerHeld);
    EXPECT_GE(ticksAfterInner, 3);
}

REGISTER_TYPED_TEST_SUITE_P(EventLoopContract, TimersFireOnceOrRepeatAndEndWithTheirRegistration,
                            AWatchCallsUntilItEndsItselfFromItsOwnCallback,
                            AnInnerRunEndsOnItsOwnConditionAndTheOuterGoesOn);

}  // namespace lanscope::test
