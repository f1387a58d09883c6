#include "platform/SingleInstance.h"

#include <QCryptographicHash>
#include <QLocalSocket>

namespace lanscope {

SingleInstance::SingleInstance(const QString& title, QObject* parent) : QObject(parent) {
    const QByteArray key = (title + QLatin1Char('|') + qEnvironmentVariable("USER")).toUtf8();
    m_name = QStringLiteral("lanscope-") +
             QString::fromLatin1(
                 QCryptographicHash::hash(key, QCryptographicHash::Sha1).toHex().left(16));
}

bool SingleInstance::anotherIsRunning() {
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(500)) {
        return false;
    }
    socket.write("raise\n");
    socket.waitForBytesWritten(500);
    socket.disconnectFromServer();
    return true;
}

void SingleInstance::listen(std::function<void()> raise) {
    m_raise = std::move(raise);
    // A server left behind by a crashed instance would block the name.
    QLocalServer::removeServer(m_name);
    m_server.listen(m_name);
    connect(&m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* client = m_server.nextPendingConnection()) {
            connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
            if (m_raise) {
                m_raise();
            }
        }
    });
}

}  // namespace lanscope
