// lanscope: finds and configures the LAN modules of the local segment.
#include <QApplication>

#include "app/LanscopeDlg.h"
#include "app/Messages.h"
#include "platform/DesktopUrlOpener.h"
#include "platform/GuiPrompt.h"
#include "platform/HostInterfaces.h"
#include "platform/HugePages.h"
#include "platform/SingleInstance.h"
#include "settings/IniSettingsBackend.h"

using namespace lanscope;

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("lanscope"));
    UseHugePagesForLargeBuffers();
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/lanscope.png")));

    // Before any window or socket: a second start during this one's start-up
    // (or while it shows a message) must find the name taken.
    SingleInstance instance(QString::fromLatin1(messages::kMainTitle));
    if (!instance.claim()) {
        return 0;
    }

    IniSettingsBackend backend;
    SettingsStore settings(backend);
    GuiPrompt prompt;
    DesktopUrlOpener urlOpener;
    AppServices services{prompt, settings, urlOpener, HostIpv4Addresses};

    CLanscopeDlg window(services);
    instance.onRaise([&window] {
        // Before the window is up, exec() shows it in front anyway.
        if (!window.isVisible()) {
            return;
        }
        window.showNormal();
        window.raise();
        window.activateWindow();
    });
    const int result = window.exec();
    return result == QDialog::Accepted ? 0 : -1;
}
