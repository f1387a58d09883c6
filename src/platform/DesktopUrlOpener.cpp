#include "platform/DesktopUrlOpener.h"

#include <QDesktopServices>
#include <QUrl>

namespace lanscope {

bool DesktopUrlOpener::open(const std::string& url) {
    return QDesktopServices::openUrl(QUrl(QString::fromStdString(url)));
}

}  // namespace lanscope
