#include "Platform.h"

#include <QCoreApplication>

namespace vellamor::platform {

Platform makeSystemPlatform()
{
    Platform p;
    p.dialogs = makeSystemDialogs();
    p.fileSystem = std::make_shared<LocalFileSystem>();
    p.desktop = makeSystemDesktop();
    // A backend that works on a thread of its own reports back through the
    // application's event loop, on the window's thread.
    p.serviceManager = makeSystemServiceManager([](std::function<void()> work) {
        if (QCoreApplication *app = QCoreApplication::instance())
            QMetaObject::invokeMethod(app, std::move(work), Qt::QueuedConnection);
    });
    p.serviceLogs = makeSystemServiceLogs();
    p.addressTable = makeSystemAddressTable();
    p.lineClients = makeQtLineClientFactory();
    p.notifications = makeSystemNotifications();
    p.autostart = makeSystemAutostart(QCoreApplication::applicationFilePath());
    return p;
}

} // namespace vellamor::platform
