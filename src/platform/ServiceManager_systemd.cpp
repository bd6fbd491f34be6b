#include "ServiceManager_systemd.h"

namespace vellamor::platform {

std::unique_ptr<ServiceManager> makeSystemServiceManager()
{
    return makeNullServiceManager();
}

} // namespace vellamor::platform
