#pragma once

#include "ServiceManager.h"

namespace vellamor::platform {

// systemd over D-Bus on the system bus. (Filled in by the service area.)

} // namespace vellamor::platform
