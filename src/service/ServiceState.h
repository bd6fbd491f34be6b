#pragma once

namespace vellamor {

// What the Service page can show about the service.
enum class ServiceDisplayState { Unavailable, Stopped, Running, Starting, Stopping, Paused };

} // namespace vellamor
