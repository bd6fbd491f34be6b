#pragma once

#include "AddressTable.h"
#include "Desktop.h"
#include "Dialogs.h"
#include "FileSystem.h"
#include "LineClient.h"
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
};

// The real platform of the running system.
Platform makeSystemPlatform();

} // namespace vellamor::platform
