#pragma once

#include "ServiceManager.h"

#include <QString>
#include <map>
#include <memory>

class QDBusConnection;
class QDBusMessage;

namespace vellamor::platform {

// The service manager of a Linux system: systemd, reached over D-Bus.
//
// The service "VellamorServer" is the unit "VellamorServer.service". Start and
// stop are StartUnit / StopUnit (mode "replace"); pause and resume freeze and
// thaw the unit's processes (FreezeUnit / ThawUnit). Whether a call is allowed
// is systemd's and polkit's decision: the panel never asks for elevation, so a
// refusal simply fails the command.
//
// Every call blocks the calling (user-interface) thread, but never for long: a
// bus or systemd that does not answer fails the call after callTimeoutMs.
// When the bus goes away the next call connects again, so the page recovers
// on its own once the bus is back.
class SystemdServiceManager final : public ServiceManager
{
public:
    static constexpr int kDefaultCallTimeoutMs = 2500;

    // The system bus.
    SystemdServiceManager();
    // The bus at the given D-Bus address (a private bus, in tests).
    explicit SystemdServiceManager(QString busAddress, int callTimeoutMs = kDefaultCallTimeoutMs);
    ~SystemdServiceManager() override;

    SystemdServiceManager(const SystemdServiceManager &) = delete;
    SystemdServiceManager &operator=(const SystemdServiceManager &) = delete;

    Handle openManager() override;
    Handle openService(Handle manager, const std::string &name, std::uint32_t access) override;
    std::optional<std::uint32_t> queryState(Handle service) override;
    bool start(Handle service) override;
    bool stop(Handle service) override;
    bool pause(Handle service) override;
    bool resume(Handle service) override;
    void close(Handle handle) override;

    // The state a unit's ActiveState and FreezerState stand for, as one of the
    // ServiceManager state numbers; 0 for a combination we do not know.
    static std::uint32_t stateOfUnit(const QString &activeState, const QString &freezerState);

private:
    struct Entry;

    Entry *entry(Handle handle, bool wantService) const;
    QDBusConnection connection();
    QDBusMessage call(const QDBusMessage &message);
    bool managerCall(Handle service, std::uint32_t right, const char *method, bool withMode);

    QString m_address; // empty: the system bus
    int m_timeoutMs;
    QString m_connectionName;
    bool m_connected = false;
    std::map<Handle, std::unique_ptr<Entry>> m_handles;
};

} // namespace vellamor::platform
