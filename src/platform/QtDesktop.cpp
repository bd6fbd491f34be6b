#include "QtDesktop.h"

#include <QDesktopServices>
#include <QUrl>

namespace vellamor::platform {

bool QtDesktop::openUrl(const QString &url)
{
    return QDesktopServices::openUrl(QUrl(url));
}

} // namespace vellamor::platform
