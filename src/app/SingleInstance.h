#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

namespace lanscope {

// One running program per user and window title. The first start claims the
// name with a lock file and listens on a local socket of the same name before
// it opens any window or socket; a later start finds the lock held, tells the
// first to bring its window forward and ends.
class SingleInstance : public QObject {
    Q_OBJECT

  public:
    explicit SingleInstance(const QString& title, QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when this process is now the one instance. False when another
    // holds the name; that one has been asked to come forward.
    bool claim();
    // What brings this instance's window forward. A request that arrived
    // before there was a window is carried out now.
    void onRaise(std::function<void()> raise);

    QString lockFileName() const;

  private:
    // True when a running instance answered.
    bool askRunningInstanceToRaise();

    QString m_name;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer m_server;
    std::function<void()> m_raise;
    bool m_raisePending = false;
};

}  // namespace lanscope
