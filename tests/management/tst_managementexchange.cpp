// One management exchange over the real line client against a real server on
// loopback: how reply lines are cut, when an exchange fails, which port it
// reaches and what it sends.

#include "ManagementServer.h"
#include "management/ManagementExchange.h"
#include "management/ManagementProtocol.h"

#include <QSignalSpy>
#include <QTest>

using namespace std::chrono_literals;
using vellamor::ManagementExchange;
using vellamor::managementRequest;
using vellamor::platform::makeQtLineClientFactory;
using vellamor::tools::ManagementServer;
using Behaviour = ManagementServer::Behaviour;

namespace {

struct Outcome
{
    bool ok = false;
    QByteArray line;
};

// Runs one exchange and waits for its end, which a bounded step always brings.
Outcome run(const QString &host, qint32 port, const QByteArray &request, int replyLines,
            std::chrono::milliseconds stepLimit = 5s)
{
    ManagementExchange exchange(makeQtLineClientFactory(stepLimit)->create());
    QSignalSpy finished(&exchange, &ManagementExchange::finished);
    exchange.start(host, port, request, replyLines);
    if (!finished.wait(30000) && finished.isEmpty())
        return {};
    if (finished.size() != 1)
        qFatal("an exchange ended %d times", int(finished.size()));
    return {finished.first().at(0).toBool(), finished.first().at(1).toByteArray()};
}

Outcome askStatus(const ManagementServer &server, std::chrono::milliseconds stepLimit = 5s)
{
    return run(QStringLiteral("127.0.0.1"), server.port(), *managementRequest("USERSSTATUS", QStringLiteral("pw")), 2,
               stepLimit);
}

} // namespace

class TestManagementExchange : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".+"))); }

    void replyLines_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QByteArray>("statusLine");

        const QByteArray longest(16384, 'a');
        QTest::newRow("CR LF") << QByteArray("OK\r\nUSERS 12\r\n") << true << QByteArray("USERS 12");
        QTest::newRow("LF alone") << QByteArray("OK\nUSERS 12\n") << true << QByteArray("USERS 12");
        QTest::newRow("lines after the status line are not read")
            << QByteArray("OK\r\nUSERS 12\r\nUSERS 13\r\n") << true << QByteArray("USERS 12");
        QTest::newRow("empty status line") << QByteArray("OK\r\n\r\n") << true << QByteArray();
        QTest::newRow("empty first line") << QByteArray("\nUSERS 1\n") << true << QByteArray("USERS 1");
        QTest::newRow("only the CR before the LF goes")
            << QByteArray("OK\r\nUSERS\r1\r\r\n") << true << QByteArray("USERS\r1\r");
        QTest::newRow("NUL passes through")
            << QByteArray("OK\r\nUSERS 1\0 2\r\n", 17) << true << QByteArray("USERS 1\0 2", 10);
        QTest::newRow("status line of 16384 bytes") << QByteArray("OK\n" + longest + "\n") << true << longest;
        QTest::newRow("16383 bytes and CR")
            << QByteArray("OK\n" + longest.chopped(1) + "\r\n") << true << longest.chopped(1);
        QTest::newRow("status line of 16385 bytes") << QByteArray("OK\n" + longest + "b\n") << false << QByteArray();
        QTest::newRow("16384 bytes and CR") << QByteArray("OK\n" + longest + "\r\n") << false << QByteArray();
        QTest::newRow("first line of 16384 bytes")
            << QByteArray(longest + "\nUSERS 3\n") << true << QByteArray("USERS 3");
        QTest::newRow("first line of 16385 bytes") << QByteArray(longest + "b\nUSERS 3\n") << false << QByteArray();
        QTest::newRow("over-long line without LF") << QByteArray("OK\n" + longest + longest) << false << QByteArray();
        QTest::newRow("closed before any line") << QByteArray() << false << QByteArray();
        QTest::newRow("closed after the first line") << QByteArray("OK\r\n") << false << QByteArray();
        QTest::newRow("closed inside the status line") << QByteArray("OK\r\nUSERS 12") << false << QByteArray();
    }
    void replyLines()
    {
        QFETCH(QByteArray, reply);
        QFETCH(bool, ok);
        QFETCH(QByteArray, statusLine);

        ManagementServer server;
        QVERIFY(server.listen());
        server.setStatusReply(reply);
        const Outcome outcome = askStatus(server);
        QCOMPARE(outcome.ok, ok);
        QCOMPARE(outcome.line, statusLine);
    }

    void slowServers_data()
    {
        QTest::addColumn<Behaviour>("behaviour");
        QTest::addColumn<int>("dripMs");
        QTest::addColumn<bool>("ok");

        QTest::newRow("silent") << Behaviour::Silent << 0 << false;
        QTest::newRow("drip slower than the step limit") << Behaviour::Drip << 100 << false;
        QTest::newRow("drip within the step limit") << Behaviour::Drip << 0 << true;
    }
    void slowServers()
    {
        QFETCH(Behaviour, behaviour);
        QFETCH(int, dripMs);
        QFETCH(bool, ok);

        ManagementServer server;
        QVERIFY(server.listen());
        server.setUsers(7);
        server.setBehaviour(behaviour);
        server.setDripInterval(std::chrono::milliseconds(dripMs));
        const Outcome outcome = askStatus(server, 300ms);
        QCOMPARE(outcome.ok, ok);
        QCOMPARE(outcome.line, ok ? QByteArray("USERS 7") : QByteArray());
        // A failed exchange leaves no connection behind.
        QTRY_COMPARE(server.openConnections(), 0);
    }

    void connectHangsUntilTheStepLimit()
    {
        ManagementServer server;
        QVERIFY(server.listenWithFullAcceptQueue());
        QVERIFY(!askStatus(server, 200ms).ok);
    }

    void failsAtOnceWithoutTarget_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port");

        QTest::newRow("empty host") << QString() << int(ManagementServer::closedPort());
        QTest::newRow("port 0") << QStringLiteral("127.0.0.1") << 0;
        QTest::newRow("port 65536 is port 0") << QStringLiteral("127.0.0.1") << 65536;
        QTest::newRow("nothing listening") << QStringLiteral("127.0.0.1") << int(ManagementServer::closedPort());
    }
    void failsAtOnceWithoutTarget()
    {
        QFETCH(QString, host);
        QFETCH(int, port);

        // A step limit of an hour: an ending within the wait means it failed at once.
        const Outcome outcome = run(host, port, *managementRequest("USERSSTATUS", QString()), 2, 1h);
        QVERIFY(!outcome.ok);
    }

    void lowSixteenBitsOfThePort_data()
    {
        QTest::addColumn<qint64>("offset");
        QTest::newRow("+65536") << qint64(65536);
        QTest::newRow("+131072") << qint64(131072);
        QTest::newRow("-65536") << qint64(-65536);
        QTest::newRow("-2147483648") << qint64(-2147483648LL);
    }
    void lowSixteenBitsOfThePort()
    {
        QFETCH(qint64, offset);
        ManagementServer server;
        QVERIFY(server.listen());
        server.setUsers(4);
        const auto stored = qint32(server.port() + offset);
        const Outcome outcome =
            run(QStringLiteral("127.0.0.1"), stored, *managementRequest("USERSSTATUS", QStringLiteral("pw")), 2);
        QVERIFY(outcome.ok);
        QCOMPARE(outcome.line, QByteArray("USERS 4"));
    }

    void hostNameIsLookedUp()
    {
        ManagementServer server;
        QVERIFY(server.listen());
        server.setUsers(5);
        const Outcome outcome =
            run(QStringLiteral("localhost"), server.port(), *managementRequest("USERSSTATUS", QStringLiteral("pw")), 2);
        QVERIFY(outcome.ok);
        QCOMPARE(outcome.line, QByteArray("USERS 5"));
    }

    void commandWithoutReply()
    {
        // What a reload does: send, close, read nothing.
        ManagementServer server;
        QVERIFY(server.listen());
        QSignalSpy closed(&server, &ManagementServer::connectionClosed);
        const Outcome outcome =
            run(QStringLiteral("127.0.0.1"), server.port(), *managementRequest("RULESRELOAD", QStringLiteral("pw")), 0);
        QVERIFY(outcome.ok);
        QTRY_COMPARE(closed.size(), 1);
        QCOMPARE(server.requests(), QList<QByteArray>{"RULESRELOAD pw\r\n"});
    }
};

QTEST_GUILESS_MAIN(TestManagementExchange)
#include "tst_managementexchange.moc"
