// The systemd backend against a real, private dbus-daemon and a fake systemd
// in its own process, driven through the panel's main window.

#include "PrivateSystemd.h"
#include "ServiceManager_systemd.h"
#include "ServicePanel.h"

#include <QRegularExpression>

using namespace vellamor;
using namespace vellamor::test;
using platform::Answer;
using platform::Icon;
using platform::SystemdServiceManager;

namespace {

const QString kStopped = QStringLiteral("Vellamor Service is Stopped");
const QString kRunning = QStringLiteral("Vellamor Service is Running");
const QString kPaused = QStringLiteral("Vellamor Service is Paused");
const QString kUnavailable = QStringLiteral("Failed to get Vellamor service status");

// The window on the private bus, with short call time limits for the hang tests.
struct BusPanel : ServicePanel
{
    explicit BusPanel(const PrivateBus &bus, int queryTimeoutMs = SystemdServiceManager::kDefaultQueryTimeoutMs,
                      int commandTimeoutMs = SystemdServiceManager::kDefaultCommandTimeoutMs)
        : ServicePanel(std::make_shared<SystemdServiceManager>(bus.address(), queryTimeoutMs, commandTimeoutMs))
    {
    }

    // Answers Yes and clicks a command label.
    void command(const QString &label)
    {
        dialogs().answerNext(Answer::Yes);
        click(label);
    }

    QStringList errors() const
    {
        QStringList texts;
        for (const ShownBox &box : platform.dialogs->boxes) {
            if (box.caption == QLatin1StringView("Error"))
                texts << box.text;
        }
        return texts;
    }
};

} // namespace

class TestServiceBus : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void walkThroughTheStates();
    void unitStates_data();
    void unitStates();
    void unitMissing();
    void unitRemovedBeforeACommand();
    void refusals_data();
    void refusals();
    void queryRefused();
    void noBusOrNoSystemd_data();
    void noBusOrNoSystemd();
    void busVanishesAndComesBack();
    void liveState();
    void commandAnsweredLate();
    void hungSystemd();

private:
    // Waits until the page has shown at least one query made after this call.
    bool waitForQuery();

    std::unique_ptr<PrivateBus> m_bus;
    std::unique_ptr<FakeSystemd> m_systemd;
};

void TestServiceBus::initTestCase()
{
    // Not a skip: a machine that lacks it must not pass this test unnoticed.
    QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty(),
             "dbus-daemon is not installed (Debian package dbus-daemon)");
}

void TestServiceBus::init()
{
    m_bus = std::make_unique<PrivateBus>();
    QVERIFY(m_bus->start());
    m_systemd = std::make_unique<FakeSystemd>(*m_bus);
}

void TestServiceBus::cleanup()
{
    m_systemd.reset();
    m_bus.reset();
}

bool TestServiceBus::waitForQuery()
{
    m_systemd->takeCalls();
    // The window sends a query only once the one before has been answered and
    // shown: when a second one comes, the first made after this call is on the page.
    qsizetype queries = 0;
    return QTest::qWaitFor([this, &queries] {
        queries += m_systemd->takeCalls().filter(QStringLiteral("GetAll")).size();
        return queries >= 2;
    });
}

void TestServiceBus::walkThroughTheStates()
{
    QVERIFY(m_systemd->start());
    BusPanel panel(*m_bus);
    QVERIFY(panel.activate());
    QCOMPARE(panel.caption(), kStopped);
    QCOMPARE(m_systemd->takeCalls(),
             QStringList({"LoadUnit VellamorServer.service", "Get org.freedesktop.systemd1.Unit LoadState", "Subscribe",
                          "GetAll org.freedesktop.systemd1.Unit"}));
    panel.tickFast();

    panel.command("StartService_lbl");
    QTRY_COMPARE(panel.caption(), kRunning);
    QCOMPARE(panel.enabledLabels(), "StopService_lbl,PauseService_lbl");

    panel.command("PauseService_lbl");
    QTRY_COMPARE(panel.caption(), kPaused);
    QCOMPARE(panel.visiblePictures(), "ServicePaused");
    QCOMPARE(panel.enabledLabels(), "StopService_lbl,ResumeService_lbl");

    panel.command("ResumeService_lbl");
    QTRY_COMPARE(panel.caption(), kRunning);

    panel.command("StopService_lbl");
    QTRY_COMPARE(panel.caption(), kStopped);
    QCOMPARE(panel.visiblePictures(), "StatusStoped");
    QCOMPARE(panel.enabledLabels(), "StartService_lbl");

    QCOMPARE(panel.errors(), QStringList());
    QCOMPARE(panel.dialogs().boxes.size(), 4);

    // The requests as systemd saw them: the job mode "replace", and polkit
    // may ask for a password for a command, never for a query.
    const QStringList calls = m_systemd->takeCalls();
    const QStringList requests = calls.filter(QRegularExpression(QStringLiteral("^(Start|Stop|Freeze|Thaw)Unit ")));
    QCOMPARE(requests, QStringList({"StartUnit VellamorServer.service replace [interactive]",
                                    "FreezeUnit VellamorServer.service [interactive]",
                                    "ThawUnit VellamorServer.service [interactive]",
                                    "StopUnit VellamorServer.service replace [interactive]"}));
    QCOMPARE(calls.filter(QStringLiteral("[interactive]")), requests);
    QVERIFY(!calls.filter(QStringLiteral("GetAll")).isEmpty());
}

void TestServiceBus::unitStates_data()
{
    QTest::addColumn<QString>("activeBefore");
    QTest::addColumn<QString>("freezerBefore");
    QTest::addColumn<QString>("active");
    QTest::addColumn<QString>("freezer");
    QTest::addColumn<QString>("caption");

    const QString running = QStringLiteral("running");
    QTest::newRow("inactive") << "active" << running << "inactive" << running << kStopped;
    QTest::newRow("failed") << "active" << running << "failed" << running << kStopped;
    QTest::newRow("activating") << "inactive" << running << "activating" << running << "Vellamor Service is Starting";
    QTest::newRow("deactivating") << "active" << running << "deactivating" << running << "Vellamor Service is Stoping";
    QTest::newRow("deactivating while frozen") << "active"
                                               << "frozen"
                                               << "deactivating"
                                               << "frozen"
                                               << "Vellamor Service is Stoping";
    QTest::newRow("active") << "inactive" << running << "active" << running << kRunning;
    QTest::newRow("reloading") << "inactive" << running << "reloading" << running << kRunning;
    QTest::newRow("no freezer (older systemd)") << "inactive" << running << "active"
                                                << "" << kRunning;
    QTest::newRow("frozen") << "active" << running << "active"
                            << "frozen" << kPaused;
    QTest::newRow("frozen by parent") << "active" << running << "active"
                                      << "frozen-by-parent" << kPaused;
    QTest::newRow("freezing keeps running") << "active" << running << "active"
                                            << "freezing" << kRunning;
    QTest::newRow("thawing keeps paused") << "active"
                                          << "frozen"
                                          << "active"
                                          << "thawing" << kPaused;
    QTest::newRow("unknown active state keeps stopped")
        << "inactive" << running << "maintenance" << running << kStopped;
    QTest::newRow("unknown freezer state keeps running") << "active" << running << "active"
                                                         << "melting" << kRunning;
}

void TestServiceBus::unitStates()
{
    QFETCH(QString, activeBefore);
    QFETCH(QString, freezerBefore);
    QFETCH(QString, active);
    QFETCH(QString, freezer);
    QFETCH(QString, caption);

    QVERIFY(m_systemd->start({activeBefore, freezerBefore}));
    BusPanel panel(*m_bus);
    QVERIFY(panel.activate());
    QVERIFY(panel.caption() != kUnavailable);

    QVERIFY(m_systemd->setUnit(true, active, freezer));
    panel.tickFast();
    QVERIFY(waitForQuery());
    QCOMPARE(panel.caption(), caption);
}

void TestServiceBus::unitMissing()
{
    QVERIFY(m_systemd->start({"inactive", "running", "not-found"}));
    BusPanel panel(*m_bus);
    QVERIFY(panel.activate());
    QCOMPARE(panel.caption(), kUnavailable);
    QCOMPARE(panel.enabledLabels(), QString());

    // Installing the unit later does not bring the page back: the monitor
    // looked the service up once, at activation.
    m_systemd->takeCalls();
    QVERIFY(m_systemd->setUnit(true, QStringLiteral("active")));
    QVERIFY(panel.tick());
    QVERIFY(panel.tick());
    QCOMPARE(panel.caption(), kUnavailable);
    QCOMPARE(m_systemd->takeCalls(), QStringList());
}

void TestServiceBus::unitRemovedBeforeACommand()
{
    QVERIFY(m_systemd->start());
    BusPanel panel(*m_bus);
    QVERIFY(panel.activate());
    QCOMPARE(panel.caption(), kStopped);

    // Removed between two ticks: Start is still on offer and fails.
    QVERIFY(m_systemd->setUnit(false, QStringLiteral("inactive")));
    panel.command("StartService_lbl");
    QTRY_COMPARE(panel.errors(), QStringList({"Failed to start service."}));
    QVERIFY(m_systemd->takeCalls().filter(QStringLiteral("StartUnit")).isEmpty());

    // And the next tick says the service is gone.
    QVERIFY(panel.tick());
    QTRY_COMPARE(panel.caption(), kUnavailable);
}

void TestServiceBus::refusals_data()
{
    QTest::addColumn<QString>("active");
    QTest::addColumn<QString>("freezer");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("method");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QString>("failure");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("statusBar");

    const QString denied = QStringLiteral("org.freedesktop.DBus.Error.AccessDenied");
    QTest::newRow("start denied") << "inactive"
                                  << "running"
                                  << "StartService_lbl"
                                  << "StartUnit" << denied << "Failed to start service." << kStopped
                                  << "Failed to start service: Access denied";
    QTest::newRow("stop denied") << "active"
                                 << "running"
                                 << "StopService_lbl"
                                 << "StopUnit" << denied << "Failed to stop service." << kRunning
                                 << "Failed to stop service: Access denied";
    QTest::newRow("pause denied") << "active"
                                  << "running"
                                  << "PauseService_lbl"
                                  << "FreezeUnit" << denied << "Failed to pause service." << kRunning
                                  << "Failed to pause service: Access denied";
    QTest::newRow("resume denied") << "active"
                                   << "frozen"
                                   << "ResumeService_lbl"
                                   << "ThawUnit" << denied << "Failed to resume service." << kPaused
                                   << "Failed to resume service: Access denied";
    QTest::newRow("password prompt cancelled")
        << "inactive"
        << "running"
        << "StartService_lbl"
        << "StartUnit"
        << "org.freedesktop.DBus.Error.InteractiveAuthorizationRequired"
        << "Failed to start service." << kStopped << "Failed to start service: Access denied";
    QTest::newRow("no freezer on this system")
        << "active"
        << "running"
        << "PauseService_lbl"
        << "FreezeUnit"
        << "org.freedesktop.DBus.Error.NotSupported"
        << "Failed to pause service." << kRunning << "Failed to pause service: Access denied";
    // The command's own handle cannot be opened: there is no detail to give.
    QTest::newRow("lookup denied") << "inactive"
                                   << "running"
                                   << "StartService_lbl"
                                   << "LoadUnit" << denied << "Failed to start service." << kStopped << "";
}

void TestServiceBus::refusals()
{
    QFETCH(QString, active);
    QFETCH(QString, freezer);
    QFETCH(QString, label);
    QFETCH(QString, method);
    QFETCH(QString, error);
    QFETCH(QString, failure);
    QFETCH(QString, caption);
    QFETCH(QString, statusBar);

    QVERIFY(m_systemd->start({active, freezer}));
    BusPanel panel(*m_bus);
    QVERIFY(panel.activate());
    QCOMPARE(panel.caption(), caption);

    QVERIFY(m_systemd->steer(QStringLiteral("Refuse"), {method, error, QStringLiteral("Access denied")}));
    panel.command(label);
    QTRY_COMPARE(panel.dialogs().boxes.size(), 2);
    const ShownBox box = panel.dialogs().boxes.at(1);
    QCOMPARE(box.text, failure);
    QCOMPARE(box.caption, "Error");
    QCOMPARE(box.icon, Icon::Error);
    QVERIFY(!box.hadOwner);
    QCOMPARE(panel.statusBar(), statusBar);

    // Nothing changed: the next ticks show the same state.
    panel.tickFast();
    QVERIFY(waitForQuery());
    QCOMPARE(panel.caption(), caption);

    // Once allowed, the same command goes through.
    QVERIFY(m_systemd->steer(QStringLiteral("Refuse"), {method, QString()}));
    panel.command(label);
    QTRY_VERIFY(panel.caption() != caption);
    QCOMPARE(panel.errors().size(), 1);
    QTRY_COMPARE(panel.statusBar(), QString());
}

void TestServiceBus::queryRefused()
{
    QVERIFY(m_systemd->start({"active", "running"}));
    BusPanel panel(*m_bus);
    QVERIFY(panel.activate());
    QCOMPARE(panel.caption(), kRunning);

    panel.tickFast();
    QVERIFY(m_systemd->steer(QStringLiteral("Refuse"), {"GetAll", "org.freedesktop.DBus.Error.AccessDenied"}));
    QTRY_COMPARE(panel.caption(), kUnavailable);
    QVERIFY(m_systemd->steer(QStringLiteral("Refuse"), {"GetAll", QString()}));
    QTRY_COMPARE(panel.caption(), kRunning);
    QVERIFY(panel.dialogs().boxes.isEmpty());
}

void TestServiceBus::noBusOrNoSystemd_data()
{
    QTest::addColumn<bool>("busRuns");
    QTest::newRow("no bus") << false;
    QTest::newRow("bus without systemd") << true;
}

void TestServiceBus::noBusOrNoSystemd()
{
    QFETCH(bool, busRuns);
    if (!busRuns)
        m_bus->stop();

    BusPanel panel(*m_bus);
    QVERIFY(panel.activate());
    QCOMPARE(panel.caption(), kUnavailable);
    QCOMPARE(panel.enabledLabels(), QString());

    // systemd turning up later does not bring the page back: the manager was
    // opened once, at activation.
    if (busRuns) {
        QVERIFY(m_systemd->start({"active", "running"}));
        QVERIFY(panel.tick());
        QCOMPARE(panel.caption(), kUnavailable);
        QCOMPARE(m_systemd->takeCalls(), QStringList());
    }
}

void TestServiceBus::busVanishesAndComesBack()
{
    QVERIFY(m_systemd->start({"active", "running"}));
    BusPanel panel(*m_bus);
    QVERIFY(panel.activate());
    QCOMPARE(panel.caption(), kRunning);

    m_systemd->stop();
    m_bus->stop();

    // A command between the bus going and the next tick fails cleanly.
    panel.command("StopService_lbl");
    QTRY_COMPARE(panel.errors(), QStringList({"Failed to stop service."}));

    panel.tickFast();
    QTRY_COMPARE(panel.caption(), kUnavailable);
    QCOMPARE(panel.enabledLabels(), QString());

    // The bus and systemd come back at the same address: the next ticks find
    // them, and the page follows the unit live again.
    QVERIFY(m_bus->start());
    QVERIFY(m_systemd->start({"active", "frozen"}));
    QTRY_COMPARE(panel.caption(), kPaused);
    panel.window->Timer2->setInterval(3600 * 1000);
    QVERIFY(m_systemd->setUnit(true, QStringLiteral("inactive")));
    QTRY_COMPARE(panel.caption(), kStopped);
    QCOMPARE(panel.errors().size(), 1);
}

void TestServiceBus::liveState()
{
    QVERIFY(m_systemd->start());
    BusPanel panel(*m_bus);
    QVERIFY(panel.activate());
    QCOMPARE(panel.caption(), kStopped);

    // Started, paused and stopped behind the panel's back: systemd's
    // announcements show without a tick of the service timer.
    QVERIFY(m_systemd->setUnit(true, QStringLiteral("active")));
    QTRY_COMPARE(panel.caption(), kRunning);
    QVERIFY(m_systemd->setUnit(true, QStringLiteral("active"), QStringLiteral("frozen")));
    QTRY_COMPARE(panel.caption(), kPaused);
    QVERIFY(m_systemd->setUnit(true, QStringLiteral("inactive")));
    QTRY_COMPARE(panel.caption(), kStopped);

    // systemd going away counts as a change too.
    m_systemd->stop();
    QTRY_COMPARE(panel.caption(), kUnavailable);
}

void TestServiceBus::commandAnsweredLate()
{
    QVERIFY(m_systemd->start());
    BusPanel panel(*m_bus);
    QVERIFY(panel.activate());

    // As when polkit asks the administrator for a password first.
    QVERIFY(m_systemd->steer(QStringLiteral("Delay"), {"StartUnit", 3000}));
    int turns = 0;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&turns] { ++turns; });
    probe.start(10);
    panel.command("StartService_lbl");
    QStringList calls;
    QTRY_VERIFY((calls += m_systemd->takeCalls(), !calls.filter(QStringLiteral("StartUnit")).isEmpty()));

    // While systemd has not answered, the window goes on handling events, and
    // a second click is ignored rather than queued behind the first.
    QTRY_VERIFY(turns >= 20);
    panel.command("StartService_lbl");
    QCOMPARE(panel.caption(), kStopped);
    QCOMPARE(panel.dialogs().boxes.size(), 1);
    QCOMPARE(panel.statusBar(), "Waiting for the service manager to start Vellamor Service...");
    panel.dialogs().answers.clear();

    QTRY_COMPARE_WITH_TIMEOUT(panel.caption(), kRunning, 10000);
    QCOMPARE(panel.errors(), QStringList());
    QTRY_COMPARE(panel.statusBar(), QString());
    QCOMPARE(m_systemd->takeCalls().filter(QStringLiteral("StartUnit")).size(), 0);
}

void TestServiceBus::hungSystemd()
{
    QVERIFY(m_systemd->start({"active", "running"}));
    // Short limits; the panel's own are seconds for a query and minutes for a command.
    BusPanel panel(*m_bus, 1000, 1500);
    QVERIFY(panel.activate());
    QCOMPARE(panel.caption(), kRunning);

    QVERIFY(m_systemd->steer(QStringLiteral("Hang"), {"GetAll", true}));
    QVERIFY(m_systemd->steer(QStringLiteral("Hang"), {"StopUnit", true}));
    m_systemd->takeCalls();
    int turns = 0;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&turns] { ++turns; });
    probe.start(10);
    QSignalSpy ticks(panel.window->Timer2, &QTimer::timeout);
    panel.tickFast();
    panel.command("StopService_lbl");

    // Ticks do not pile up queries behind the one under way.
    QTRY_VERIFY(ticks.size() >= 10);
    QCOMPARE(m_systemd->takeCalls().filter(QStringLiteral("GetAll")).size(), 1);

    // The window kept turning while nothing answered; each call ends at its limit.
    QTRY_COMPARE(panel.errors(), QStringList({"Failed to stop service."}));
    QVERIFY(turns >= 20);
    QVERIFY(panel.statusBar().startsWith(QLatin1StringView("Failed to stop service: ")));
    QTRY_COMPARE(panel.caption(), kUnavailable);

    QVERIFY(m_systemd->steer(QStringLiteral("Hang"), {"GetAll", false}));
    QTRY_COMPARE(panel.caption(), kRunning);
}

QTEST_MAIN(TestServiceBus)
#include "tst_servicebus.moc"
