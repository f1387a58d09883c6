#include "app/WindowStacking.h"

#include <QWidget>
#include <QWindow>

namespace lanscope {

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

}  // namespace lanscope
