#include "ServiceManager.h"

#include <windows.h>

// The Windows service manager. Each operation is one call of the Service Control
// Manager API; the page above decides what a failure means, so nothing here
// retries, waits or reports.
namespace vellamor::platform {

namespace {

SC_HANDLE scHandle(ServiceManager::Handle handle)
{
    return static_cast<SC_HANDLE>(handle);
}

class WindowsServiceManager final : public ServiceManager
{
public:
    Handle openManager() override { return OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS); }

    Handle openService(Handle manager, const std::string &name, std::uint32_t access) override
    {
        if (!manager)
            return nullptr;
        return OpenServiceA(scHandle(manager), name.c_str(), access);
    }

    std::optional<std::uint32_t> queryState(Handle service) override
    {
        if (!service)
            return std::nullopt;
        SERVICE_STATUS_PROCESS status{};
        DWORD needed = 0;
        if (!QueryServiceStatusEx(scHandle(service), SC_STATUS_PROCESS_INFO, reinterpret_cast<LPBYTE>(&status),
                                  sizeof status, &needed))
            return std::nullopt;
        return status.dwCurrentState;
    }

    bool start(Handle service) override { return service && StartServiceA(scHandle(service), 0, nullptr); }
    bool stop(Handle service) override { return control(service, SERVICE_CONTROL_STOP); }
    bool pause(Handle service) override { return control(service, SERVICE_CONTROL_PAUSE); }
    bool resume(Handle service) override { return control(service, SERVICE_CONTROL_CONTINUE); }

    void close(Handle handle) override
    {
        if (handle)
            CloseServiceHandle(scHandle(handle));
    }

private:
    static bool control(Handle service, DWORD code)
    {
        if (!service)
            return false;
        // The manager writes the service's last reported status here; the
        // caller learns the new state from its next query instead.
        SERVICE_STATUS status{};
        return ControlService(scHandle(service), code, &status);
    }
};

} // namespace

std::unique_ptr<ServiceManager> makeSystemServiceManager()
{
    return std::make_unique<WindowsServiceManager>();
}

} // namespace vellamor::platform
