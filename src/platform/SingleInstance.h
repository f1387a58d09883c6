#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>
#include <functional>

namespace lanscope {

// One running program per user and window title: the first start listens on
// a local socket named after the title; a later start tells it to bring its
// window forward and ends.
class SingleInstance : public QObject {
    Q_OBJECT

  public:
    explicit SingleInstance(const QString& title, QObject* parent = nullptr);

    // True when another instance answered (and was asked to come forward).
    bool anotherIsRunning();
    // Listens for later starts; `raise` brings this instance's window forward.
    void listen(std::function<void()> raise);

  private:
    QString m_name;
    QLocalServer m_server;
    std::function<void()> m_raise;
};

}  // namespace lanscope
