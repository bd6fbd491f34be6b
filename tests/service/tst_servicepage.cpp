#include "Controls.h"
#include "FakeServiceManager.h"
#include "ServicePanel.h"

#include <vector>

using namespace vellamor;
using namespace vellamor::test;
using platform::Answer;
using platform::Buttons;
using platform::Icon;
using platform::ServiceManager;
using State = std::optional<std::uint32_t>;

Q_DECLARE_METATYPE(State)

namespace {

const QColor kAmber(176, 96, 0);
const QStringList kLabels = kCommandLabels;

struct Panel : ServicePanel
{
    Panel() : Panel(std::make_shared<FakeServiceManager>()) {}
    explicit Panel(std::shared_ptr<FakeServiceManager> fake) : ServicePanel(fake), services(std::move(fake)) {}

    std::shared_ptr<FakeServiceManager> services;
};

} // namespace

class TestServicePage : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void tickBeforeActivation();
    void activationOpensForQueriesOnly();
    void displayTable_data();
    void displayTable();
    void commands_data();
    void commands();
    void successWaitsForTheNextTick();
    void uninstallAndReinstallOnlyAsk_data();
    void uninstallAndReinstallOnlyAsk();
    void closingTheWindowClosesTheMonitor();
};

void TestServicePage::tickBeforeActivation()
{
    Panel panel;
    // As built: "Stopped" in black, the grey gear, every command offered.
    QVERIFY(control<QTimer>(*panel.window, "Timer2")->isActive());
    QCOMPARE(control<QTimer>(*panel.window, "Timer2")->interval(), 3600 * 1000);
    QCOMPARE(panel.status()->text(), "Stopped");
    QCOMPARE(panel.captionColour(), QColor(Qt::black));
    QCOMPARE(panel.visiblePictures(), "StatusUnknown");
    QCOMPARE(panel.enabledLabels(), kLabels.join(QLatin1Char(',')));

    QVERIFY(panel.tick());
    QCOMPARE(panel.status()->text(), "Failed to get Vellamor service status");
    QCOMPARE(panel.visiblePictures(), "StatusUnknown");
    QCOMPARE(panel.enabledLabels(), QString());
    // Nothing is open yet, so nothing is asked.
    QVERIFY(panel.services->calls.isEmpty());
    QVERIFY(panel.dialogs().boxes.isEmpty());
}

void TestServicePage::activationOpensForQueriesOnly()
{
    Panel panel;
    // The service timer runs from the moment the window exists.
    TForm3 fresh(panel.platform.platform());
    QVERIFY(control<QTimer>(fresh, "Timer2")->isActive());
    QCOMPARE(control<QTimer>(fresh, "Timer2")->interval(), 5000);

    panel.services->state = ServiceManager::Running;
    QVERIFY(panel.activate());
    QCOMPARE(panel.window->ServiceName, "VellamorServer");
    QCOMPARE(panel.services->calls, QStringList({"openManager", "openService VellamorServer 4", "query"}));
    QCOMPARE(panel.status()->text(), "Vellamor Service is Running");

    // Later activations open nothing again; ticks query through the same handle.
    panel.window->hide();
    QVERIFY(panel.activate());
    QVERIFY(panel.tick());
    QVERIFY(panel.tick());
    QCOMPARE(panel.services->calls,
             QStringList({"openManager", "openService VellamorServer 4", "query", "query", "query"}));
    QCOMPARE(panel.services->badCalls, 0);
}

void TestServicePage::displayTable_data()
{
    QTest::addColumn<bool>("managerOpens");
    QTest::addColumn<bool>("serviceOpens");
    QTest::addColumn<State>("atActivation");
    QTest::addColumn<State>("atTick");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QColor>("colour");
    QTest::addColumn<QString>("picture");
    QTest::addColumn<QString>("enabled");

    const QString none;
    const State failed;
    const State stopped = ServiceManager::Stopped, startPending = ServiceManager::StartPending,
                stopPending = ServiceManager::StopPending, running = ServiceManager::Running,
                continuePending = ServiceManager::ContinuePending, pausePending = ServiceManager::PausePending,
                paused = ServiceManager::Paused;
    // The table's red (255, 0, 0) and yellow (255, 255, 0) are shown in the
    // nearest shades that read on the white group (contrast 4.5:1).
    const QColor red(238, 0, 0), green(0, 128, 0), yellow(122, 122, 0), black(0, 0, 0);

    QTest::newRow("stopped") << true << true << running << stopped << "Vellamor Service is Stopped" << red
                             << "StatusStoped"
                             << "StartService_lbl";
    QTest::newRow("start pending") << true << true << stopped << startPending << "Vellamor Service is Starting"
                                   << yellow << "ServicePaused" << none;
    QTest::newRow("stop pending") << true << true << running << stopPending << "Vellamor Service is Stoping" << kAmber
                                  << "ServicePaused" << none;
    QTest::newRow("running") << true << true << stopped << running << "Vellamor Service is Running" << green
                             << "StatusRunning"
                             << "StopService_lbl,PauseService_lbl";
    QTest::newRow("paused") << true << true << running << paused << "Vellamor Service is Paused" << kAmber
                            << "ServicePaused"
                            << "StopService_lbl,ResumeService_lbl";
    QTest::newRow("pause pending keeps running")
        << true << true << running << pausePending << "Vellamor Service is Running" << green << "StatusRunning"
        << "StopService_lbl,PauseService_lbl";
    QTest::newRow("continue pending keeps paused")
        << true << true << paused << continuePending << "Vellamor Service is Paused" << kAmber << "ServicePaused"
        << "StopService_lbl,ResumeService_lbl";
    QTest::newRow("zero keeps stopped") << true << true << stopped << State(0) << "Vellamor Service is Stopped" << red
                                        << "StatusStoped"
                                        << "StartService_lbl";
    QTest::newRow("unknown value keeps running")
        << true << true << running << State(8) << "Vellamor Service is Running" << green << "StatusRunning"
        << "StopService_lbl,PauseService_lbl";
    QTest::newRow("huge value keeps paused")
        << true << true << paused << State(0xFFFFFFFFu) << "Vellamor Service is Paused" << kAmber << "ServicePaused"
        << "StopService_lbl,ResumeService_lbl";
    QTest::newRow("query fails") << true << true << running << failed << "Failed to get Vellamor service status"
                                 << black << "StatusUnknown" << none;
    QTest::newRow("query recovers") << true << true << failed << running << "Vellamor Service is Running" << green
                                    << "StatusRunning"
                                    << "StopService_lbl,PauseService_lbl";
    QTest::newRow("manager cannot be opened")
        << false << true << running << running << "Failed to get Vellamor service status" << black << "StatusUnknown"
        << none;
    QTest::newRow("service cannot be opened")
        << true << false << running << running << "Failed to get Vellamor service status" << black << "StatusUnknown"
        << none;
}

void TestServicePage::displayTable()
{
    QFETCH(bool, managerOpens);
    QFETCH(bool, serviceOpens);
    QFETCH(State, atActivation);
    QFETCH(State, atTick);
    QFETCH(QString, caption);
    QFETCH(QColor, colour);
    QFETCH(QString, picture);
    QFETCH(QString, enabled);

    Panel panel;
    panel.services->managerOpens = managerOpens;
    panel.services->serviceOpens = serviceOpens;
    panel.services->state = atActivation;
    QVERIFY(panel.activate());

    panel.services->state = atTick;
    QVERIFY(panel.tick());
    QVERIFY(panel.tick());

    QCOMPARE(panel.status()->text(), caption);
    QCOMPARE(panel.captionColour(), colour);
    QCOMPARE(panel.visiblePictures(), picture);
    QCOMPARE(panel.enabledLabels(), enabled);
    QVERIFY(panel.dialogs().boxes.isEmpty());
    QCOMPARE(panel.services->badCalls, 0);
    // What could not be opened at activation is not looked up again.
    QCOMPARE(panel.services->calls.count("openManager"), 1);
    QVERIFY(panel.services->calls.count(QStringLiteral("openService VellamorServer 4")) <= 1);
    if (!managerOpens || !serviceOpens)
        QCOMPARE(panel.services->queries, 0);
}

void TestServicePage::commands_data()
{
    QTest::addColumn<QString>("label");
    QTest::addColumn<State>("pageState");
    QTest::addColumn<QString>("question");
    QTest::addColumn<int>("right");
    QTest::addColumn<QString>("request");
    QTest::addColumn<QString>("failure");
    QTest::addColumn<QString>("scenario");

    struct Command
    {
        const char *label;
        std::uint32_t pageState;
        const char *question;
        std::uint32_t right;
        const char *request;
        const char *failure;
    };
    const std::vector<Command> commands{
        {"StartService_lbl", ServiceManager::Stopped, "Are you sure you want to start Vellamor Service?",
         ServiceManager::Start, "start", "Failed to start service."},
        {"StopService_lbl", ServiceManager::Running, "Are you sure you want to stop Vellamor Service?",
         ServiceManager::Stop, "stop", "Failed to stop service."},
        {"PauseService_lbl", ServiceManager::Running, "Are you sure you want to pause Vellamor Service?",
         ServiceManager::PauseContinue, "pause", "Failed to pause service."},
        {"ResumeService_lbl", ServiceManager::Paused, "Are you sure you want to resume Vellamor Service?",
         ServiceManager::PauseContinue, "resume", "Failed to resume service."},
    };
    for (const Command &c : commands) {
        for (const char *scenario : {"yes", "no", "manager missing", "open fails", "request fails"}) {
            QTest::addRow("%s, %s", c.label, scenario)
                << c.label << State(c.pageState) << c.question << int(c.right) << c.request << c.failure << scenario;
        }
    }
}

void TestServicePage::commands()
{
    QFETCH(QString, label);
    QFETCH(State, pageState);
    QFETCH(QString, question);
    QFETCH(int, right);
    QFETCH(QString, request);
    QFETCH(QString, failure);
    QFETCH(QString, scenario);

    Panel panel;
    FakeServiceManager &services = *panel.services;
    services.state = pageState;
    if (scenario == "manager missing") {
        // A command label is on offer without a manager handle only before the
        // first display (the page then shows every command).
        services.managerOpens = false;
    } else {
        QVERIFY(panel.activate());
    }
    services.commandServiceOpens = scenario != "open fails";
    services.requestsSucceed = scenario != "request fails";

    const QString captionBefore = panel.status()->text();
    const QString enabledBefore = panel.enabledLabels();
    const std::set<ServiceManager::Handle> monitorHandles = services.openHandles;
    const int queriesBefore = services.queries;
    services.calls.clear();

    if (scenario != "no")
        panel.dialogs().answerNext(Answer::Yes);
    panel.click(label);

    QVERIFY(!panel.dialogs().boxes.isEmpty());
    const ShownBox ask = panel.dialogs().boxes.first();
    QCOMPARE(ask.text, question);
    QCOMPARE(ask.caption, "Confirmation");
    QCOMPARE(ask.buttons, Buttons::YesNo);
    QCOMPARE(ask.icon, Icon::Question);
    QVERIFY(!ask.hadOwner);

    QStringList expectedCalls;
    const QString open = QStringLiteral("openService VellamorServer %1").arg(right);
    bool fails = false;
    if (scenario == "yes") {
        expectedCalls = {open, request, "close"};
    } else if (scenario == "manager missing") {
        fails = true;
    } else if (scenario == "open fails") {
        expectedCalls = {open};
        fails = true;
    } else if (scenario == "request fails") {
        expectedCalls = {open, request, "close"};
        fails = true;
    }
    QCOMPARE(services.calls, expectedCalls);

    if (fails) {
        QCOMPARE(panel.dialogs().boxes.size(), 2);
        const ShownBox error = panel.dialogs().boxes.at(1);
        QCOMPARE(error.text, failure);
        QCOMPARE(error.caption, "Error");
        QCOMPARE(error.buttons, Buttons::Ok);
        QCOMPARE(error.icon, Icon::Error);
        QVERIFY(!error.hadOwner);
    } else {
        QCOMPARE(panel.dialogs().boxes.size(), 1);
    }

    // The command's own handle is gone; the monitor's are untouched. The page
    // waits for the next tick whatever the outcome.
    QCOMPARE(services.openHandles, monitorHandles);
    QCOMPARE(services.badCalls, 0);
    QCOMPARE(services.queries, queriesBefore);
    QCOMPARE(panel.status()->text(), captionBefore);
    QCOMPARE(panel.enabledLabels(), enabledBefore);
}

void TestServicePage::successWaitsForTheNextTick()
{
    Panel panel;
    FakeServiceManager &services = *panel.services;
    QVERIFY(panel.activate());
    QCOMPARE(panel.status()->text(), "Vellamor Service is Stopped");

    panel.dialogs().answerNext(Answer::Yes);
    panel.click("StartService_lbl");
    QCOMPARE(panel.dialogs().boxes.size(), 1);
    QCOMPARE(panel.status()->text(), "Vellamor Service is Stopped");

    // Still on offer until the next tick: asking again, and the manager now
    // refuses, as it does for a service that is already starting.
    services.requestsSucceed = false;
    panel.dialogs().answerNext(Answer::Yes);
    panel.click("StartService_lbl");
    QCOMPARE(panel.dialogs().boxes.size(), 3);
    QCOMPARE(panel.dialogs().boxes.at(2).text, "Failed to start service.");

    services.state = ServiceManager::Running;
    QVERIFY(panel.tick());
    QCOMPARE(panel.status()->text(), "Vellamor Service is Running");
    QCOMPARE(services.openHandles.size(), 2u);
    QCOMPARE(services.badCalls, 0);
}

void TestServicePage::uninstallAndReinstallOnlyAsk_data()
{
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("question");
    QTest::addColumn<bool>("yes");
    QTest::newRow("uninstall, yes") << "UninstallService_lbl"
                                    << "Are you sure you want to uninstall Vellamor Service?" << true;
    QTest::newRow("uninstall, no") << "UninstallService_lbl"
                                   << "Are you sure you want to uninstall Vellamor Service?" << false;
    QTest::newRow("reinstall, yes") << "InstallService_lbl"
                                    << "Are you sure you want to install Vellamor Service?" << true;
    QTest::newRow("reinstall, no") << "InstallService_lbl"
                                   << "Are you sure you want to install Vellamor Service?" << false;
}

void TestServicePage::uninstallAndReinstallOnlyAsk()
{
    QFETCH(QString, label);
    QFETCH(QString, question);
    QFETCH(bool, yes);

    // Only before the first display are these two on offer.
    Panel panel;
    QVERIFY(panel.widget(label)->isEnabled());
    panel.dialogs().answerNext(yes ? Answer::Yes : Answer::No);
    panel.click(label);

    QCOMPARE(panel.dialogs().boxes.size(), 1);
    const ShownBox ask = panel.dialogs().boxes.first();
    QCOMPARE(ask.text, question);
    QCOMPARE(ask.caption, "Confirmation");
    QCOMPARE(ask.buttons, Buttons::YesNo);
    QCOMPARE(ask.icon, Icon::Question);
    QVERIFY(!ask.hadOwner);
    QCOMPARE(panel.services->calls, QStringList());
}

void TestServicePage::closingTheWindowClosesTheMonitor()
{
    Panel panel;
    panel.services->state = ServiceManager::Running;
    QVERIFY(panel.activate());
    QCOMPARE(panel.services->openHandles.size(), 2u);

    panel.window->close();
    QVERIFY(panel.services->openHandles.empty());
    QVERIFY(!control<QTimer>(*panel.window, "Timer2")->isActive());
    panel.window.reset();
    QCOMPARE(panel.services->badCalls, 0);
}

QTEST_MAIN(TestServicePage)
#include "tst_servicepage.moc"
