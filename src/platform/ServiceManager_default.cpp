#include "ServiceManager.h"

// Chosen in CMake for systems that have no service manager backend of their own.
namespace vellamor::platform {

std::unique_ptr<ServiceManager> makeSystemServiceManager(ReplyPoster)
{
    return makeNullServiceManager();
}

} // namespace vellamor::platform
