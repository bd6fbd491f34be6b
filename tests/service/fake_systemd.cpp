// A stand-in for systemd on a private bus: it owns org.freedesktop.systemd1
// and answers the few calls the panel makes for one unit, VellamorServer.service.
// A test steers it over the same bus through /org/vellamor/FakeSystemd:
//   SetUnit(b loaded, s activeState, s freezerState)   "" freezerState: no such property
//   Refuse(s method, s errorName [, s errorText])       "" errorName: answer again
//   Hang(s method, b hang)                               never answer that method
//   Delay(s method, i ms)                                answer that method ms later; 0: at once
//   TakeCalls() -> as                                    the calls since the last TakeCalls
// Once a client has called the manager's Subscribe, every change of the unit's
// state is announced with PropertiesChanged, as systemd does. "*" as a method
// name stands for every method of systemd. It runs in its own process so that
// the panel's calls have someone else's event loop to answer them.

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QMap>
#include <QSet>
#include <QTextStream>
#include <QTimer>
#include <QVariantMap>
#include <cstdio>

namespace {

const QString kUnit = QStringLiteral("VellamorServer.service");
const QString kManagerPath = QStringLiteral("/org/freedesktop/systemd1");
const QString kManagerInterface = QStringLiteral("org.freedesktop.systemd1.Manager");
const QString kUnitInterface = QStringLiteral("org.freedesktop.systemd1.Unit");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");
const QString kControlPath = QStringLiteral("/org/vellamor/FakeSystemd");

// systemd's escaping of a unit name into its object path.
QString unitPath(const QString &name)
{
    QString path = kManagerPath + QStringLiteral("/unit/");
    for (const QChar c : name) {
        if ((c >= QLatin1Char('a') && c <= QLatin1Char('z')) || (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
            (c >= QLatin1Char('0') && c <= QLatin1Char('9')))
            path += c;
        else
            path += QStringLiteral("_%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
    }
    return path;
}

class FakeSystemd final : public QDBusVirtualObject
{
public:
    bool loaded = true;
    QString activeState = QStringLiteral("inactive");
    QString freezerState = QStringLiteral("running");
    QMap<QString, QPair<QString, QString>> refusals; // method: error name, text
    QSet<QString> hangs;
    QMap<QString, int> delays;
    QStringList calls;
    int jobs = 0;
    bool subscribed = false;

    QString introspect(const QString &) const override { return {}; }

    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override
    {
        const QString method = message.member();
        const QVariantList args = message.arguments();

        if (message.path() == kControlPath)
            return control(message, connection);

        QStringList line{method};
        for (const QVariant &arg : args)
            line << arg.toString();
        if (message.isInteractiveAuthorizationAllowed())
            line << QStringLiteral("[interactive]");
        calls << line.join(QLatin1Char(' '));

        if (hangs.contains(method) || hangs.contains(QStringLiteral("*")))
            return true; // no answer, ever
        const int delay = delays.value(method, delays.value(QStringLiteral("*")));
        if (delay > 0) {
            // The answer, and what the call changes, come later: as with a
            // password prompt in front of the request.
            QTimer::singleShot(delay, &m_timers, [this, message, connection] { answer(message, connection); });
            return true;
        }
        return answer(message, connection);
    }

private:
    bool answer(const QDBusMessage &message, const QDBusConnection &connection)
    {
        const QString method = message.member();
        const QVariantList args = message.arguments();
        if (refusals.contains(method)) {
            const auto &[name, text] = refusals.value(method);
            connection.send(message.createErrorReply(name, text));
            return true;
        }

        auto reply = [&](const QVariantList &values) {
            connection.send(message.createReply(values));
            return true;
        };
        auto error = [&](const char *name, const QString &text) {
            connection.send(message.createErrorReply(QLatin1StringView(name), text));
            return true;
        };

        if (message.path() == kManagerPath && message.interface() == kManagerInterface) {
            const QString name = args.value(0).toString();
            if (method == QLatin1StringView("LoadUnit"))
                return reply({QVariant::fromValue(QDBusObjectPath(unitPath(name)))});
            if (method == QLatin1StringView("Subscribe")) {
                subscribed = true;
                return reply({});
            }
            const bool known = loaded && name == kUnit;
            if (!known)
                return error("org.freedesktop.systemd1.NoSuchUnit", QStringLiteral("Unit %1 not found.").arg(name));
            if (method == QLatin1StringView("StartUnit") || method == QLatin1StringView("StopUnit")) {
                if (args.value(1).toString() != QLatin1StringView("replace"))
                    return error("org.freedesktop.DBus.Error.InvalidArgs", QStringLiteral("Unexpected job mode"));
                setState(connection,
                         method == QLatin1StringView("StartUnit") ? QStringLiteral("active")
                                                                  : QStringLiteral("inactive"),
                         QStringLiteral("running"));
                return reply(
                    {QVariant::fromValue(QDBusObjectPath(kManagerPath + QStringLiteral("/job/%1").arg(++jobs)))});
            }
            if (method == QLatin1StringView("FreezeUnit") || method == QLatin1StringView("ThawUnit")) {
                if (activeState != QLatin1StringView("active"))
                    return error("org.freedesktop.systemd1.UnitInactive", QStringLiteral("Unit is not active"));
                setState(connection, activeState,
                         method == QLatin1StringView("FreezeUnit") ? QStringLiteral("frozen")
                                                                   : QStringLiteral("running"));
                return reply({});
            }
            return error("org.freedesktop.DBus.Error.UnknownMethod", method);
        }

        if (message.path().startsWith(kManagerPath + QStringLiteral("/unit/")) && message.interface() == kProperties) {
            const bool ours = message.path() == unitPath(kUnit) && loaded;
            QVariantMap properties{
                {QStringLiteral("Id"), message.path().section(QLatin1Char('/'), -1)},
                {QStringLiteral("LoadState"), ours ? QStringLiteral("loaded") : QStringLiteral("not-found")},
                {QStringLiteral("ActiveState"), ours ? activeState : QStringLiteral("inactive")},
            };
            if (!freezerState.isEmpty())
                properties.insert(QStringLiteral("FreezerState"), ours ? freezerState : QStringLiteral("running"));
            if (args.value(0).toString() != kUnitInterface)
                return error("org.freedesktop.DBus.Error.UnknownInterface", args.value(0).toString());
            if (method == QLatin1StringView("GetAll"))
                return reply({properties});
            if (method == QLatin1StringView("Get")) {
                const QString name = args.value(1).toString();
                if (!properties.contains(name))
                    return error("org.freedesktop.DBus.Error.UnknownProperty", name);
                return reply({QVariant::fromValue(QDBusVariant(properties.value(name)))});
            }
        }
        return error("org.freedesktop.DBus.Error.UnknownMethod", method);
    }

    // Sets the unit's state and tells the subscribers what changed.
    void setState(const QDBusConnection &connection, const QString &active, const QString &freezer)
    {
        QVariantMap changed;
        if (active != activeState)
            changed.insert(QStringLiteral("ActiveState"), active);
        if (freezer != freezerState && !freezer.isEmpty())
            changed.insert(QStringLiteral("FreezerState"), freezer);
        activeState = active;
        freezerState = freezer;
        if (!subscribed || changed.isEmpty())
            return;
        QDBusMessage signal =
            QDBusMessage::createSignal(unitPath(kUnit), kProperties, QStringLiteral("PropertiesChanged"));
        signal << kUnitInterface << changed << QStringList();
        connection.send(signal);
    }

    bool control(const QDBusMessage &message, const QDBusConnection &connection)
    {
        const QVariantList args = message.arguments();
        const QString method = message.member();
        if (method == QLatin1StringView("SetUnit")) {
            loaded = args.value(0).toBool();
            setState(connection, args.value(1).toString(), args.value(2).toString());
        } else if (method == QLatin1StringView("Refuse")) {
            const QString text = args.size() > 2 ? args.value(2).toString() : QStringLiteral("Refused by the test");
            if (args.value(1).toString().isEmpty())
                refusals.remove(args.value(0).toString());
            else
                refusals.insert(args.value(0).toString(), {args.value(1).toString(), text});
        } else if (method == QLatin1StringView("Delay")) {
            delays.insert(args.value(0).toString(), args.value(1).toInt());
        } else if (method == QLatin1StringView("Hang")) {
            if (args.value(1).toBool())
                hangs.insert(args.value(0).toString());
            else
                hangs.remove(args.value(0).toString());
        } else if (method == QLatin1StringView("TakeCalls")) {
            connection.send(message.createReply(QVariant(calls)));
            calls.clear();
            return true;
        } else {
            connection.send(
                message.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod"), method));
            return true;
        }
        connection.send(message.createReply());
        return true;
    }

    QObject m_timers; // context of the delayed answers
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: fake_systemd <bus address> [activeState] [freezerState] [not-found]\n");
        return 2;
    }
    FakeSystemd systemd;
    if (args.size() > 2)
        systemd.activeState = args.at(2);
    if (args.size() > 3)
        systemd.freezerState = args.at(3);
    if (args.size() > 4 && args.at(4) == QLatin1StringView("not-found"))
        systemd.loaded = false;

    QDBusConnection bus = QDBusConnection::connectToBus(args.at(1), QStringLiteral("fake-systemd"));
    if (!bus.isConnected()) {
        std::fprintf(stderr, "fake_systemd: cannot connect to %s\n", qPrintable(args.at(1)));
        return 1;
    }
    if (!bus.registerVirtualObject(kManagerPath, &systemd, QDBusConnection::SubPath) ||
        !bus.registerVirtualObject(kControlPath, &systemd, QDBusConnection::SingleNode) ||
        !bus.registerService(QStringLiteral("org.freedesktop.systemd1"))) {
        std::fprintf(stderr, "fake_systemd: cannot register on the bus\n");
        return 1;
    }

    // Leave with the bus: a test that kills its bus does not leave us behind.
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, &app, [&bus] {
        if (!bus.isConnected())
            QCoreApplication::exit(0);
    });
    watch.start(100);

    std::fputs("ready\n", stdout);
    std::fflush(stdout);
    return app.exec();
}
