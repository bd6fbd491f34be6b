// The reload commands through the real main window, against real servers on
// loopback: what is sent, when, and that the window never waits for it.

#include "Controls.h"
#include "ManagementServer.h"
#include "Panel.h"
#include "management/ManagementExchange.h"

#include <QAction>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QSignalSpy>
#include <QTimer>

using namespace std::chrono_literals;
using vellamor::ManagementExchange;
using vellamor::platform::Buttons;
using vellamor::platform::Icon;
using vellamor::test::control;
using vellamor::test::Panel;
using vellamor::tools::ManagementServer;

namespace {

qsizetype commandsUnderWay(const TForm3 &form)
{
    return form.findChildren<ManagementExchange *>().size();
}

} // namespace

class TestManagementCommands : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".+"))); }

    void requestLine_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QByteArray>("rules");
        QTest::addColumn<QByteArray>("users");

        QTest::newRow("password") << QStringLiteral("71!*9203&6##") << QByteArray("RULESRELOAD 71!*9203&6##\r\n")
                                  << QByteArray("USERSRELOAD 71!*9203&6##\r\n");
        QTest::newRow("empty password") << QString() << QByteArray("RULESRELOAD \r\n")
                                        << QByteArray("USERSRELOAD \r\n");
        QTest::newRow("outside ASCII") << QStringLiteral("\u00fcber") << QByteArray("RULESRELOAD ?ber\r\n")
                                       << QByteArray("USERSRELOAD ?ber\r\n");
    }
    void requestLine()
    {
        QFETCH(QString, password);
        QFETCH(QByteArray, rules);
        QFETCH(QByteArray, users);

        ManagementServer server;
        QVERIFY(server.listen());
        QSignalSpy closed(&server, &ManagementServer::connectionClosed);
        Panel panel;
        panel.target(QStringLiteral("127.0.0.1"), server.port(), password);

        control<QTimer>(*panel.form, "Timer3")->start();
        QTRY_COMPARE(closed.size(), 1);
        control<QTimer>(*panel.form, "Timer1")->start();
        QTRY_COMPARE(closed.size(), 2);
        QCOMPARE(server.requests(), (QList<QByteArray>{rules, users}));
    }

    // Each tick sends one reload, to the target the window holds at that moment.
    void rulesReloadOncePerTick()
    {
        ManagementServer first;
        ManagementServer second;
        QVERIFY(first.listen());
        QVERIFY(second.listen());
        QSignalSpy firstLog(&first, &ManagementServer::logged);
        QSignalSpy secondLog(&second, &ManagementServer::logged);
        Panel panel;

        panel.target(QStringLiteral("127.0.0.1"), first.port(), QStringLiteral("one"));
        control<QTimer>(*panel.form, "Timer3")->start();
        QTRY_COMPARE(firstLog.size(), 1);
        QVERIFY(!control<QTimer>(*panel.form, "Timer3")->isActive());

        panel.target(QStringLiteral("127.0.0.1"), second.port(), QStringLiteral("two"));
        control<QTimer>(*panel.form, "Timer3")->start();
        QTRY_COMPARE(secondLog.size(), 1);
        QTRY_COMPARE(commandsUnderWay(*panel.form), 0);

        QCOMPARE(first.requests(), QList<QByteArray>{"RULESRELOAD one\r\n"});
        QCOMPARE(second.requests(), QList<QByteArray>{"RULESRELOAD two\r\n"});
        QVERIFY(firstLog.first().first().toString().contains(QLatin1StringView("RULESRELOAD")));
        QVERIFY(panel.fake.dialogs->boxes.isEmpty());
    }

    // A server whose accept queue is full: the connect neither succeeds nor
    // fails. The window's own timer goes on ticking all the while.
    void rulesReloadNeverBlocksTheWindow()
    {
        ManagementServer server;
        QVERIFY(server.listenWithFullAcceptQueue());
        Panel panel(1h);
        panel.target(QStringLiteral("127.0.0.1"), server.port(), QStringLiteral("pw"));

        int ticks = 0;
        qint64 longestGap = 0;
        QElapsedTimer sinceLastTick;
        QTimer heartbeat(panel.form.get());
        heartbeat.setInterval(10);
        connect(&heartbeat, &QTimer::timeout, &heartbeat, [&] {
            if (sinceLastTick.isValid())
                longestGap = qMax(longestGap, sinceLastTick.elapsed());
            sinceLastTick.start();
            ++ticks;
        });

        control<QTimer>(*panel.form, "Timer3")->start();
        heartbeat.start();
        QTRY_VERIFY(commandsUnderWay(*panel.form) == 1 && ticks >= 50);
        QCOMPARE(commandsUnderWay(*panel.form), 1); // still connecting
        qInfo("longest gap between window timer ticks while the reload connects: %lld ms", longestGap);
    }

    void rulesReloadGivesUp()
    {
        ManagementServer server;
        QVERIFY(server.listenWithFullAcceptQueue());
        Panel panel(200ms);
        panel.target(QStringLiteral("127.0.0.1"), server.port(), QStringLiteral("pw"));
        control<QTimer>(*panel.form, "Timer3")->start();
        QTRY_COMPARE(commandsUnderWay(*panel.form), 1);
        QTRY_COMPARE(commandsUnderWay(*panel.form), 0);
        QVERIFY(panel.fake.dialogs->boxes.isEmpty());
    }

    void rulesReloadFailsSilently_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port");
        QTest::newRow("empty host") << QString() << int(ManagementServer::closedPort());
        QTest::newRow("port 0") << QStringLiteral("127.0.0.1") << 0;
        QTest::newRow("nothing listening") << QStringLiteral("127.0.0.1") << int(ManagementServer::closedPort());
    }
    void rulesReloadFailsSilently()
    {
        QFETCH(QString, host);
        QFETCH(int, port);

        Panel panel(1h);
        panel.target(host, port, QStringLiteral("pw"));
        control<QTimer>(*panel.form, "Timer3")->start();
        // An hour's step limit: the command is over at once or never.
        QTRY_VERIFY(!control<QTimer>(*panel.form, "Timer3")->isActive());
        QTRY_COMPARE(commandsUnderWay(*panel.form), 0);
        QVERIFY(panel.fake.dialogs->boxes.isEmpty());
    }

    // The users reload shows its notice whether the signal went out or not.
    void usersReloadShowsItsNotice_data()
    {
        QTest::addColumn<bool>("serverUp");
        QTest::newRow("sent") << true;
        QTest::newRow("not sent") << false;
    }
    void usersReloadShowsItsNotice()
    {
        QFETCH(bool, serverUp);

        ManagementServer server;
        const quint16 port = serverUp ? (server.listen(), server.port()) : ManagementServer::closedPort();
        Panel panel;
        panel.target(QStringLiteral("127.0.0.1"), port, QStringLiteral("pw"));
        control<QTimer>(*panel.form, "Timer1")->start();
        QTRY_COMPARE(panel.fake.dialogs->boxes.size(), 1);
        QVERIFY(!control<QTimer>(*panel.form, "Timer1")->isActive());

        const auto &box = panel.fake.dialogs->boxes.first();
        QCOMPARE(box.text, QStringLiteral("Signal sent to server for reloading users"));
        QCOMPARE(box.caption, QStringLiteral("Information"));
        QCOMPARE(box.buttons, Buttons::Ok);
        QCOMPARE(box.icon, Icon::None);
        QCOMPARE(box.owner.data(), panel.form.get());
        QTRY_COMPARE(server.requests(), serverUp ? QList<QByteArray>{"USERSRELOAD pw\r\n"} : QList<QByteArray>{});
    }

    // System > "Reload Users on Server" is there while the window knows a
    // management target, and goes through Timer1 with its notice.
    void usersReloadFromTheMenu_data()
    {
        QTest::addColumn<bool>("portKnown");
        QTest::newRow("port known") << true;
        QTest::newRow("no port") << false;
    }
    void usersReloadFromTheMenu()
    {
        QFETCH(bool, portKnown);
        ManagementServer server;
        QVERIFY(server.listen());
        QSignalSpy closed(&server, &ManagementServer::connectionClosed);
        Panel panel;
        panel.target(QStringLiteral("127.0.0.1"), portKnown ? server.port() : 0, QStringLiteral("pw"));
        Q_EMIT control<QMenu>(*panel.form, "Intelligent1")->aboutToShow();
        QCOMPARE(control<QAction>(*panel.form, "ReloadUsers1")->isEnabled(), portKnown);

        control<QAction>(*panel.form, "ReloadUsers1")->trigger();
        if (!portKnown) {
            QVERIFY(!control<QTimer>(*panel.form, "Timer1")->isActive());
            return;
        }
        QTRY_COMPARE(panel.fake.dialogs->boxes.size(), 1);
        QCOMPARE(panel.fake.dialogs->boxes.first().text, QStringLiteral("Signal sent to server for reloading users"));
        QTRY_COMPARE(closed.size(), 1);
        QCOMPARE(server.requests(), QList<QByteArray>{"USERSRELOAD pw\r\n"});
    }

    // "Save" in the question before closing runs the ordinary Save, whose
    // rules reload still reaches the server: the window closes after it.
    void saveOnCloseSendsTheRulesReloadFirst()
    {
        ManagementServer server;
        QVERIFY(server.listen());
        Panel panel;
        for (const char *name : {"default.key", "default.cer"}) {
            QFile file(panel.fake.path(QLatin1StringView(name)));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        panel.form->FormCreate();
        control<QLineEdit>(*panel.form, "mport")->setText(QString::number(server.port()));
        panel.fake.dialogs->answerNext(vellamor::platform::Answer::Save);
        QVERIFY(!panel.form->close());
        QVERIFY(control<QTimer>(*panel.form, "Timer2")->isActive());
        QTRY_VERIFY(!control<QTimer>(*panel.form, "Timer2")->isActive()); // closed, and shut down
        QCOMPARE(server.requests(), QList<QByteArray>{"RULESRELOAD 71!*9203&6##\r\n"});
    }

    // Closing the window abandons a command under way, and a users reload
    // abandoned this way shows no notice afterwards.
    void closeAbandonsCommandsUnderWay()
    {
        ManagementServer server;
        QVERIFY(server.listenWithFullAcceptQueue());
        Panel panel(1h);
        panel.target(QStringLiteral("127.0.0.1"), server.port(), QStringLiteral("pw"));
        control<QTimer>(*panel.form, "Timer3")->start();
        control<QTimer>(*panel.form, "Timer1")->start();
        QTRY_COMPARE(commandsUnderWay(*panel.form), 2);

        QVERIFY(panel.form->close());
        QCOMPARE(commandsUnderWay(*panel.form), 0);
        panel.form.reset();
        QCoreApplication::processEvents();
        QVERIFY(panel.fake.dialogs->boxes.isEmpty());
    }
};

QTEST_MAIN(TestManagementCommands)
#include "tst_managementcommands.moc"
