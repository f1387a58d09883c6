#pragma once

#include <QCoreApplication>
#include <QThread>
#include <chrono>

namespace lanscope::test {

// Runs the event loop until the condition holds or the time is up; returns
// whether it held. (Qt's QTRY_ macros report to QTest, which GoogleTest
// does not hear.)
template <class Condition>
bool WaitUntil(Condition condition, std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

}  // namespace lanscope::test
