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

    SingleInstance instance(QString::fromLatin1(messages::kMainTitle));
    if (instance.anotherIsRunning()) {
        return 0;
    }

    IniSettingsBackend backend;
    SettingsStore settings(backend);
    GuiPrompt prompt;
    DesktopUrlOpener urlOpener;
    AppServices services{prompt, settings, urlOpener, HostIpv4Addresses};

    CLanscopeDlg window(services);
    instance.listen([&window] {
        window.showNormal();
        window.raise();
        window.activateWindow();
    });
    const int result = window.exec();
    return result == QDialog::Accepted ? 0 : -1;
}
