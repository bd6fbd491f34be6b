#include "ServiceManager_systemd.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QThread>
#include <QVariantMap>
#include <algorithm>
#include <atomic>
#include <map>
#include <vector>

namespace vellamor::platform {

namespace {

const QString kSystemd = QStringLiteral("org.freedesktop.systemd1");
const QString kManagerPath = QStringLiteral("/org/freedesktop/systemd1");
const QString kManagerInterface = QStringLiteral("org.freedesktop.systemd1.Manager");
const QString kUnitInterface = QStringLiteral("org.freedesktop.systemd1.Unit");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");
const QString kBusService = QStringLiteral("org.freedesktop.DBus");
const QString kBusPath = QStringLiteral("/org/freedesktop/DBus");

constexpr std::uint32_t kKnownRights =
    ServiceManager::QueryStatus | ServiceManager::Start | ServiceManager::Stop | ServiceManager::PauseContinue;

enum class Prompt { Never, Allowed };

QDBusMessage methodCall(const QString &service, const QString &path, const QString &interface, const QString &method,
                        Prompt prompt = Prompt::Never)
{
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
    // Only a command may make polkit ask for a password; a status query that
    // would need one is simply refused.
    message.setInteractiveAuthorizationAllowed(prompt == Prompt::Allowed);
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

// The connection to the bus, its calls under way, the signals we follow, and
// what the handles stand for. Everything runs on the thread that made it,
// except the connecting itself.
class SystemdConnection : public QObject
{
    Q_OBJECT

public:
    using Handle = ServiceManager::Handle;
    using Done = std::function<void(const QDBusMessage &)>;

    // What a handle stands for. The handle is the entry's address.
    struct Entry
    {
        bool isService = false;
        QString unit; // "VellamorServer.service"
        QString path; // the unit's object path
        std::uint32_t access = 0;
        std::function<void()> changed; // set by watch
    };

    SystemdConnection(QString address, int queryTimeoutMs, int commandTimeoutMs)
        : m_address(std::move(address)), m_queryTimeoutMs(queryTimeoutMs > 0 ? queryTimeoutMs : 1),
          m_commandTimeoutMs(commandTimeoutMs > 0 ? commandTimeoutMs : 1), m_name(connectionName())
    {
    }

    ~SystemdConnection() override
    {
        // A connect still under way is waited for: left running, it races the
        // D-Bus library's own teardown at exit and can crash the process. The
        // replies still due are dropped with this object.
        if (m_connecting) {
            m_connecting->wait();
            delete m_connecting;
        }
        if (m_state != State::Idle && QCoreApplication::instance())
            QDBusConnection::disconnectFromBus(m_name);
    }

    int queryTimeout() const { return m_queryTimeoutMs; }
    int commandTimeout() const { return m_commandTimeoutMs; }

    // Sends a call and hands its reply (or the error that stands for it) to done.
    void call(const QDBusMessage &message, int timeoutMs, Done done)
    {
        withBus([this, message, timeoutMs, done = std::move(done)](QDBusConnection *bus) {
            if (!bus) {
                done(QDBusMessage::createError(QDBusError::Disconnected,
                                               QStringLiteral("The system bus cannot be reached")));
                return;
            }
            auto *watcher = new QDBusPendingCallWatcher(bus->asyncCall(message, timeoutMs), this);
            connect(watcher, &QDBusPendingCallWatcher::finished, this, [watcher, done] {
                watcher->deleteLater();
                done(watcher->reply());
            });
        });
    }

    Entry *entry(Handle handle, bool wantService) const
    {
        const auto found = m_handles.find(handle);
        if (found == m_handles.end() || found->second->isService != wantService)
            return nullptr;
        return found->second.get();
    }

    Handle add(std::unique_ptr<Entry> entry)
    {
        Handle handle = entry.get();
        m_handles.emplace(handle, std::move(entry));
        return handle;
    }

    void remove(Handle handle) { m_handles.erase(handle); }

    void watch(Entry *unit, std::function<void()> changed)
    {
        unit->changed = std::move(changed);
        withBus([this](QDBusConnection *bus) {
            if (bus)
                follow(*bus, true);
        });
    }

private Q_SLOTS:
    void unitPropertiesChanged(const QDBusMessage &signal)
    {
        if (signal.arguments().value(0).toString() == kUnitInterface)
            notify(signal.path());
    }

    // systemd went away or came back (a restart, or a re-exec): whatever the
    // page shows may be stale, and a new systemd knows nothing of our
    // subscription.
    void systemdOwnerChanged(const QString &, const QString &, const QString &newOwner)
    {
        if (!newOwner.isEmpty())
            subscribe(QDBusConnection(m_name));
        notify(QString());
    }

private:
    enum class State { Idle, Connecting, Connected };

    // Runs then with the connection, once there is one, or with nullptr when
    // the bus cannot be reached. Connecting can take long (a bus that accepts
    // and never answers holds it for the library's whole handshake limit), so
    // it happens on a thread of its own.
    void withBus(std::function<void(QDBusConnection *)> then)
    {
        if (!QCoreApplication::instance()) {
            then(nullptr);
            return;
        }
        if (m_state == State::Connected) {
            QDBusConnection bus(m_name);
            if (bus.isConnected()) {
                then(&bus);
                return;
            }
            // The bus went away (restarted, or the daemon died). Forget the
            // dead connection so that this call and later ones try a fresh one.
            QDBusConnection::disconnectFromBus(m_name);
            m_state = State::Idle;
        }
        m_waiting.push_back(std::move(then));
        if (m_state == State::Connecting)
            return;
        m_state = State::Connecting;

        auto connected = std::make_shared<std::atomic<bool>>(false);
        QThread *thread = QThread::create([address = m_address, name = m_name, connected] {
            const QDBusConnection bus = address.isEmpty()
                                            ? QDBusConnection::connectToBus(QDBusConnection::SystemBus, name)
                                            : QDBusConnection::connectToBus(address, name);
            connected->store(bus.isConnected());
        });
        connect(thread, &QThread::finished, this, [this, thread, connected] {
            if (m_connecting == thread)
                m_connecting = nullptr;
            thread->deleteLater();
            whenConnected(connected->load());
        });
        m_connecting = thread;
        thread->start();
    }

    void whenConnected(bool connected)
    {
        QDBusConnection bus(m_name);
        if (connected && bus.isConnected()) {
            m_state = State::Connected;
            m_following = false;
            m_followedPaths.clear();
            const bool watched = std::any_of(m_handles.begin(), m_handles.end(),
                                             [](const auto &item) { return bool(item.second->changed); });
            follow(bus, watched);
        } else {
            QDBusConnection::disconnectFromBus(m_name);
            m_state = State::Idle;
        }
        const auto waiting = std::exchange(m_waiting, {});
        for (const auto &then : waiting) {
            QDBusConnection current(m_name);
            then(m_state == State::Connected && current.isConnected() ? &current : nullptr);
        }
    }

    // Listens on a fresh connection for what a watched unit needs: its own
    // PropertiesChanged and systemd's coming and going. The matches name no
    // sender, so that nothing has to look up systemd's bus name first.
    void follow(QDBusConnection &bus, bool wanted)
    {
        if (!wanted)
            return;
        for (const auto &[handle, unit] : m_handles) {
            if (unit->changed && !m_followedPaths.contains(unit->path)) {
                bus.connect(QString(), unit->path, kProperties, QStringLiteral("PropertiesChanged"), this,
                            SLOT(unitPropertiesChanged(QDBusMessage)));
                m_followedPaths.insert(unit->path);
            }
        }
        if (m_following)
            return;
        m_following = true;
        bus.connect(QString(), kBusPath, kBusService, QStringLiteral("NameOwnerChanged"), {kSystemd}, QString(), this,
                    SLOT(systemdOwnerChanged(QString, QString, QString)));
        subscribe(bus);
    }

    // systemd announces changes only while someone has subscribed; it drops a
    // subscriber that leaves the bus, so there is nothing to undo.
    void subscribe(const QDBusConnection &bus)
    {
        if (!bus.isConnected())
            return;
        auto *watcher = new QDBusPendingCallWatcher(
            bus.asyncCall(methodCall(kSystemd, kManagerPath, kManagerInterface, QStringLiteral("Subscribe")),
                          m_queryTimeoutMs),
            this);
        connect(watcher, &QDBusPendingCallWatcher::finished, watcher, &QObject::deleteLater);
    }

    // Tells the watchers of a unit (every watcher, for an empty path) that it
    // may have changed. A watcher may close handles, so they are called from a
    // copy.
    void notify(const QString &path)
    {
        std::vector<std::function<void()>> toCall;
        for (const auto &[handle, unit] : m_handles) {
            if (unit->changed && (path.isEmpty() || unit->path == path))
                toCall.push_back(unit->changed);
        }
        for (const auto &changed : toCall)
            changed();
    }

    QString m_address; // empty: the system bus
    int m_queryTimeoutMs;
    int m_commandTimeoutMs;
    QString m_name;
    State m_state = State::Idle;
    std::vector<std::function<void(QDBusConnection *)>> m_waiting;
    bool m_following = false;        // on the current connection
    QThread *m_connecting = nullptr; // the connect under way, if any
    QSet<QString> m_followedPaths;   // on the current connection
    std::map<Handle, std::unique_ptr<Entry>> m_handles;
};

SystemdServiceManager::SystemdServiceManager()
    : SystemdServiceManager(QString(), kDefaultQueryTimeoutMs, kDefaultCommandTimeoutMs)
{
}

SystemdServiceManager::SystemdServiceManager(const QString &busAddress, int queryTimeoutMs, int commandTimeoutMs)
    : m_bus(std::make_unique<SystemdConnection>(busAddress, queryTimeoutMs, commandTimeoutMs))
{
    // The bus is reached on first use: the manager may be built before the
    // application object that QtDBus needs.
}

SystemdServiceManager::~SystemdServiceManager() = default;

void SystemdServiceManager::openManager(Reply<Handle> done)
{
    QDBusMessage ask = methodCall(kBusService, kBusPath, kBusService, QStringLiteral("NameHasOwner"));
    ask << kSystemd;
    SystemdConnection *bus = m_bus.get();
    bus->call(ask, bus->queryTimeout(), [bus, done = std::move(done)](const QDBusMessage &reply) {
        if (!firstArgument(reply).toBool()) {
            done(nullptr);
            return;
        }
        done(bus->add(std::make_unique<SystemdConnection::Entry>()));
    });
}

void SystemdServiceManager::openService(Handle manager, const std::string &name, std::uint32_t access,
                                        Reply<Handle> done)
{
    if (!m_bus->entry(manager, false) || name.empty() || access == 0 || (access & ~kKnownRights) != 0) {
        done(nullptr);
        return;
    }

    const QString unit = QString::fromStdString(name) + QStringLiteral(".service");
    QDBusMessage load = methodCall(kSystemd, kManagerPath, kManagerInterface, QStringLiteral("LoadUnit"));
    load << unit;
    SystemdConnection *bus = m_bus.get();
    bus->call(load, bus->queryTimeout(), [bus, unit, access, done = std::move(done)](const QDBusMessage &reply) {
        const QVariant path = firstArgument(reply);
        const QString unitPath = path.canConvert<QDBusObjectPath>() ? path.value<QDBusObjectPath>().path() : QString();
        if (unitPath.isEmpty()) {
            done(nullptr);
            return;
        }
        // systemd loads any name it is asked for; a unit without a unit file
        // is "not-found", which is a service that does not exist.
        QDBusMessage get = methodCall(kSystemd, unitPath, kProperties, QStringLiteral("Get"));
        get << kUnitInterface << QStringLiteral("LoadState");
        bus->call(get, bus->queryTimeout(), [bus, unit, unitPath, access, done](const QDBusMessage &loaded) {
            const QVariant loadState = firstArgument(loaded);
            if (loadState.typeId() != QMetaType::QString || loadState.toString() == QLatin1StringView("not-found")) {
                done(nullptr);
                return;
            }
            auto service = std::make_unique<SystemdConnection::Entry>();
            service->isService = true;
            service->unit = unit;
            service->path = unitPath;
            service->access = access;
            done(bus->add(std::move(service)));
        });
    });
}

void SystemdServiceManager::queryState(Handle service, Reply<std::optional<std::uint32_t>> done)
{
    const SystemdConnection::Entry *unit = m_bus->entry(service, true);
    if (!unit || !(unit->access & QueryStatus)) {
        done(std::nullopt);
        return;
    }

    // All of the unit's properties in one round trip, so the two states we
    // combine come from the same moment.
    QDBusMessage getAll = methodCall(kSystemd, unit->path, kProperties, QStringLiteral("GetAll"));
    getAll << kUnitInterface;
    m_bus->call(getAll, m_bus->queryTimeout(), [done = std::move(done)](const QDBusMessage &reply) {
        if (!succeeded(reply) || reply.arguments().isEmpty()) {
            done(std::nullopt);
            return;
        }
        const auto properties = qdbus_cast<QVariantMap>(reply.arguments().constFirst());
        const QString loadState = properties.value(QStringLiteral("LoadState")).toString();
        const QVariant activeState = properties.value(QStringLiteral("ActiveState"));
        if (loadState == QLatin1StringView("not-found") || activeState.typeId() != QMetaType::QString) {
            done(std::nullopt);
            return;
        }
        done(stateOfUnit(activeState.toString(), properties.value(QStringLiteral("FreezerState")).toString()));
    });
}

namespace {

void command(SystemdConnection &bus, ServiceManager::Handle service, std::uint32_t right, const char *method,
             bool withMode, ServiceManager::Reply<ServiceManager::Outcome> done)
{
    const SystemdConnection::Entry *unit = bus.entry(service, true);
    if (!unit || !(unit->access & right)) {
        done({});
        return;
    }
    QDBusMessage request =
        methodCall(kSystemd, kManagerPath, kManagerInterface, QLatin1StringView(method), Prompt::Allowed);
    request << unit->unit;
    if (withMode)
        request << QStringLiteral("replace");
    bus.call(request, bus.commandTimeout(), [done = std::move(done)](const QDBusMessage &reply) {
        if (succeeded(reply)) {
            done({true, {}});
            return;
        }
        // polkit's and systemd's own words: "Access denied", "Authentication
        // was cancelled", "Unit VellamorServer.service not found."
        const QString detail = reply.errorMessage().isEmpty() ? reply.errorName() : reply.errorMessage();
        done({false, detail.toStdString()});
    });
}

} // namespace

void SystemdServiceManager::start(Handle service, Reply<Outcome> done)
{
    command(*m_bus, service, Start, "StartUnit", true, std::move(done));
}

void SystemdServiceManager::stop(Handle service, Reply<Outcome> done)
{
    command(*m_bus, service, Stop, "StopUnit", true, std::move(done));
}

void SystemdServiceManager::pause(Handle service, Reply<Outcome> done)
{
    command(*m_bus, service, PauseContinue, "FreezeUnit", false, std::move(done));
}

void SystemdServiceManager::resume(Handle service, Reply<Outcome> done)
{
    command(*m_bus, service, PauseContinue, "ThawUnit", false, std::move(done));
}

void SystemdServiceManager::watch(Handle service, std::function<void()> changed)
{
    if (SystemdConnection::Entry *unit = m_bus->entry(service, true))
        m_bus->watch(unit, std::move(changed));
}

void SystemdServiceManager::close(Handle handle)
{
    m_bus->remove(handle);
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

// NOLINTNEXTLINE(performance-unnecessary-value-param): the interface hands a poster over; this backend needs none.
std::unique_ptr<ServiceManager> makeSystemServiceManager(ReplyPoster)
{
    // Replies come from the window thread's event loop: nothing to post.
    return std::make_unique<SystemdServiceManager>();
}

} // namespace vellamor::platform

#include "ServiceManager_systemd.moc"
