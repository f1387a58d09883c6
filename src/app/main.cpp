// lanscope: finds and configures the LAN modules of the local segment.
#include <QApplication>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "app/LanscopeDlg.h"
#include "app/Messages.h"
#include "app/SingleInstance.h"
#include "common/Text.h"
#include "common/Version.h"
#include "history/HistoryFile.h"
#include "history/HistoryRecorder.h"
#include "platform/Console.h"
#include "platform/HostInterfaces.h"
#include "platform/HugePages.h"
#include "platform/QtEventLoop.h"
#include "widgets/DesktopUrlOpener.h"
#include "widgets/EightBitText.h"
#include "widgets/GuiPrompt.h"
#include "widgets/QtFileChooser.h"
#ifdef LANSCOPE_WITH_PRESETS
#include <QLibrary>
#include <QOpenGLContext>

#include "presets/Messages.h"
#include "presets/PresetsModule.h"

QT_BEGIN_NAMESPACE
// Qt's own, behind Qt::AA_ShareOpenGLContexts (which would make the context
// at every start).
Q_GUI_EXPORT void qt_gl_set_global_share_context(QOpenGLContext* context);
QT_END_NAMESPACE
#endif
#include "settings/SettingsFactory.h"
#include "update/AutoUpdateDlg.h"
#include "update/AutoUpdateOptions.h"
#include "update/PassDlg.h"

#ifdef Q_OS_WIN
#include <windows.h>
#endif

using namespace lanscope;

namespace {

// The text after the program name, taken before Qt sees the arguments (it
// would keep some of them for itself). Windows hands over the line as typed,
// quotes included, which is what the options reader expects; elsewhere the
// shell has split it and it is joined again to mean what was typed.
std::string CommandLineText(int argc, char** argv) {
#ifdef Q_OS_WIN
    (void)argc;
    (void)argv;
    // A program that starts this one may hand over the options alone: the
    // first word is skipped only when it can be the program's name.
    std::wstring program(32768, L'\0');
    program.resize(GetModuleFileNameW(nullptr, program.data(), 32768));
    return std::string(SkipProgramName(ToEightBit(QString::fromWCharArray(GetCommandLineW())),
                                       ToEightBit(QString::fromStdWString(program))));
#else
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    return JoinCommandLine(arguments, [](const std::string& name) {
        std::error_code error;
        return std::filesystem::is_regular_file(FileSystemPath(name), error);
    });
#endif
}

constexpr const char* kUsage =
    "Usage: lanscope [-F<file.s19>] [-I<address>] [-A] [-R]\n"
    "\n"
    "Without options the module list window opens. Any option opens the software\n"
    "update window instead:\n"
    "  -F<file>     the S-record file to load (in double quotes when it holds blanks)\n"
    "  -I<address>  the module's address (otherwise the last one used)\n"
    "  -A           update at once; the exit code is 0 on success, -1 otherwise.\n"
    "               A failure is shown in a message box that waits for OK, so for\n"
    "               unattended work use lanscope-cli update, which never asks.\n"
    "  -R           restart the module when complete (the default)\n"
    "Letters in either case, options in any order.\n"
    "\n"
    "  --help       show this text\n"
    "  --version    show the version\n";

// A window program on Windows has no console of its own: what it prints for
// --help goes to the console it was started from, unless its output is
// redirected anyway.
void PrintToStartingConsole() {
#ifdef Q_OS_WIN
    const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    if ((output == nullptr || output == INVALID_HANDLE_VALUE) &&
        AttachConsole(ATTACH_PARENT_PROCESS)) {
        (void)std::freopen("CONOUT$", "w", stdout);
    }
#endif
}

#ifdef LANSCOPE_WITH_PRESETS
// The presets module, loaded when the window first opens: beside the program
// in the build, in the program's library folder when installed. The browser
// engine shares its textures through one global context, made before the
// engine loads (which looks for it then).
OpenPresetsFunction LoadPresetsModule(std::string& failure) {
    static OpenPresetsFunction open = nullptr;
    if (open != nullptr) {
        return open;
    }
    if (QOpenGLContext::globalShareContext() == nullptr) {
        auto* context = new QOpenGLContext(qApp);
        context->setFormat(QSurfaceFormat::defaultFormat());
        context->create();
        qt_gl_set_global_share_context(context);
        // What the attribute would have said, for those that ask it.
        QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    }
    const QString folder = QCoreApplication::applicationDirPath();
    QString reasons;
    for (const QString& path :
         {folder + "/" + kPresetsModuleName, folder + "/../lib/lanscope/" + kPresetsModuleName}) {
        QLibrary module(path);
        if (module.load()) {
            open = reinterpret_cast<OpenPresetsFunction>(module.resolve(kOpenPresetsSymbol));
            if (open != nullptr) {
                return open;
            }
        }
        reasons += (reasons.isEmpty() ? "" : "; ") + module.errorString();
    }
    failure = reasons.toStdString();
    return nullptr;
}
#endif

}  // namespace

int main(int argc, char** argv) {
    // Exactly one of these alone: they are no options of the update window.
    const bool help = argc == 2 && std::strcmp(argv[1], "--help") == 0;
    const bool version = argc == 2 && std::strcmp(argv[1], "--version") == 0;
    if (help || version) {
        PrintToStartingConsole();
    }
    if (help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (version) {
        std::printf("lanscope %s\n", version::kProductVersion);
        return 0;
    }
    const std::string commandLine = CommandLineText(argc, argv);

    // Qt gets the program name only: every argument is the update window's,
    // and "-style x" or "-reverse" must open that window, not restyle this one.
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    QApplication::setApplicationName(QStringLiteral("lanscope"));
    UseHugePagesForLargeBuffers();
    UseSystemCodePage();
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/lanscope.png")));

    // Before any window or socket: a second start during this one's start-up
    // (or while it shows a message) must find the name taken.
    SingleInstance instance(UiText(messages::kMainTitle));
    if (!instance.claim()) {
        // The first instance was raised, but nothing was updated: a script
        // that asked for an update must not read success.
        return ReadAutoUpdateOptions(commandLine).autoUpdate ? -1 : 0;
    }

    const auto backend = OpenSettingsBackend();
    SettingsStore settings(*backend);
    GuiPrompt prompt;
    DesktopUrlOpener urlOpener;
    QtFileChooser files;
    PassDlgCredentials credentials;
    FileHistoryRecorder history(ThisUsersHistoryFile(),
                                HistoryIdentityOfThisProcess(kHistoryProgramWindow),
                                settings.LoadHistoryEnabled());
    AppServices services{prompt, settings, urlOpener, QtEventLoop::instance(), HostIpv4Addresses};
    services.files = &files;
    services.credentials = &credentials;
    services.history = &history;
    services.historyFile = history.path();
#ifdef LANSCOPE_WITH_PRESETS
    services.openPresets = [&](QWidget* owner, const std::string& line) {
        std::string failure;
        if (const OpenPresetsFunction open = LoadPresetsModule(failure)) {
            open({owner, line, prompt, settings, files, credentials});
        } else {
            prompt.message("The presets window cannot be opened: " + failure,
                           messages::kPresetsConfigTitle, PromptIcon::Stop);
        }
    };
#endif

    // Any command-line text opens the software update window instead of the
    // module list, as the program's main window.
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
