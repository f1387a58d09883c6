#pragma once

class QAction;
class QDialog;
class QWidget;

namespace lanscope {

// Puts a window above every other window, or back among them, leaving its
// place and size as they are. QWidget::setWindowFlags cannot do this for a
// window on screen: it re-creates the native window and hides it first, and
// hiding a modal dialog ends its exec().
void SetStaysOnTop(QWidget& window, bool onTop);

// The two items a main window adds to its system menu: "Always on Top"
// (checkable; toggling it restacks the window) and the about item. On
// Windows they go into the native system menu; elsewhere into a "Window"
// menu on the window. `onTop` is the stored state, applied at once.
struct WindowMenu {
    QAction* alwaysOnTop = nullptr;
    QAction* about = nullptr;
};
WindowMenu InstallWindowMenu(QDialog& window, bool onTop);

// On Windows: carries out a WM_SYSCOMMAND for one of those items; true when
// it was one. `message` is the MSG of QWidget::nativeEvent.
bool HandleWindowMenuCommand(const WindowMenu& menu, void* message);

}  // namespace lanscope
