// The program's start-up sequence as the administrator sees it: the splash,
// then the main window on its Service page, and exit code 0 at the end.

#include "Controls.h"
#include "FakePlatform.h"
#include "Startup.h"
#include "dialogs/about.h"
#include "window/VellamorDesktopMain.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

using namespace vellamor;
using namespace vellamor::test;

class TestStartup : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void splashClosesItselfThenTheWindowShows();
    void closingTheSplashEarlyShowsTheWindowAtOnce();
    void exitEndsTheProgramWithCodeZero();
    void errorBeforeTheMessageLoopIsShownAndExitsWithZero();
};

void TestStartup::splashClosesItselfThenTheWindowShows()
{
    FakePlatform fake;
    bool splashSeen = false;
    bool windowHiddenDuringSplash = false;
    QTimer probe;
    probe.setInterval(5);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        if (auto *splash = qobject_cast<TAboutBox *>(QApplication::activeModalWidget())) {
            splashSeen = true;
            QVERIFY(control<QTimer>(*splash, "Timer1")->isActive());
            windowHiddenDuringSplash = true;
            for (QWidget *w : QApplication::topLevelWidgets()) {
                if (qobject_cast<TForm3 *>(w) && w->isVisible())
                    windowHiddenDuringSplash = false;
            }
        }
    });
    probe.start();

    StartupOptions options;
    options.splashMilliseconds = 100;
    int page = -1;
    bool visible = false;
    options.whenShown = [&](TForm3 &form) {
        page = control<QTabWidget>(form, "PageControl1")->currentIndex();
        visible = form.isVisible();
        control<QAction>(form, "Exit1")->trigger();
    };
    QCOMPARE(runPanel(*qApp, fake.platform(), options), 0);
    QVERIFY(splashSeen);
    QVERIFY(windowHiddenDuringSplash);
    QVERIFY(visible);
    QCOMPARE(page, 0);
}

void TestStartup::closingTheSplashEarlyShowsTheWindowAtOnce()
{
    FakePlatform fake;
    StartupOptions options;
    options.splashMilliseconds = 10 * 60 * 1000; // would outlast the test's own time limit
    QTimer closer;
    closer.setInterval(5);
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (auto *splash = qobject_cast<TAboutBox *>(QApplication::activeModalWidget()))
            splash->close(); // the close box
    });
    closer.start();
    bool shown = false;
    options.whenShown = [&](TForm3 &form) {
        shown = form.isVisible();
        form.close();
    };
    QCOMPARE(runPanel(*qApp, fake.platform(), options), 0);
    QVERIFY(shown);
}

void TestStartup::exitEndsTheProgramWithCodeZero()
{
    FakePlatform fake;
    StartupOptions options;
    options.splashMilliseconds = 1;
    options.whenShown = [](TForm3 &form) {
        QTimer::singleShot(20, &form, [&form] { control<QAction>(form, "Exit1")->trigger(); });
    };
    QCOMPARE(runPanel(*qApp, fake.platform(), options), 0);
    // The logs directory was made during start-up.
    QVERIFY(QFileInfo(fake.path(QStringLiteral("logs"))).isDir());
}

void TestStartup::errorBeforeTheMessageLoopIsShownAndExitsWithZero()
{
    FakePlatform fake;
    platform::Platform broken = fake.platform();
    broken.addressTable.reset();
    bool shown = false;
    StartupOptions options;
    options.whenShown = [&shown](TForm3 &) { shown = true; };
    QCOMPARE(runPanel(*qApp, broken, options), 0);
    QVERIFY(!shown);
    QCOMPARE(fake.dialogs->boxes.size(), 1);
    const ShownBox &box = fake.dialogs->boxes.first();
    QCOMPARE(box.caption, QStringLiteral("Vellamor Application Server Desktop"));
    QCOMPARE(box.icon, platform::Icon::Error);
    QCOMPARE(box.text, QStringLiteral("The panel is missing one of its system services and cannot start."));
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
