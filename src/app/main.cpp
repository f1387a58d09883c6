// lanscope: finds and configures the LAN modules of the local segment.
#include <QApplication>
#include <memory>

#include "app/LanscopeDlg.h"
#include "app/Messages.h"
#include "platform/Console.h"
#include "platform/DesktopUrlOpener.h"
#include "platform/GuiPrompt.h"
#include "platform/HostInterfaces.h"
#include "platform/HugePages.h"
#include "platform/QtFileChooser.h"
#include "platform/SingleInstance.h"
#include "presets/PresetsDlg.h"
#include "settings/SettingsFactory.h"
#include "update/AutoUpdateDlg.h"
#include "update/PassDlg.h"

using namespace lanscope;

namespace {

// The text after the program name, as one line. An argument that holds
// blanks (a path, quoted in the shell) is put back in quotes after its
// option letter, which is how the options reader takes such a value.
std::string CommandLineText(const QStringList& arguments) {
    QStringList parts;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        QString argument = arguments[i];
        if (argument.contains(QLatin1Char(' ')) && argument.size() > 2 &&
            argument.startsWith(QLatin1Char('-')) && !argument.contains(QLatin1Char('"'))) {
            argument = argument.left(2) + QLatin1Char('"') + argument.mid(2) + QLatin1Char('"');
        }
        parts.push_back(argument);
    }
    return parts.join(QLatin1Char(' ')).toStdString();
}

}  // namespace

int main(int argc, char** argv) {
    // The presets window's browser engine needs this before the application.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("lanscope"));
    UseHugePagesForLargeBuffers();
    UseSystemCodePage();
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/lanscope.png")));

    // Before any window or socket: a second start during this one's start-up
    // (or while it shows a message) must find the name taken.
    SingleInstance instance(QString::fromLatin1(messages::kMainTitle));
    if (!instance.claim()) {
        return 0;
    }

    const auto backend = OpenSettingsBackend();
    SettingsStore settings(*backend);
    GuiPrompt prompt;
    DesktopUrlOpener urlOpener;
    AppServices services{prompt, settings, urlOpener, HostIpv4Addresses};
    PassDlgCredentials credentials;
    services.openPresets = [&](QWidget* owner, const std::string& line) {
        CPresetsConfigDlg presets(line, prompt, settings, FilesOrDesktop(nullptr), credentials,
                                  owner);
        presets.exec();
    };

    // Any command-line text opens the software update window instead of the
    // module list, as the program's main window.
    const std::string commandLine = CommandLineText(QCoreApplication::arguments());
    std::unique_ptr<QDialog> window;
    if (commandLine.empty()) {
        window = std::make_unique<CLanscopeDlg>(services);
    } else {
        window = std::make_unique<CAutoUpdateDlg>(commandLine, services, nullptr, true);
    }
    instance.onRaise([&window] {
        // Before the window is up, exec() shows it in front anyway.
        if (!window->isVisible()) {
            return;
        }
        window->showNormal();
        window->raise();
        window->activateWindow();
    });
    const int result = window->exec();
    return result == QDialog::Accepted ? 0 : -1;
}
