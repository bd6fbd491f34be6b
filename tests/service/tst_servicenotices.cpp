#include "FakeServiceManager.h"
#include "ServicePanel.h"
#include "Startup.h"

#include <QApplication>
#include <QMenu>

using namespace vellamor;
using namespace vellamor::test;
using platform::ServiceManager;

// The window's notices and its life in the notification area, through the
// Service page, the tray's menu, the System menu and the close box.
class TestServiceNotices : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        // The panel's QSettings file lands here, not in the user's own folder.
        qputenv("XDG_CONFIG_HOME", m_config.path().toLocal8Bit());
    }
    void notices_data();
    void notices();
    void startAtLogin_data();
    void startAtLogin();
    void keepRunningWithoutTrayStillCloses();
    void trayStartsHidden();

private:
    QTemporaryDir m_config;
};

void TestServiceNotices::notices_data()
{
    QTest::addColumn<QString>("stoppedBy");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("a stop from outside") << "outside" << QStringList{"Vellamor Service stopped"};
    QTest::newRow("our own Stop") << "page" << QStringList{};
    QTest::newRow("our own Stop from the tray") << "tray" << QStringList{};
}

void TestServiceNotices::notices()
{
    QFETCH(QString, stoppedBy);
    QFETCH(QStringList, expected);
    auto services = std::make_shared<FakeServiceManager>();
    services->state = ServiceManager::Running;
    ServicePanel panel(services);
    QVERIFY(panel.activate());
    QVERIFY(panel.tick());
    if (stoppedBy != QLatin1StringView("outside")) {
        panel.dialogs().answerNext(platform::Answer::Yes);
        if (stoppedBy == QLatin1StringView("page"))
            panel.click("StopService_lbl");
        else
            panel.window->tray().menu()->findChild<QAction *>("TrayStop")->trigger();
        QTRY_VERIFY(services->calls.contains("stop"));
    }
    services->state = ServiceManager::Stopped;
    QVERIFY(panel.tick());
    QTRY_COMPARE(panel.caption(), "Vellamor Service is Stopped");
    QCOMPARE(panel.platform.notifications->summaries, expected);
}

void TestServiceNotices::startAtLogin_data()
{
    QTest::addColumn<QString>("failure");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<QString>("box");
    QTest::newRow("written") << QString() << true << QString();
    QTest::newRow("refused") << "The folder is read-only" << false << "The folder is read-only.";
}

void TestServiceNotices::startAtLogin()
{
    QFETCH(QString, failure);
    QFETCH(bool, enabled);
    QFETCH(QString, box);
    ServicePanel panel(std::make_shared<FakeServiceManager>());
    if (!failure.isEmpty())
        panel.platform.autostart->failure = failure;
    auto *item = panel.window->findChild<QAction *>("StartAtLogin1");
    item->trigger();
    QCOMPARE(panel.platform.autostart->enabled, enabled);
    QCOMPARE(item->isChecked(), panel.platform.autostart->enabled);
    // The reason in the error box, or no box at all.
    QCOMPARE(panel.dialogs().boxes.isEmpty() ? QString() : panel.dialogs().boxes.last().text, box);
}

void TestServiceNotices::keepRunningWithoutTrayStillCloses()
{
    // The offscreen desktop has no notification area: a hidden window could
    // never come back, so the close box closes.
    ServicePanel panel(std::make_shared<FakeServiceManager>());
    auto *keep = panel.window->findChild<QAction *>("KeepRunning1");
    QVERIFY(!keep->isChecked());
    keep->trigger();
    QVERIFY(keep->isChecked());
    panel.window->show();
    QVERIFY(panel.window->close());
    QVERIFY(
        ServicePanel(std::make_shared<FakeServiceManager>()).window->findChild<QAction *>("KeepRunning1")->isChecked());
    keep->trigger();
}

void TestServiceNotices::trayStartsHidden()
{
    FakePlatform fake;
    StartupOptions options = startupOptionsFrom({"vellamor-desktop", "--tray"});
    bool hidden = false;
    options.whenShown = [&](TForm3 &form) {
        QTRY_VERIFY(form.Activated);
        hidden = !form.isVisible();
        form.Exit1->trigger();
    };
    runPanel(*qApp, fake.platform(), options);
    QVERIFY(hidden);
}

QTEST_MAIN(TestServiceNotices)
#include "tst_servicenotices.moc"
