// The panel in the notification area: the tray's menu and tooltip as the
// window drives them, the notices through org.freedesktop.Notifications to a
// stand-in server on a private bus, and the entry that starts us at login.

#include "Autostart.h"
#include "Notifications.h"
#include "PrivateBus.h"
#include "window/Tray.h"

#include <QDBusConnectionInterface>
#include <QDBusVirtualObject>
#include <QElapsedTimer>
#include <QFile>
#include <QMenu>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTest>

using namespace vellamor;

namespace {

// Owns org.freedesktop.Notifications on its own connection; answers Notify
// unless told to hang, and keeps what it was sent.
class StandInServer final : public QDBusVirtualObject
{
public:
    bool hang = false;
    QList<QVariantList> received;

    QString introspect(const QString &) const override { return {}; }
    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override
    {
        received << message.arguments();
        if (!hang)
            connection.send(message.createReply(QVariantList{uint(received.size())}));
        return true;
    }
};

class RecordedNotifications final : public platform::Notifications
{
public:
    QStringList shown;
    void show(const QString &summary, const QString &body, bool urgent) override
    {
        shown << summary + QLatin1Char('|') + body + (urgent ? "|urgent" : "");
    }
};

} // namespace

class TestTray : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void menuAndToolTip_data();
    void menuAndToolTip();
    void menuAsks();
    void notices_data();
    void notices();
    void autostart_data();
    void autostart();
    void autostartFailure();
};

void TestTray::menuAndToolTip_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<unsigned>("enabled");
    QTest::addColumn<QString>("toolTip");
    QTest::addColumn<QString>("icon");
    QTest::addColumn<QStringList>("enabledActions");

    const auto add = [](const char *name, ServiceDisplayState state, const char *toolTip, const char *icon,
                        const QStringList &actions) {
        const ServiceDisplayRow &row = serviceDisplayRow(state);
        QTest::newRow(name) << int(state) << QString::fromLatin1(row.caption) << row.enabledLabels
                            << QString::fromLatin1(toolTip) << QStringLiteral(":/icons/tray-%1-light.svg").arg(icon)
                            << QStringList{"TrayOpen"} + actions + QStringList{"TrayShowLog", "TrayExit"};
    };
    add("running", ServiceDisplayState::Running, "Vellamor Service: Running\n3 users are connected", "running",
        {"TrayStop", "TrayPause"});
    add("stopped", ServiceDisplayState::Stopped, "Vellamor Service: Stopped\n3 users are connected", "stopped",
        {"TrayStart"});
    add("paused", ServiceDisplayState::Paused, "Vellamor Service: Paused\n3 users are connected", "paused",
        {"TrayStop", "TrayResume"});
    add("stopping", ServiceDisplayState::Stopping, "Vellamor Service: Stoping\n3 users are connected", "pending", {});
    add("unavailable", ServiceDisplayState::Unavailable, "Failed to get Vellamor service status\n3 users are connected",
        "unknown", {});
}

void TestTray::menuAndToolTip()
{
    QFETCH(int, state);
    QFETCH(QString, caption);
    QFETCH(unsigned, enabled);

    // The offscreen platform has no notification area: nothing is shown, and
    // the tray still follows the window, for when the area comes.
    TrayArea tray(nullptr);
    QVERIFY(!tray.isShown());
    QVERIFY(!tray.findChild<QSystemTrayIcon *>());
    tray.setUsersCaption(QStringLiteral("3 users are connected"));
    tray.setServiceState(ServiceDisplayState::Running, QStringLiteral("Vellamor Service is Running"), ~0u);
    tray.setServiceState(ServiceDisplayState(state), caption, enabled);

    QTEST(tray.toolTip(), "toolTip");
    QTEST(tray.iconResource(), "icon");
    QVERIFY(QFile::exists(tray.iconResource()));
    QVERIFY(QFile::exists(QString(tray.iconResource()).replace("-light", "-dark")));
    QStringList actions;
    for (const QAction *action : tray.menu()->actions())
        if (action->isEnabled() && !action->isSeparator())
            actions << action->objectName();
    QTEST(actions, "enabledActions");
}

void TestTray::menuAsks()
{
    auto recorded = std::make_shared<RecordedNotifications>();
    TrayArea tray(recorded, false);
    tray.setServiceState(ServiceDisplayState::Paused, QStringLiteral("Vellamor Service is Paused"), ~0u);
    QSignalSpy open(&tray, &TrayArea::openRequested);
    QSignalSpy command(&tray, &TrayArea::commandRequested);
    QSignalSpy log(&tray, &TrayArea::showLogRequested);
    QSignalSpy exit(&tray, &TrayArea::exitRequested);
    for (QAction *action : tray.menu()->actions())
        action->trigger();
    QCOMPARE(open.count() + log.count() + exit.count(), 3);
    QList<ServiceCommandKind> asked;
    for (const QList<QVariant> &args : command)
        asked << args.at(0).value<ServiceCommandKind>();
    QCOMPARE(asked, (QList{ServiceCommandKind::Start, ServiceCommandKind::Stop, ServiceCommandKind::Pause,
                           ServiceCommandKind::Resume}));

    tray.notify({ServiceNotification::Kind::Stopped, "Vellamor Service stopped", "since 03:00:00.", true});
    QCOMPARE(recorded->shown, QStringList{"Vellamor Service stopped|since 03:00:00.|urgent"});
}

void TestTray::notices_data()
{
    QTest::addColumn<bool>("server");
    QTest::addColumn<bool>("hang");
    QTest::addColumn<int>("received"); // of 20 notices

    QTest::newRow("answering server") << true << false << 20;
    // One call at a time: a hung server is not flooded.
    QTest::newRow("hung server") << true << true << 1;
    QTest::newRow("no server") << false << false << 0;
}

void TestTray::notices()
{
    QFETCH(bool, server);
    QFETCH(bool, hang);
    QFETCH(int, received);

    StandInServer standIn; // outlives the bus it is registered on
    standIn.hang = hang;
    test::PrivateBus bus;
    if (!bus.start())
        QSKIP("no dbus-daemon");
    QDBusConnection serverBus = bus.control();
    if (server) {
        QVERIFY(serverBus.registerVirtualObject(QStringLiteral("/org/freedesktop/Notifications"), &standIn));
        QVERIFY(serverBus.registerService(QStringLiteral("org.freedesktop.Notifications")));
    }
    QDBusConnection panelBus = QDBusConnection::connectToBus(bus.address(), QTest::currentDataTag());
    {
        const std::shared_ptr<platform::Notifications> notifications = platform::makeDBusNotifications(panelBus);
        QElapsedTimer sending;
        sending.start();
        for (int i = 0; i < 20; ++i)
            notifications->show(QStringLiteral("Vellamor Service stopped"), QString::number(i), i % 2);
        QVERIFY(sending.elapsed() < 1000); // the window never waits on the bus
        QTRY_COMPARE(standIn.received.size(), received);
        if (received) {
            const QVariantList first = standIn.received.first();
            QCOMPARE(first.at(0).toString(), QStringLiteral("Vellamor Application Server Desktop"));
            QCOMPARE(first.at(3).toString(), QStringLiteral("Vellamor Service stopped"));
            QCOMPARE(first.at(4).toString(), QStringLiteral("0"));
            QCOMPARE(first.at(7).toInt(), -1);
            const auto hints = qdbus_cast<QVariantMap>(first.at(6));
            QCOMPARE(hints.value(QStringLiteral("urgency")).value<uchar>(),
                     uchar(1)); // normal: a notice that was not urgent
        }
    }
    QDBusConnection::disconnectFromBus(QTest::currentDataTag());
}

void TestTray::autostart_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("exec");

    QTest::newRow("plain path") << "/opt/vellamor/vellamor-desktop"
                                << "Exec=/opt/vellamor/vellamor-desktop --tray";
    QTest::newRow("blank in the path") << "/home/a b/vellamor-desktop"
                                       << "Exec=\"/home/a b/vellamor-desktop\" --tray";
    QTest::newRow("reserved characters") << "/srv/100%/$x\"y"
                                         << R"(Exec="/srv/100%%/\\$x\\"y" --tray)";
}

void TestTray::autostart()
{
    QFETCH(QString, program);
    QFETCH(QString, exec);
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    const QString entry = config.filePath("autostart/com.vellamor.ApplicationServerDesktop.desktop");

    const std::shared_ptr<platform::Autostart> autostart = platform::makeSystemAutostart(program);
    QVERIFY(!autostart->isEnabled());
    QCOMPARE(autostart->setEnabled(true), std::nullopt);
    QCOMPARE(autostart->setEnabled(true), std::nullopt); // again: the same one entry
    QVERIFY(autostart->isEnabled());
    QFile file(entry);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(QString::fromUtf8(file.readAll()).split('\n').contains(exec));
    const QString validate = QStandardPaths::findExecutable("desktop-file-validate");
    if (!validate.isEmpty()) {
        QProcess check;
        check.start(validate, {entry});
        QVERIFY(check.waitForFinished());
        QCOMPARE(check.readAll() + check.readAllStandardError(), QByteArray());
        QCOMPARE(check.exitCode(), 0);
    }
    QCOMPARE(autostart->setEnabled(false), std::nullopt);
    QVERIFY(!QFile::exists(entry));
    QVERIFY(!autostart->isEnabled());
    QCOMPARE(autostart->setEnabled(false), std::nullopt);
}

void TestTray::autostartFailure()
{
    // Where the entry's folder should be there is a file: the user hears why,
    // and nothing is written.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QFile blocker(config.filePath("autostart"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const std::shared_ptr<platform::Autostart> autostart = platform::makeSystemAutostart("/opt/vellamor/x");
    const std::optional<QString> failure = autostart->setEnabled(true);
    QVERIFY(failure && failure->contains(config.filePath("autostart")));
    QVERIFY(!autostart->isEnabled());
    QCOMPARE(QDir(config.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList{"autostart"});
}

QTEST_MAIN(TestTray)
#include "tst_tray.moc"
