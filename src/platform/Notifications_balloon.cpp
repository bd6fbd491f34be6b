#include "Notifications.h"

// Chosen in CMake where the notification area shows notices itself (Windows).
namespace vellamor::platform {

std::shared_ptr<Notifications> makeSystemNotifications()
{
    return nullptr;
}

} // namespace vellamor::platform
