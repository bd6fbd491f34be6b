#include "QtDesktop.h"

#include <QDesktopServices>
#include <QUrl>

namespace vellamor::platform {

bool QtDesktop::openUrl(const QString &url)
{
    return QDesktopServices::openUrl(QUrl(url));
}

#ifndef Q_OS_WIN
std::shared_ptr<Desktop> makeSystemDesktop()
{
    return std::make_shared<QtDesktop>();
}
#endif

} // namespace vellamor::platform
