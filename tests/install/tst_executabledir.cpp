// The panel started through a symbolic link, as /usr/bin/vellamor-desktop and
// a desktop's launcher start it, still keeps its files beside its real
// executable in the server's directory, never beside the link or in the
// working directory. Its first sign of life there is the logs directory.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class TestExecutableDir : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void filesStayBesideTheRealExecutable_data()
    {
        QTest::addColumn<QString>("link");   // the link's path, in the scratch directory
        QTest::addColumn<QString>("target"); // what the link holds
        QTest::addColumn<QString>("run");    // the command a shell starts, looked up on PATH without a "/"
        QTest::newRow("absolute link") << "bin/panel"
                                       << "$SERVER/vellamor-desktop"
                                       << "$ROOT/bin/panel";
        QTest::newRow("relative link") << "bin/panel"
                                       << "../server/vellamor-desktop"
                                       << "$ROOT/bin/panel";
        QTest::newRow("link to a link") << "bin/panel"
                                        << "../alias"
                                        << "$ROOT/bin/panel";
        QTest::newRow("command on PATH") << "bin/vellamor-desktop"
                                         << "$SERVER/vellamor-desktop"
                                         << "vellamor-desktop";
    }

    void filesStayBesideTheRealExecutable()
    {
        QFETCH(QString, link);
        QFETCH(QString, target);
        QFETCH(QString, run);

        QTemporaryDir root;
        QVERIFY(root.isValid());
        const QDir dir(root.path());
        const QString server = dir.filePath(QStringLiteral("server"));
        const auto expand = [&](QString text) {
            return text.replace(QLatin1StringView("$SERVER"), server).replace(QLatin1StringView("$ROOT"), root.path());
        };
        QVERIFY(dir.mkpath(QStringLiteral("server")) && dir.mkpath(QStringLiteral("bin")) &&
                dir.mkpath(QStringLiteral("work")));
        QVERIFY(QFile::copy(QStringLiteral(VELLAMOR_PANEL), dir.filePath(QStringLiteral("server/vellamor-desktop"))));
        QVERIFY(QFile::link(QStringLiteral("server/vellamor-desktop"), dir.filePath(QStringLiteral("alias"))));
        QVERIFY(QFile::link(expand(target), dir.filePath(link)));

        QProcess panel;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("PATH"),
                           dir.filePath(QStringLiteral("bin")) + u':' + environment.value(QStringLiteral("PATH")));
        panel.setProcessEnvironment(environment);
        panel.setWorkingDirectory(dir.filePath(QStringLiteral("work")));
        panel.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QStringLiteral("exec ") + expand(run)});
        QVERIFY2(panel.waitForStarted(), qPrintable(panel.errorString()));

        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(dir.filePath(QStringLiteral("server/logs"))).isDir(), 30000);
        panel.kill();
        panel.waitForFinished();
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("bin/logs"))));
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("work/logs"))));
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("logs"))));
    }
};

QTEST_GUILESS_MAIN(TestExecutableDir)
#include "tst_executabledir.moc"
