#include "ServiceLog.h"

// Chosen in CMake for systems without a journal: the server writes its log
// into the files of its log directory.
namespace vellamor::platform {

std::shared_ptr<ServiceLogs> makeSystemServiceLogs()
{
    return makeFolderLogs();
}

} // namespace vellamor::platform
