#include "platform/SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalSocket>
#include <QThread>

namespace lanscope {

SingleInstance::SingleInstance(const QString& title, QObject* parent) : QObject(parent) {
    const QByteArray key = (title + QLatin1Char('|') + qEnvironmentVariable("USER")).toUtf8();
    m_name = QStringLiteral("lanscope-") +
             QString::fromLatin1(
                 QCryptographicHash::hash(key, QCryptographicHash::Sha1).toHex().left(16));
    connect(&m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* client = m_server.nextPendingConnection()) {
            connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
            if (m_raise) {
                m_raise();
            } else {
                m_raisePending = true;
            }
        }
    });
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::lockFileName() const {
    return QDir::tempPath() + QLatin1Char('/') + m_name + QStringLiteral(".lock");
}

bool SingleInstance::claim() {
    m_lock = std::make_unique<QLockFile>(lockFileName());
    // A live holder is never taken over however long it runs; a lock left by
    // a process that ended is.
    m_lock->setStaleLockTime(0);
    if (!m_lock->tryLock(0) && m_lock->error() == QLockFile::LockFailedError) {
        askRunningInstanceToRaise();
        return false;
    }
    // Holding the lock (or unable to write one at all), no live instance can
    // own a server of this name: one that is there was left by a crash.
    QLocalServer::removeServer(m_name);
    m_server.listen(m_name);
    return true;
}

void SingleInstance::onRaise(std::function<void()> raise) {
    m_raise = std::move(raise);
    if (m_raisePending && m_raise) {
        m_raisePending = false;
        m_raise();
    }
}

void SingleInstance::askRunningInstanceToRaise() {
    // The other instance listens right after taking the lock; give it a
    // moment in case it is that far into its start.
    for (int attempt = 0; attempt < 20; ++attempt) {
        QLocalSocket socket;
        socket.connectToServer(m_name);
        if (socket.waitForConnected(250)) {
            socket.write("raise\n");
            socket.waitForBytesWritten(500);
            socket.disconnectFromServer();
            return;
        }
        QThread::msleep(100);
    }
}

}  // namespace lanscope
