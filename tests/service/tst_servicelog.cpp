// The Service page's log window, through its link, fed by a stand-in
// journalctl on the PATH or by a log directory of files. Windows has no
// journal: there the log directory is the server's only log.

#include "Controls.h"
#include "ServicePanel.h"
#include "dialogs/ServiceLogWindow.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTemporaryDir>

using namespace vellamor;
using namespace vellamor::test;

namespace {

// The panel with the log window opened through its link.
struct LogPanel : ServicePanel
{
    explicit LogPanel(std::shared_ptr<platform::ServiceLogs> logs) : ServicePanel(platform::makeNullServiceManager())
    {
        platform.serviceLogs = std::move(logs);
        window = std::make_unique<TForm3>(platform.platform());
        window->show();
    }

    LogPanel &openLog()
    {
        click("ShowLog_lbl");
        return *this;
    }

    ServiceLogWindow *log() const { return window->findChild<ServiceLogWindow *>(); }
    QString text() const { return log() ? log()->LogText->toPlainText() : QString(); }
    QString problem() const { return log() && !log()->LogProblem->isHidden() ? log()->LogProblem->text() : QString(); }
};

bool writeFile(const QString &path, const QByteArray &bytes, QIODevice::OpenMode mode = QIODevice::WriteOnly)
{
    QFile file(path);
    return file.open(mode) && file.write(bytes) == bytes.size();
}

// Dates a file's last change some days away from now.
bool dated(const QString &path, int days)
{
    QFile file(path);
    return file.open(QIODevice::ReadWrite) &&
           file.setFileTime(QDateTime::currentDateTime().addDays(days), QFileDevice::FileModificationTime);
}

} // namespace

class TestServiceLog : public QObject
{
    Q_OBJECT

private Q_SLOTS:
#ifndef Q_OS_WIN
    void init();
    void cleanup();
    void journal_data();
    void journal();
    void followsTheJournalUntilClosed();
#endif
    void logDirectory();

private:
    QTemporaryDir m_bin;
    QByteArray m_path;
};

#ifndef Q_OS_WIN

void TestServiceLog::init()
{
    m_path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(m_bin.path()) + ':' + m_path);
}

void TestServiceLog::cleanup()
{
    qputenv("PATH", m_path);
    QFile::remove(m_bin.filePath(QStringLiteral("journalctl")));
}

void TestServiceLog::journal_data()
{
    QTest::addColumn<QByteArray>("script"); // empty: there is no journalctl
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("problem");

    QTest::newRow("lines") << QByteArray(R"(printf 'one\ntwo\r\nthree'; exec sleep 600)") << "one\ntwo"
                           << "";
    QTest::newRow("journal not readable")
        << QByteArray("echo 'Hint: You are currently not seeing messages from other users and the system.' >&2\n"
                      "echo \"      Users in groups 'adm', 'systemd-journal' can see all messages.\" >&2\n"
                      "exec sleep 600")
        << ""
        << R"("systemd-journal" and "adm")";
    QTest::newRow("journalctl fails") << QByteArray("echo 'Failed to get journal access: Bad message' >&2; exit 1")
                                      << ""
                                      << "journalctl stopped: Failed to get journal access: Bad message";
    QTest::newRow("no journalctl") << QByteArray() << ""
                                   << "journalctl could not be started";
}

void TestServiceLog::journal()
{
    QFETCH(QByteArray, script);
    QFETCH(QString, text);
    QFETCH(QString, problem);

    const QString journalctl = m_bin.filePath(QStringLiteral("journalctl"));
    if (!script.isEmpty()) {
        QVERIFY(writeFile(journalctl, "#!/bin/sh\n" + script + "\n"));
        QVERIFY(QFile::setPermissions(journalctl, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    } else {
        qputenv("PATH", QFile::encodeName(m_bin.path()));
    }

    LogPanel panel(platform::makeJournalLogs());
    panel.openLog();
    QVERIFY(panel.log());
    QTRY_COMPARE(panel.text(), text);
    if (problem.isEmpty())
        QCOMPARE(panel.problem(), QString());
    else
        QTRY_VERIFY2(panel.problem().contains(problem), qPrintable(panel.problem()));
    // Never a box: the window says it all.
    QVERIFY(panel.dialogs().boxes.isEmpty());
}

void TestServiceLog::followsTheJournalUntilClosed()
{
    const QString journalctl = m_bin.filePath(QStringLiteral("journalctl"));
    const QString more = m_bin.filePath(QStringLiteral("more"));
    const QString args = m_bin.filePath(QStringLiteral("args"));
    QVERIFY(writeFile(journalctl, QStringLiteral("#!/bin/sh\necho \"$@\" > '%1'\necho 'first'\n"
                                                 "while [ ! -e '%2' ]; do sleep 0.05; done\necho 'second'\n"
                                                 "exec sleep 600\n")
                                      .arg(args, more)
                                      .toLocal8Bit()));
    QVERIFY(QFile::setPermissions(journalctl, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));

    LogPanel panel(platform::makeJournalLogs());
    panel.openLog();
    QTRY_COMPARE(panel.text(), "first");
    QVERIFY(writeFile(more, ""));
    QTRY_COMPARE(panel.text(), "first\nsecond");
    QFile argsFile(args);
    QVERIFY(argsFile.open(QIODevice::ReadOnly));
    QCOMPARE(argsFile.readAll().trimmed(), "--unit VellamorServer.service -n 200 -o short-iso --follow");

    // One window: the link brings it forward again. It goes with the main window.
    QPointer<ServiceLogWindow> log = panel.log();
    panel.click("ShowLog_lbl");
    QCOMPARE(panel.window->findChildren<ServiceLogWindow *>().size(), 1);
    panel.window->close();
    QTRY_VERIFY(!log);
}

#endif

void TestServiceLog::logDirectory()
{
    QTemporaryDir logs;
    LogPanel panel(platform::makeFolderLogs());
    control<QLineEdit>(*panel.window, "DefaultLogFolder_txt")->setText(logs.path());
    panel.openLog();
    QTRY_COMPARE(panel.problem(), "There is no log file in " + QDir::toNativeSeparators(logs.path()) + " yet.");

    // The newest file's last lines; the server writes CR LF.
    QByteArray lines;
    for (int i = 1; i <= 250; ++i)
        lines += "line " + QByteArray::number(i) + "\r\n";
    const QString older = logs.filePath(QStringLiteral("older.log"));
    const QString server = logs.filePath(QStringLiteral("server.log"));
    QVERIFY(writeFile(older, "old\n"));
    QVERIFY(dated(older, -1));
    QVERIFY(writeFile(server, lines));
    QTRY_VERIFY(panel.text().startsWith(QLatin1StringView("line 51\n")));
    QCOMPARE(panel.text().count(QLatin1Char('\n')), 199);
    QCOMPARE(panel.problem(), QString());
    QVERIFY(panel.log()->LogSource->text().endsWith(QLatin1StringView("server.log")));

    // New lines follow; a newer file takes over.
    QVERIFY(writeFile(server, "line 251\n", QIODevice::Append));
    QTRY_VERIFY(panel.text().endsWith(QLatin1StringView("line 250\nline 251")));
    const QString next = logs.filePath(QStringLiteral("server-2.log"));
    QVERIFY(writeFile(next, "fresh\n"));
    QVERIFY(dated(next, 1));
    QTRY_VERIFY(panel.text().endsWith(QLatin1StringView("line 251\nfresh")));
}

QTEST_MAIN(TestServiceLog)
#include "tst_servicelog.moc"
