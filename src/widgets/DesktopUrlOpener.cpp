#include "widgets/DesktopUrlOpener.h"

#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace lanscope {

bool DesktopUrlOpener::open(const std::string& url) {
    const QUrl address(QString::fromStdString(url));
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    // xdg-open reports a desktop without a browser only through its exit
    // status; QDesktopServices calls it a success as soon as it starts.
    const QString xdgOpen = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (!xdgOpen.isEmpty()) {
        auto* process = new QProcess();
        QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
        process->start(xdgOpen, {address.toString()});
        if (!process->waitForStarted(2000)) {
            process->deleteLater();
            return false;
        }
        if (process->waitForFinished(1500)) {
            return process->exitStatus() == QProcess::NormalExit && process->exitCode() == 0;
        }
        return true;  // still running: it is showing the page
    }
#endif
    return QDesktopServices::openUrl(address);
}

}  // namespace lanscope
