#pragma once

// Plain C++ only: the Windows backend of this interface is built without Qt.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace vellamor::platform {

// The system's service manager, reduced to what the Service page needs.
// Handles are opaque; a null handle (nullptr) means "could not be opened".
class ServiceManager
{
public:
    using Handle = void *;

    // Access rights for openService, with the values the Windows service
    // manager gives them.
    static constexpr std::uint32_t QueryStatus = 0x0004;
    static constexpr std::uint32_t Start = 0x0010;
    static constexpr std::uint32_t Stop = 0x0020;
    static constexpr std::uint32_t PauseContinue = 0x0040;

    // Service states as queryState reports them (the dwCurrentState values).
    static constexpr std::uint32_t Stopped = 1;
    static constexpr std::uint32_t StartPending = 2;
    static constexpr std::uint32_t StopPending = 3;
    static constexpr std::uint32_t Running = 4;
    static constexpr std::uint32_t ContinuePending = 5;
    static constexpr std::uint32_t PausePending = 6;
    static constexpr std::uint32_t Paused = 7;

    virtual ~ServiceManager() = default;

    // Opens the local service manager with full access; nullptr on failure.
    virtual Handle openManager() = 0;

    // Opens a service through an open manager with one access right; nullptr on failure.
    virtual Handle openService(Handle manager, const std::string &name, std::uint32_t access) = 0;

    // The service's current state, or nothing when the query fails.
    virtual std::optional<std::uint32_t> queryState(Handle service) = 0;

    // The commands: true when the manager accepted the request.
    virtual bool start(Handle service) = 0;
    virtual bool stop(Handle service) = 0;
    virtual bool pause(Handle service) = 0;
    virtual bool resume(Handle service) = 0;

    // Releases a handle of either kind. A null handle is ignored.
    virtual void close(Handle handle) = 0;
};

// A manager that cannot be opened: the page shows the service as unavailable.
std::unique_ptr<ServiceManager> makeNullServiceManager();

// The backend for the system the panel was built for (Windows service manager,
// systemd on Linux, the null manager elsewhere).
std::unique_ptr<ServiceManager> makeSystemServiceManager();

} // namespace vellamor::platform
