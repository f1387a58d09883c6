#pragma once

class QWidget;

namespace lanscope {

// Puts a window above every other window, or back among them, leaving its
// place and size as they are. QWidget::setWindowFlags cannot do this for a
// window on screen: it re-creates the native window and hides it first, and
// hiding a modal dialog ends its exec().
void SetStaysOnTop(QWidget& window, bool onTop);

}  // namespace lanscope
