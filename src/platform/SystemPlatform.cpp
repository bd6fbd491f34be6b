#include "Platform.h"
#include "QtDesktop.h"
#include "QtDialogs.h"

namespace vellamor::platform {

Platform makeSystemPlatform()
{
    Platform p;
    p.dialogs = std::make_shared<QtDialogs>();
    p.fileSystem = std::make_shared<LocalFileSystem>();
    p.desktop = std::make_shared<QtDesktop>();
    p.serviceManager = makeSystemServiceManager();
    p.addressTable = makeSystemAddressTable();
    p.lineClients = makeQtLineClientFactory();
    return p;
}

} // namespace vellamor::platform
