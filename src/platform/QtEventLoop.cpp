#include "platform/QtEventLoop.h"

#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>

namespace lanscope {

struct QtEventLoop::Run {
    QEventLoop loop;
    const std::function<bool()>* done = nullptr;
    bool reached = false;
};

namespace {

void Silence(QSocketNotifier& notifier) {
    notifier.setEnabled(false);
}
void Silence(QTimer& timer) {
    timer.stop();
}

// Counts the callbacks of one notifier or timer that are running.
using Depth = std::shared_ptr<int>;

template <class Object>
class QtRegistration : public EventLoop::Registration {
  public:
    QtRegistration(std::unique_ptr<Object> object, Depth depth)
        : m_object(std::move(object)), m_depth(std::move(depth)) {}
    ~QtRegistration() override {
        Silence(*m_object);
        QObject::disconnect(m_object.get(), nullptr, nullptr, nullptr);
        if (*m_depth > 0) {
            // Ended from inside its own callback: the object is still
            // delivering its signal.
            m_object.release()->deleteLater();
        }
    }

  private:
    std::unique_ptr<Object> m_object;
    Depth m_depth;
};

}  // namespace

QtEventLoop& QtEventLoop::instance() {
    static QtEventLoop loop;
    return loop;
}

EventLoop::Callback QtEventLoop::checked(Callback callback, std::shared_ptr<int> depth) {
    return [this, callback = std::move(callback), depth = std::move(depth)] {
        ++*depth;
        callback();
        --*depth;
        if (!m_runs.empty()) {
            Run& run = *m_runs.back();
            if (!run.reached && *run.done && (*run.done)()) {
                run.reached = true;
                run.loop.quit();
            }
        }
    };
}

std::unique_ptr<EventLoop::Registration> QtEventLoop::watchReadable(SocketHandle socket,
                                                                    Callback onReadable) {
    auto notifier =
        std::make_unique<QSocketNotifier>(static_cast<qintptr>(socket), QSocketNotifier::Read);
    auto* raw = notifier.get();
    auto depth = std::make_shared<int>(0);
    QObject::connect(raw, &QSocketNotifier::activated, raw, checked(std::move(onReadable), depth));
    return std::make_unique<QtRegistration<QSocketNotifier>>(std::move(notifier), depth);
}

std::unique_ptr<EventLoop::Registration> QtEventLoop::startTimer(std::chrono::milliseconds interval,
                                                                 bool repeat, Callback onTimeout) {
    auto timer = std::make_unique<QTimer>();
    timer->setSingleShot(!repeat);
    timer->setInterval(interval);
    auto* raw = timer.get();
    auto depth = std::make_shared<int>(0);
    QObject::connect(raw, &QTimer::timeout, raw, checked(std::move(onTimeout), depth));
    raw->start();
    return std::make_unique<QtRegistration<QTimer>>(std::move(timer), depth);
}

bool QtEventLoop::runUntil(std::chrono::milliseconds timeout, const std::function<bool()>& done) {
    if (done && done()) {
        return true;
    }
    const std::function<bool()> never;
    Run run;
    run.done = done ? &done : &never;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &run.loop, &QEventLoop::quit);
    timer.start(timeout);
    m_runs.push_back(&run);
    run.loop.exec();
    m_runs.pop_back();
    return run.reached;
}

}  // namespace lanscope
