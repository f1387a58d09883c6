#include "platform/DesktopUrlOpener.h"

#include <QDesktopServices>
#include <QUrl>

namespace lanscope {

void DesktopUrlOpener::open(const std::string& url) {
    QDesktopServices::openUrl(QUrl(QString::fromStdString(url)));
}

}  // namespace lanscope
