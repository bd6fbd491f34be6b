#include "FakePlatform.h"

#include "common/Paths.h"

namespace vellamor::test {

FakePlatform::FakePlatform()
    : fileSystem(std::make_shared<platform::LocalFileSystem>(tempDir.path())),
      serviceManager(platform::makeNullServiceManager())
{
}

QString FakePlatform::path(const QString &name) const
{
    return besideExecutable(tempDir.path(), name);
}

platform::Platform FakePlatform::platform() const
{
    platform::Platform p;
    p.dialogs = dialogs;
    p.fileSystem = fileSystem;
    p.desktop = desktop;
    p.serviceManager = serviceManager;
    p.serviceLogs = serviceLogs;
    p.addressTable = addressTable;
    p.lineClients = lineClients;
    p.notifications = notifications;
    p.autostart = autostart;
    return p;
}

} // namespace vellamor::test
