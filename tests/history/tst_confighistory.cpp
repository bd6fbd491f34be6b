#include "history/ConfigHistory.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

using namespace vellamor;

namespace {

QByteArray config(const QByteArray &port, const QByteArray &password = "s3cret!", const QByteArray &ips = "")
{
    return "<global><ACC><port>" + port + "</port><maxcon>0</maxcon><logdir>/srv/logs</logdir><cert/><key/>" + ips +
           "</ACC><Management><port>1011</port><password>" + password +
           "</password><IP>127.0.0.1</IP></Management></global>";
}

QByteArray rules(int count, int changed = -1, const char *policy = "REJECT")
{
    QByteArray text = QByteArray("POLICY ") + policy + "\r\n";
    for (int i = 0; i < count; ++i)
        text += (i == changed ? "172.16." : "10.") + QByteArray::number(i / 250) + '.' + QByteArray::number(i % 250) +
                ".1\r\n";
    return text;
}

#ifndef Q_OS_WIN
// Plain git, as an administrator reads the history.
QByteArray git(const QString &repository, const QStringList &arguments, int *exitCode = nullptr)
{
    QProcess process;
    process.start(QStringLiteral("git"), QStringList{QStringLiteral("--git-dir=") + repository} + arguments);
    process.waitForFinished(60000);
    if (exitCode)
        *exitCode = process.exitCode();
    return process.readAllStandardOutput() + process.readAllStandardError();
}
#endif

// Every file under a folder with its bytes' hash: a repository left alone
// hashes the same afterwards.
QByteArray fingerprint(const QString &dir)
{
    QByteArray all;
    QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    QStringList names;
    while (it.hasNext())
        names << it.next();
    names.sort();
    for (const QString &name : names) {
        QFile f(name);
        f.open(QIODevice::ReadOnly);
        all += name.toUtf8() + QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha1).toHex();
    }
    return all;
}

} // namespace

class TestConfigHistory : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void describe_data();
    void describe();
    void everySaveKeptAndReadableByGit();
    void damagedIsReportedAndLeftAlone_data();
    void damagedIsReportedAndLeftAlone();
    void protectedLikeTheConfiguration();
    void diffMasksThePassword();
};

void TestConfigHistory::describe_data()
{
    QTest::addColumn<ConfigSnapshot>("before");
    QTest::addColumn<ConfigSnapshot>("after");
    QTest::addColumn<QString>("expected");
    const ConfigSnapshot base{config("8080"), rules(5)};
    QTest::newRow("port, rules and policy")
        << base << ConfigSnapshot{config("8081"), rules(7, 2, "ACCEPT")}
        << QStringLiteral("Application Service port 8080 → 8081; 3 rules added, 1 removed; default policy Accept All");
    QTest::newRow("password changes, never shown")
        << base << ConfigSnapshot{config("8080", "n3w&lt;&amp;&gt;"), base.rules}
        << QStringLiteral("management password changed");
    QTest::newRow("addresses") << base << ConfigSnapshot{config("8080", "s3cret!", "<IP>10.0.0.1</IP>"), base.rules}
                               << QStringLiteral("Application Service addresses none → 10.0.0.1");
    QTest::newRow("one rule removed") << base << ConfigSnapshot{base.globalConfig, rules(4)}
                                      << QStringLiteral("1 rule removed");
    QTest::newRow("same rules, other line ends")
        << base << ConfigSnapshot{base.globalConfig, QByteArray(*base.rules).replace("\r\n", "\n")}
        << QStringLiteral("rules.txt rewritten, no rule changed");
    QTest::newRow("gc.xml broken") << base << ConfigSnapshot{QByteArray("<global><ACC>"), base.rules}
                                   << QStringLiteral("gc.xml changed (it does not read as XML)");
    QTest::newRow("rules.txt deleted") << base << ConfigSnapshot{base.globalConfig, std::nullopt}
                                       << QStringLiteral("rules.txt removed");
    QTest::newRow("nothing") << base << base << QStringLiteral("No change");
}

void TestConfigHistory::describe()
{
    QFETCH(ConfigSnapshot, before);
    QFETCH(ConfigSnapshot, after);
    QFETCH(QString, expected);
    QCOMPARE(describeChange(before, after), expected);
}

// Saves past the size at which a pack is started anew: each entry gives its
// files back byte for byte, through the class and through plain git, and
// git's own check finds the store sound.
void TestConfigHistory::everySaveKeptAndReadableByGit()
{
    QTemporaryDir dir;
    ConfigHistory history(dir.path());
    history.setAuthor(QStringLiteral("alice"));
    QVERIFY(history.recordFound({}).ok() && !QFile::exists(dir.filePath("history.git"))); // nothing to keep yet
    QList<ConfigSnapshot> saved{{config("8080"), rules(300)}};
    QVERIFY(history.recordFound(saved.first()).recorded);
    QVERIFY(!history.recordFound(saved.first()).recorded); // unchanged: nothing new
    for (int i = 0; i < 70; ++i) {
        saved.append({config(i % 10 ? "8080" : "80" + QByteArray::number(i)), rules(300, i)});
        const HistoryOutcome outcome = i == 33 ? history.recordFound(saved.last()) : history.recordSave(saved.last());
        QVERIFY2(outcome.recorded, qPrintable(outcome.failure));
    }
    saved.append({std::nullopt, rules(3)});
    QVERIFY(history.recordSave(saved.last(), QStringLiteral("Restored")).recorded);

    ConfigHistory reader(dir.path()); // another panel on the same folder
    const ConfigHistory::Listing listing = reader.entries();
    QVERIFY(listing.failure.isEmpty());
    QCOMPARE(listing.entries.size(), saved.size());
    QCOMPARE(listing.entries.last().message, QString(ConfigHistory::kFirstRecordMessage));
    QCOMPARE(listing.entries[saved.size() - 35].message, QString(ConfigHistory::kOutsideChangeMessage));
    QCOMPARE(listing.entries[1].message, QStringLiteral("2 rules added, 2 removed"));
    QCOMPARE(listing.entries.first().message, QStringLiteral("Restored; gc.xml removed; 297 rules removed"));
    QCOMPARE(listing.entries.first().author, QStringLiteral("alice"));
    for (qsizetype i = 0; i < saved.size(); ++i)
        QCOMPARE(reader.files(listing.entries[saved.size() - 1 - i].id).files, saved[i]);

#ifndef Q_OS_WIN // no git to run under Wine
    const QString repository = history.repositoryPath();
    int exitCode = -1;
    const QByteArray fsck = git(repository, {"fsck", "--full", "--strict"}, &exitCode);
    QVERIFY2(exitCode == 0, fsck.constData());
    QCOMPARE(git(repository, {"show", "main~1:rules.txt"}), *saved[saved.size() - 2].rules);
    const QByteArray log = git(repository, {"log", "-p"});
    QCOMPARE(log.count("\ncommit ") + 1, saved.size());
    QVERIFY(!log.contains("Management Service port") && log.contains("Application Service port 8080 → 8060"));
#endif
    QVERIFY(QDir(history.repositoryPath() + "/objects/pack").entryList({"*.pack"}).size() <= 3);
}

void TestConfigHistory::damagedIsReportedAndLeftAlone_data()
{
    QTest::addColumn<QString>("damage");
    QTest::newRow("a file in its place") << "file";
    QTest::newRow("HEAD names a missing commit") << "head";
    QTest::newRow("its packs gone") << "packs";
}

void TestConfigHistory::damagedIsReportedAndLeftAlone()
{
    QFETCH(QString, damage);
    QTemporaryDir dir;
    const ConfigSnapshot files{config("88"), rules(3)};
    const QString repository = dir.filePath("history.git");
    if (damage == "file") {
        QFile f(repository);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write("not a repository"));
    } else {
        QVERIFY(ConfigHistory(dir.path()).recordFound(files).recorded);
        if (damage == "head") {
            QFile ref(repository + "/refs/heads/main");
            QVERIFY(ref.open(QIODevice::WriteOnly) && ref.write(QByteArray(40, '1') + '\n'));
        } else {
            for (const QString &name : QDir(repository + "/objects/pack").entryList(QDir::Files))
                QVERIFY(QFile::remove(repository + "/objects/pack/" + name));
        }
    }
    const QByteArray before = fingerprint(dir.path());
    ConfigHistory history(dir.path());
    const HistoryOutcome outcome = history.recordSave({config("89"), rules(4)});
    QVERIFY(!outcome.recorded);
    QVERIFY2(outcome.failure.startsWith("history.git is damaged"), qPrintable(outcome.failure));
    QVERIFY(!history.entries().failure.isEmpty() || damage == "file");
    QCOMPARE(fingerprint(dir.path()), before);
}

void TestConfigHistory::protectedLikeTheConfiguration()
{
#ifdef Q_OS_UNIX
    for (const bool group : {false, true}) {
        QTemporaryDir dir;
        if (group)
            QVERIFY(::chmod(QFile::encodeName(dir.path()).constData(), 02775) == 0);
        ConfigHistory history(dir.path());
        QVERIFY(history.recordFound({config("88"), rules(1)}).recorded);
        struct stat info
        {
        };
        QVERIFY(::stat(QFile::encodeName(history.repositoryPath()).constData(), &info) == 0);
        QCOMPARE(info.st_mode & 07777, group ? 02770u : 0700u);
    }
    // Where the history cannot be made, the reason comes back.
    QTemporaryDir readOnly;
    QVERIFY(::chmod(QFile::encodeName(readOnly.path()).constData(), 0500) == 0);
    if (::geteuid() != 0) {
        const HistoryOutcome outcome = ConfigHistory(readOnly.path()).recordFound({config("88"), rules(1)});
        QVERIFY2(outcome.failure.startsWith("history.git could not be created"), qPrintable(outcome.failure));
    }
#endif
}

void TestConfigHistory::diffMasksThePassword()
{
    const QList<FileDiff> diffs =
        diffSnapshots({config("8080", "old&amp;pw"), rules(20)}, {config("8081", "new&lt;pw"), rules(20, 10)});
    QCOMPARE(diffs.size(), 2);
    const QByteArray gc = unifiedText(diffs[0].hunks, "a", "b"), rulesDiff = unifiedText(diffs[1].hunks, "a", "b");
    QVERIFY2(gc.contains("-    <port>8080</port>\n+    <port>8081</port>"), gc.constData());
    const QByteArray shown = globalConfigForDisplay(config("8080", "old&amp;pw"));
    QVERIFY(shown.contains("    <password>********</password>\n") && !shown.contains("pw"));
    QVERIFY(rulesDiff.contains("@@ -9,7 +9,7 @@") && rulesDiff.contains("-10.0.10.1\n+172.16.0.10.1\n"));
    // A file of another shape keeps its lines, the password masked all the same.
    QCOMPARE(globalConfigForDisplay("<global>\n<Management><password><![CDATA[x]]></password>\n</Management></global>"),
             QByteArray("<global>\n<Management><password>********</password>\n</Management></global>"));
}

QTEST_GUILESS_MAIN(TestConfigHistory)
#include "tst_confighistory.moc"
