#include "ServiceManager_systemd.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QVariantMap>
#include <atomic>

namespace vellamor::platform {

namespace {

const QString kSystemd = QStringLiteral("org.freedesktop.systemd1");
const QString kManagerPath = QStringLiteral("/org/freedesktop/systemd1");
const QString kManagerInterface = QStringLiteral("org.freedesktop.systemd1.Manager");
const QString kUnitInterface = QStringLiteral("org.freedesktop.systemd1.Unit");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");

constexpr std::uint32_t kKnownRights =
    ServiceManager::QueryStatus | ServiceManager::Start | ServiceManager::Stop | ServiceManager::PauseContinue;

QDBusMessage methodCall(const QString &service, const QString &path, const QString &interface, const QString &method)
{
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
    // Never ask polkit to prompt for a password: the panel requests no
    // elevation, and a prompt would hang a call the page waits on.
    message.setInteractiveAuthorizationAllowed(false);
    return message;
}

bool succeeded(const QDBusMessage &reply)
{
    return reply.type() == QDBusMessage::ReplyMessage;
}

// The first argument of a reply, unwrapped from the variant a property Get returns.
QVariant firstArgument(const QDBusMessage &reply)
{
    if (!succeeded(reply) || reply.arguments().isEmpty())
        return {};
    QVariant value = reply.arguments().constFirst();
    if (value.canConvert<QDBusVariant>())
        value = value.value<QDBusVariant>().variant();
    return value;
}

QString connectionName()
{
    static std::atomic<int> counter{0};
    return QStringLiteral("vellamor-systemd-%1").arg(++counter);
}

} // namespace

// What a handle stands for. The handle is the entry's address.
struct SystemdServiceManager::Entry
{
    bool isService = false;
    QString unit; // "VellamorServer.service"
    QString path; // the unit's object path
    std::uint32_t access = 0;
};

SystemdServiceManager::SystemdServiceManager() : SystemdServiceManager(QString(), kDefaultCallTimeoutMs) {}

SystemdServiceManager::SystemdServiceManager(QString busAddress, int callTimeoutMs)
    : m_address(std::move(busAddress)), m_timeoutMs(callTimeoutMs > 0 ? callTimeoutMs : kDefaultCallTimeoutMs),
      m_connectionName(connectionName())
{
    // The bus is reached on first use: the manager may be built before the
    // application object that QtDBus needs.
}

SystemdServiceManager::~SystemdServiceManager()
{
    if (m_connected && QCoreApplication::instance())
        QDBusConnection::disconnectFromBus(m_connectionName);
}

QDBusConnection SystemdServiceManager::connection()
{
    if (!QCoreApplication::instance())
        return QDBusConnection(QString());
    if (m_connected) {
        QDBusConnection bus(m_connectionName);
        if (bus.isConnected())
            return bus;
        // The bus went away (restarted, or the daemon died). Forget the dead
        // connection so that this call and later ones try a fresh one.
        QDBusConnection::disconnectFromBus(m_connectionName);
        m_connected = false;
    }
    QDBusConnection bus = m_address.isEmpty()
                              ? QDBusConnection::connectToBus(QDBusConnection::SystemBus, m_connectionName)
                              : QDBusConnection::connectToBus(m_address, m_connectionName);
    if (!bus.isConnected()) {
        QDBusConnection::disconnectFromBus(m_connectionName);
        return bus;
    }
    m_connected = true;
    return bus;
}

QDBusMessage SystemdServiceManager::call(const QDBusMessage &message)
{
    QDBusConnection bus = connection();
    if (!bus.isConnected())
        return QDBusMessage::createError(QDBusError::Disconnected, QStringLiteral("The bus cannot be reached"));
    // Block without an event loop: nothing else of the window runs meanwhile,
    // and the timeout keeps a silent bus from freezing it for long.
    return bus.call(message, QDBus::Block, m_timeoutMs);
}

SystemdServiceManager::Entry *SystemdServiceManager::entry(Handle handle, bool wantService) const
{
    const auto found = m_handles.find(handle);
    if (found == m_handles.end() || found->second->isService != wantService)
        return nullptr;
    return found->second.get();
}

ServiceManager::Handle SystemdServiceManager::openManager()
{
    QDBusMessage ask = methodCall(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                                  QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameHasOwner"));
    ask << kSystemd;
    if (!firstArgument(call(ask)).toBool())
        return nullptr;
    auto manager = std::make_unique<Entry>();
    Handle handle = manager.get();
    m_handles.emplace(handle, std::move(manager));
    return handle;
}

ServiceManager::Handle SystemdServiceManager::openService(Handle manager, const std::string &name, std::uint32_t access)
{
    if (!entry(manager, false) || name.empty() || access == 0 || (access & ~kKnownRights) != 0)
        return nullptr;

    const QString unit = QString::fromStdString(name) + QStringLiteral(".service");
    QDBusMessage load = methodCall(kSystemd, kManagerPath, kManagerInterface, QStringLiteral("LoadUnit"));
    load << unit;
    const QVariant path = firstArgument(call(load));
    if (!path.canConvert<QDBusObjectPath>())
        return nullptr;
    const QString unitPath = path.value<QDBusObjectPath>().path();
    if (unitPath.isEmpty())
        return nullptr;

    // systemd loads any name it is asked for; a unit without a unit file is
    // "not-found", which is a service that does not exist.
    QDBusMessage get = methodCall(kSystemd, unitPath, kProperties, QStringLiteral("Get"));
    get << kUnitInterface << QStringLiteral("LoadState");
    const QVariant loadState = firstArgument(call(get));
    if (loadState.typeId() != QMetaType::QString || loadState.toString() == QLatin1StringView("not-found"))
        return nullptr;

    auto service = std::make_unique<Entry>();
    service->isService = true;
    service->unit = unit;
    service->path = unitPath;
    service->access = access;
    Handle handle = service.get();
    m_handles.emplace(handle, std::move(service));
    return handle;
}

std::optional<std::uint32_t> SystemdServiceManager::queryState(Handle service)
{
    const Entry *unit = entry(service, true);
    if (!unit || !(unit->access & QueryStatus))
        return std::nullopt;

    // All of the unit's properties in one round trip, so the two states we
    // combine come from the same moment.
    QDBusMessage getAll = methodCall(kSystemd, unit->path, kProperties, QStringLiteral("GetAll"));
    getAll << kUnitInterface;
    const QDBusMessage reply = call(getAll);
    if (!succeeded(reply) || reply.arguments().isEmpty())
        return std::nullopt;
    const auto properties = qdbus_cast<QVariantMap>(reply.arguments().constFirst());
    const QString loadState = properties.value(QStringLiteral("LoadState")).toString();
    const QVariant activeState = properties.value(QStringLiteral("ActiveState"));
    if (loadState == QLatin1StringView("not-found") || activeState.typeId() != QMetaType::QString)
        return std::nullopt;
    return stateOfUnit(activeState.toString(), properties.value(QStringLiteral("FreezerState")).toString());
}

bool SystemdServiceManager::managerCall(Handle service, std::uint32_t right, const char *method, bool withMode)
{
    const Entry *unit = entry(service, true);
    if (!unit || !(unit->access & right))
        return false;
    QDBusMessage request = methodCall(kSystemd, kManagerPath, kManagerInterface, QLatin1StringView(method));
    request << unit->unit;
    if (withMode)
        request << QStringLiteral("replace");
    return succeeded(call(request));
}

bool SystemdServiceManager::start(Handle service)
{
    return managerCall(service, Start, "StartUnit", true);
}

bool SystemdServiceManager::stop(Handle service)
{
    return managerCall(service, Stop, "StopUnit", true);
}

bool SystemdServiceManager::pause(Handle service)
{
    return managerCall(service, PauseContinue, "FreezeUnit", false);
}

bool SystemdServiceManager::resume(Handle service)
{
    return managerCall(service, PauseContinue, "ThawUnit", false);
}

void SystemdServiceManager::close(Handle handle)
{
    m_handles.erase(handle);
}

std::uint32_t SystemdServiceManager::stateOfUnit(const QString &activeState, const QString &freezerState)
{
    if (activeState == QLatin1StringView("activating"))
        return StartPending;
    if (activeState == QLatin1StringView("deactivating"))
        return StopPending;
    if (activeState == QLatin1StringView("inactive") || activeState == QLatin1StringView("failed"))
        return Stopped;
    if (activeState == QLatin1StringView("active") || activeState == QLatin1StringView("reloading") ||
        activeState == QLatin1StringView("refreshing")) {
        // Newer systemd also knows "frozen-by-parent" and "freezing-by-parent";
        // an older one has no freezer at all and reports nothing.
        if (freezerState.isEmpty() || freezerState == QLatin1StringView("running"))
            return Running;
        if (freezerState.startsWith(QLatin1StringView("frozen")))
            return Paused;
        if (freezerState.startsWith(QLatin1StringView("freezing")))
            return PausePending;
        if (freezerState == QLatin1StringView("thawing"))
            return ContinuePending;
    }
    return 0;
}

std::unique_ptr<ServiceManager> makeSystemServiceManager()
{
    return std::make_unique<SystemdServiceManager>();
}

} // namespace vellamor::platform
