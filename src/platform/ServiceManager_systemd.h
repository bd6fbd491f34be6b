#pragma once

#include "ServiceManager.h"

#include <QString>
#include <memory>

namespace vellamor::platform {

class SystemdConnection;

// The service manager of a Linux system: systemd, reached over D-Bus.
//
// The service "VellamorServer" is the unit "VellamorServer.service". Start and
// stop are StartUnit / StopUnit (mode "replace"); pause and resume freeze and
// thaw the unit's processes (FreezeUnit / ThawUnit).
//
// Nothing waits on the bus: the connection is made on a thread of its own and
// every call is asynchronous, so the window keeps working whatever systemd or
// the bus do. The commands allow interactive authorisation: where the local
// polkit policy says so, the desktop's agent asks the administrator for a
// password, and the command's time limit leaves room to type it. Status
// queries never prompt and keep a short limit.
//
// A watched unit is followed live: systemd announces each change of the unit
// with PropertiesChanged (once we have subscribed), and a systemd that goes
// away or comes back counts as a change too. When the bus goes away the next
// call connects again, so the page recovers on its own once the bus is back.
class SystemdServiceManager final : public ServiceManager
{
public:
    static constexpr int kDefaultQueryTimeoutMs = 2500;
    static constexpr int kDefaultCommandTimeoutMs = 150 * 1000;

    // The system bus.
    SystemdServiceManager();
    // The bus at the given D-Bus address (a private bus, in tests).
    explicit SystemdServiceManager(const QString &busAddress, int queryTimeoutMs = kDefaultQueryTimeoutMs,
                                   int commandTimeoutMs = kDefaultCommandTimeoutMs);
    ~SystemdServiceManager() override;

    SystemdServiceManager(const SystemdServiceManager &) = delete;
    SystemdServiceManager &operator=(const SystemdServiceManager &) = delete;

    void openManager(Reply<Handle> done) override;
    void openService(Handle manager, const std::string &name, std::uint32_t access, Reply<Handle> done) override;
    void queryState(Handle service, Reply<std::optional<std::uint32_t>> done) override;
    void start(Handle service, Reply<Outcome> done) override;
    void stop(Handle service, Reply<Outcome> done) override;
    void pause(Handle service, Reply<Outcome> done) override;
    void resume(Handle service, Reply<Outcome> done) override;
    void watch(Handle service, std::function<void()> changed) override;
    void close(Handle handle) override;

    // The state a unit's ActiveState and FreezerState stand for, as one of the
    // ServiceManager state numbers; 0 for a combination we do not know.
    static std::uint32_t stateOfUnit(const QString &activeState, const QString &freezerState);

private:
    std::unique_ptr<SystemdConnection> m_bus;
};

} // namespace vellamor::platform
