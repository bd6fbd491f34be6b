#include "AddressTable.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

using namespace vellamor;

// The machine's own table against what the system's tool reports.
class TestPosixAddressTable : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void matchesTheSystemTool()
    {
        QString ip = QStandardPaths::findExecutable(QStringLiteral("ip"));
        if (ip.isEmpty())
            ip = QStandardPaths::findExecutable(QStringLiteral("ip"), {"/usr/sbin", "/sbin", "/usr/bin", "/bin"});
        if (ip.isEmpty())
            QSKIP("the ip tool (iproute2) is not installed");

        QProcess tool;
        tool.start(ip, {"-4", "-o", "addr", "show"});
        QVERIFY(tool.waitForFinished(30000));
        if (tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0)
            QSKIP("ip -4 -o addr failed on this machine");

        // One line per address: "2: eth0    inet 10.0.0.5/24 brd ... scope global eth0 ..."
        QStringList expected;
        static const QRegularExpression inet(QStringLiteral("\\binet (\\d+\\.\\d+\\.\\d+\\.\\d+)"));
        for (const QString &line : QString::fromLocal8Bit(tool.readAllStandardOutput()).split(u'\n')) {
            const QRegularExpressionMatch match = inet.match(line);
            if (match.hasMatch())
                expected.append(match.captured(1));
        }

        QStringList listed;
        for (const std::string &address : platform::makeSystemAddressTable()->ipv4Addresses())
            listed.append(QString::fromStdString(address));

        QCOMPARE(listed, expected);
        QVERIFY(listed.contains(QStringLiteral("127.0.0.1")));
    }
};

QTEST_GUILESS_MAIN(TestPosixAddressTable)
#include "tst_addresstable_posix.moc"
