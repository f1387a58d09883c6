#include "widgets/WindowStacking.h"

#include <QAction>
#include <QDialog>
#include <QLayout>
#include <QMenuBar>
#include <QWidget>
#include <QWindow>

#include "widgets/EightBitText.h"
#include "widgets/Messages.h"

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace lanscope {

namespace {

#ifdef Q_OS_WIN
// Command ids of the two items added to the system menu.
constexpr unsigned kAlwaysOnTopCommand = 32;
constexpr unsigned kAboutCommand = 16;
#endif

}  // namespace

void SetStaysOnTop(QWidget& window, bool onTop) {
    Qt::WindowFlags flags = window.windowFlags();
    flags.setFlag(Qt::WindowStaysOnTopHint, onTop);
    QWindow* native = window.windowHandle();
    if (native == nullptr) {
        // Nothing on screen yet: the flag is read when the window is made.
        window.setWindowFlags(flags);
        return;
    }
    // The widget keeps the flags it reports; the native window restacks in
    // place (the topmost placement on Windows, the "above" state on X11).
    window.overrideWindowFlags(flags);
    native->setFlags(flags);
}

WindowMenu InstallWindowMenu(QDialog& window, bool onTop) {
    WindowMenu menu;
    menu.alwaysOnTop = new QAction(UiText(messages::kAlwaysOnTopText), &window);
    menu.alwaysOnTop->setObjectName(QStringLiteral("alwaysOnTopAction"));
    menu.alwaysOnTop->setCheckable(true);
    menu.about = new QAction(UiText(messages::kAboutMenuText), &window);
    menu.about->setObjectName(QStringLiteral("aboutAction"));
    if (onTop) {
        menu.alwaysOnTop->setChecked(true);
        SetStaysOnTop(window, true);
    }
    QObject::connect(menu.alwaysOnTop, &QAction::toggled, &window,
                     [&window](bool checked) { SetStaysOnTop(window, checked); });
#ifdef Q_OS_WIN
    if (HMENU system = GetSystemMenu(reinterpret_cast<HWND>(window.winId()), FALSE)) {
        AppendMenuW(system, MF_STRING | (onTop ? MF_CHECKED : MF_UNCHECKED), kAlwaysOnTopCommand,
                    L"Always on Top");
        AppendMenuW(system, MF_SEPARATOR, 0, nullptr);
        AppendMenuW(system, MF_STRING, kAboutCommand, L"&About Lanscope...");
        QObject::connect(menu.alwaysOnTop, &QAction::toggled, &window, [&window](bool checked) {
            if (HMENU current = GetSystemMenu(reinterpret_cast<HWND>(window.winId()), FALSE)) {
                CheckMenuItem(current, kAlwaysOnTopCommand,
                              MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
            }
        });
        return menu;
    }
#endif
    auto* menuBar = new QMenuBar(&window);
    auto* items = menuBar->addMenu(QStringLiteral("&Window"));
    items->addAction(menu.alwaysOnTop);
    items->addSeparator();
    items->addAction(menu.about);
    window.layout()->setMenuBar(menuBar);
    return menu;
}

bool HandleWindowMenuCommand(const WindowMenu& menu, void* message) {
#ifdef Q_OS_WIN
    const auto* msg = static_cast<const MSG*>(message);
    if (msg->message != WM_SYSCOMMAND || menu.alwaysOnTop == nullptr) {
        return false;
    }
    switch (static_cast<unsigned>(msg->wParam) & 0xFFF0u) {
        case kAlwaysOnTopCommand:
            menu.alwaysOnTop->toggle();
            return true;
        case kAboutCommand:
            menu.about->trigger();
            return true;
        default:
            return false;
    }
#else
    (void)menu;
    (void)message;
    return false;
#endif
}

}  // namespace lanscope
