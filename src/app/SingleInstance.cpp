#include "app/SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QThread>

#include "platform/Console.h"

namespace lanscope {

SingleInstance::SingleInstance(const QString& title, QObject* parent) : QObject(parent) {
    const QByteArray key =
        (title + QLatin1Char('|') + QString::fromStdString(CurrentUserName())).toUtf8();
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
    // The user's own runtime folder where there is one, beside the local
    // server's socket otherwise.
    QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (folder.isEmpty() || !QFileInfo(folder).isWritable()) {
        folder = QDir::tempPath();
    }
    return folder + QLatin1Char('/') + m_name + QStringLiteral(".lock");
}

bool SingleInstance::claim() {
    m_lock = std::make_unique<QLockFile>(lockFileName());
    // A live holder is never taken over however long it runs; a lock left by
    // a process that ended is.
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0)) {
        // Nobody else can be listening: a server of this name was left by a
        // crash.
        QLocalServer::removeServer(m_name);
        m_server.listen(m_name);
        return true;
    }
    // Held by another instance, or no lock can be written here (a full or
    // read-only folder, a lock nobody can remove): whoever answers on the
    // local server is the running instance.
    if (askRunningInstanceToRaise()) {
        return false;
    }
    if (!m_server.listen(m_name) && m_server.serverError() == QAbstractSocket::AddressInUseError) {
        // Nobody answered on it, so it is left over.
        QLocalServer::removeServer(m_name);
        m_server.listen(m_name);
    }
    return true;
}

void SingleInstance::onRaise(std::function<void()> raise) {
    m_raise = std::move(raise);
    if (m_raisePending && m_raise) {
        m_raisePending = false;
        m_raise();
    }
}

bool SingleInstance::askRunningInstanceToRaise() {
    // The other instance listens right after taking the lock; give it a
    // moment in case it is that far into its start.
    for (int attempt = 0; attempt < 20; ++attempt) {
        QLocalSocket socket;
        socket.connectToServer(m_name);
        if (socket.waitForConnected(250)) {
            socket.write("raise\n");
            socket.waitForBytesWritten(500);
            socket.disconnectFromServer();
            return true;
        }
        QThread::msleep(100);
    }
    return false;
}

}  // namespace lanscope
