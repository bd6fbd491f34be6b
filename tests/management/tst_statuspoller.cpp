// The users-status poller through the real main window, against real servers
// on loopback: what the Service page shows, cycle after cycle.

#include "Controls.h"
#include "ManagementServer.h"
#include "Panel.h"

#include <QSignalSpy>

using namespace std::chrono_literals;
using vellamor::test::control;
using vellamor::test::Panel;
using vellamor::tools::ManagementServer;
using Behaviour = ManagementServer::Behaviour;

namespace {

const QString kUnknown = QStringLiteral("? users are connected");

QString users(const char *count)
{
    return QLatin1StringView(count) + QLatin1StringView(" users are connected");
}

} // namespace

class TestStatusPoller : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".+"))); }

    void captionOfTheStatusLine_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("caption");

        QTest::newRow("USERS 12") << QByteArray("OK\r\nUSERS 12\r\n") << users("12");
        QTest::newRow("no space") << QByteArray("OK\r\n12\r\n") << users("12");
        QTest::newRow("more spaces") << QByteArray("OK\r\nA B C\r\n") << users("B C");
        QTest::newRow("two spaces") << QByteArray("OK\r\nUSERS  7\r\n") << users(" 7");
        QTest::newRow("empty line") << QByteArray("OK\r\n\r\n") << users("");
        QTest::newRow("USERS and a space") << QByteArray("OK\r\nUSERS \r\n") << users("");
        QTest::newRow("LF alone") << QByteArray("OK\nUSERS 12\n") << users("12");
        QTest::newRow("NUL cuts the line") << QByteArray("OK\r\nUSERS 3\0 4\r\n", 17) << users("3");
        QTest::newRow("NUL before the space") << QByteArray("OK\r\nUSERS\0 4\r\n", 15) << users("USERS");
        QTest::newRow("not a number") << QByteArray("OK\r\nUSERS many\r\n") << users("many");
        QTest::newRow("markup stays text")
            << QByteArray("OK\r\nUSERS <b>5</b> <img src=x>\r\n") << users("<b>5</b> <img src=x>");
        QTest::newRow("bytes outside ASCII") << QByteArray("OK\r\nUSERS 1\xe9\r\n") << users("1?");
        QTest::newRow("first line never shown") << QByteArray("USERS 99\r\nUSERS 5\r\n") << users("5");
        QTest::newRow("first line with markup") << QByteArray("<b>hi</b>\r\nUSERS 5\r\n") << users("5");
    }
    void captionOfTheStatusLine()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QString, caption);

        ManagementServer server;
        QVERIFY(server.listen());
        server.setStatusReply(reply);
        Panel panel;
        panel.target(QStringLiteral("127.0.0.1"), server.port(), QStringLiteral("pw"));
        QCOMPARE(panel.caption(), kUnknown);

        QSignalSpy shown(panel.form.get(), &TForm3::usersStatusShown);
        QVERIFY(panel.activate(10ms));
        QTRY_VERIFY(!shown.isEmpty());
        QCOMPARE(shown.first().first().toString(), caption);
        QCOMPARE(panel.caption(), shown.last().first().toString());
        QCOMPARE(control<QLabel>(*panel.form, "TotalPorts_lbl")->textFormat(), Qt::PlainText);
    }

    void requestLine_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QByteArray>("request");

        QTest::newRow("password") << QStringLiteral("71!*9203&6##") << QByteArray("USERSSTATUS 71!*9203&6##\r\n");
        QTest::newRow("empty password") << QString() << QByteArray("USERSSTATUS \r\n");
        QTest::newRow("spaces kept") << QStringLiteral(" a b ") << QByteArray("USERSSTATUS  a b \r\n");
        QTest::newRow("outside ASCII") << QStringLiteral("p\u00e4ss\u20ac") << QByteArray("USERSSTATUS p?ss?\r\n");
        QTest::newRow("surrogate pair") << QStringLiteral("a\U0001F600b") << QByteArray("USERSSTATUS a?b\r\n");
    }
    void requestLine()
    {
        QFETCH(QString, password);
        QFETCH(QByteArray, request);

        ManagementServer server;
        QVERIFY(server.listen());
        QSignalSpy received(&server, &ManagementServer::requestReceived);
        Panel panel;
        panel.target(QStringLiteral("127.0.0.1"), server.port(), password);
        QVERIFY(panel.activate(10ms));
        QTRY_VERIFY(!received.isEmpty());
        QCOMPARE(received.first().first().toByteArray(), request);
    }

    // Each misbehaviour costs the cycle it happens in, and the page does not
    // go on showing the count of the cycle before.
    void eachMisbehaviourCostsOneCycle_data()
    {
        QTest::addColumn<Behaviour>("behaviour");
        QTest::addColumn<int>("dripMs");
        QTest::addColumn<QString>("secondCaption");

        QTest::newRow("closes after the first line") << Behaviour::CloseEarly << 0 << kUnknown;
        QTest::newRow("never answers") << Behaviour::Silent << 0 << kUnknown;
        QTest::newRow("drips past the step limit") << Behaviour::Drip << 100 << kUnknown;
        QTest::newRow("over-long status line") << Behaviour::OverlongLine << 0 << kUnknown;
        QTest::newRow("drips within the step limit") << Behaviour::Drip << 1 << users("2");
        QTest::newRow("NUL in the status line") << Behaviour::Nul << 0 << users("2");
    }
    void eachMisbehaviourCostsOneCycle()
    {
        QFETCH(Behaviour, behaviour);
        QFETCH(int, dripMs);
        QFETCH(QString, secondCaption);

        ManagementServer server;
        QVERIFY(server.listen());
        server.setUsers([](int request) { return request; });
        server.setDripInterval(std::chrono::milliseconds(dripMs));
        server.scriptBehaviours({Behaviour::Answer, behaviour, Behaviour::Answer});

        Panel panel(300ms);
        panel.target(QStringLiteral("127.0.0.1"), server.port(), QStringLiteral("pw"));
        QSignalSpy shown(panel.form.get(), &TForm3::usersStatusShown);
        QVERIFY(panel.activate(10ms));
        QTRY_VERIFY(shown.size() >= 3);
        QCOMPARE(shown.at(0).first().toString(), users("1"));
        QCOMPARE(shown.at(1).first().toString(), secondCaption);
        QCOMPARE(shown.at(2).first().toString(), users("3"));
    }

    void serverGoneAfterAnAnswer()
    {
        auto server = std::make_unique<ManagementServer>();
        QVERIFY(server->listen());
        server->setUsers(8);
        Panel panel;
        panel.target(QStringLiteral("127.0.0.1"), server->port(), QStringLiteral("pw"));
        QVERIFY(panel.activate(10ms));
        QTRY_COMPARE(panel.caption(), users("8"));
        server.reset();
        QTRY_COMPARE(panel.caption(), kUnknown);
    }

    void nothingAskedWithoutTarget_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<bool>("portZero");
        QTest::addColumn<QString>("password");
        const QString local = QStringLiteral("127.0.0.1");
        QTest::newRow("empty host") << QString() << false << QStringLiteral("pw");
        QTest::newRow("port 0") << local << true << QStringLiteral("pw");
        // A second command hidden in the password never reaches the server.
        QTest::newRow("line feed in the password") << local << false << QStringLiteral("pw\nUSERSRELOAD pw");
        QTest::newRow("NUL in the password") << local << false << QString::fromUtf16(u"pw\0x", 4);
    }
    void nothingAskedWithoutTarget()
    {
        QFETCH(QString, host);
        QFETCH(bool, portZero);
        QFETCH(QString, password);

        ManagementServer server;
        QVERIFY(server.listen());
        Panel panel;
        panel.target(host, portZero ? 0 : server.port(), password);
        QSignalSpy shown(panel.form.get(), &TForm3::usersStatusShown);
        QVERIFY(panel.activate(10ms));
        QTRY_VERIFY(shown.size() >= 3);
        QCOMPARE(server.connectionCount(), 0);
        QCOMPARE(panel.caption(), kUnknown);
    }

    void portZeroFromTheStoredPortFailsAtOnce()
    {
        // 65536 is not 0, so the poller tries, and port 0 fails without a wait:
        // with an hour's step limit, only a failure at once ends the cycle.
        Panel panel(1h);
        panel.target(QStringLiteral("127.0.0.1"), 65536, QStringLiteral("pw"));
        QSignalSpy shown(panel.form.get(), &TForm3::usersStatusShown);
        QVERIFY(panel.activate(10ms));
        QTRY_VERIFY(shown.size() >= 2);
        QCOMPARE(panel.caption(), kUnknown);
    }

    void keepsItsTargetUntilRetargeted()
    {
        ManagementServer first;
        ManagementServer second;
        QVERIFY(first.listen());
        QVERIFY(second.listen());
        first.setUsers(1);
        second.setUsers(2);
        QSignalSpy askedSecond(&second, &ManagementServer::requestReceived);

        Panel panel;
        panel.target(QStringLiteral("127.0.0.1"), first.port(), QStringLiteral("pw"));
        QVERIFY(panel.activate(10ms));
        QTRY_COMPARE(panel.caption(), users("1"));

        // The window's record alone does not move the poller...
        panel.target(QStringLiteral("127.0.0.1"), second.port(), QStringLiteral("new"));
        const int before = first.connectionCount();
        QTRY_VERIFY(first.connectionCount() >= before + 3);
        QCOMPARE(second.connectionCount(), 0);

        // ...what Save does after writing gc.xml does.
        panel.form->retargetStatusPoller();
        QTRY_COMPARE(panel.caption(), users("2"));
        QTRY_VERIFY(askedSecond.size() >= 3);
        const int firstTotal = first.connectionCount();
        QTRY_VERIFY(askedSecond.size() >= 6);
        QCOMPARE(first.connectionCount(), firstTotal);
        QCOMPARE(askedSecond.first().first().toByteArray(), QByteArray("USERSSTATUS new\r\n"));
    }

    // Closing stops the poller in order: the thread is gone when close()
    // returns, whatever it was doing, and its connection is closed. Every
    // exchange here would otherwise take an hour.
    void closeStopsThePoller_data()
    {
        QTest::addColumn<bool>("inExchange");
        QTest::addColumn<bool>("byDestructor");
        QTest::newRow("close during the sleep") << false << false;
        QTest::newRow("close during an exchange") << true << false;
        QTest::newRow("destroyed during the sleep") << false << true;
        QTest::newRow("destroyed during an exchange") << true << true;
    }
    void closeStopsThePoller()
    {
        QFETCH(bool, inExchange);
        QFETCH(bool, byDestructor);

        ManagementServer server;
        QVERIFY(server.listen());
        server.setBehaviour(Behaviour::Silent);
        QSignalSpy received(&server, &ManagementServer::requestReceived);

        Panel panel(1h);
        panel.target(QStringLiteral("127.0.0.1"), server.port(), QStringLiteral("pw"));
        QVERIFY(panel.activate(inExchange ? 10ms : 1h));
        if (inExchange)
            QTRY_COMPARE(received.size(), 1);

        QPointer<vellamor::StatusThread> poller = panel.form->StatusPoller;
        if (byDestructor) {
            panel.form.reset();
        } else {
            QVERIFY(panel.form->close());
            QCOMPARE(panel.form->StatusPoller, nullptr);
        }
        QVERIFY(poller.isNull());
        QTRY_COMPARE(server.openConnections(), 0);
        QCOMPARE(received.size(), inExchange ? 1 : 0);
    }
};

QTEST_MAIN(TestStatusPoller)
#include "tst_statuspoller.moc"
