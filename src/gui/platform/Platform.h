#pragma once

#include "AddressTable.h"
#include "Autostart.h"
#include "Desktop.h"
#include "Dialogs.h"
#include "FileSystem.h"
#include "LineClient.h"
#include "Notifications.h"
#include "ServiceLog.h"
#include "ServiceManager.h"

#include <memory>

namespace vellamor::platform {

// Everything outside the process that the main window talks to. Production
// builds it from the system; tests put fakes and temporary directories in.
struct Platform
{
    std::shared_ptr<Dialogs> dialogs;
    std::shared_ptr<FileSystem> fileSystem;
    std::shared_ptr<Desktop> desktop;
    std::shared_ptr<ServiceManager> serviceManager;
    std::shared_ptr<ServiceLogs> serviceLogs;
    std::shared_ptr<AddressTable> addressTable;
    std::shared_ptr<LineClientFactory> lineClients;
    // nullptr: the notification area shows the notices itself.
    std::shared_ptr<Notifications> notifications;
    std::shared_ptr<Autostart> autostart;
};

// The real platform of the running system.
Platform makeSystemPlatform();

} // namespace vellamor::platform
