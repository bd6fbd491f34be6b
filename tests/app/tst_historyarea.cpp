// The files' outside changes and their history, as the window meets them: a
// second writer beside the panel, and history.git read with plain git.

#include "Controls.h"
#include "FakePlatform.h"
#include "config/AtomicFile.h"
#include "dialogs/HistoryWindow.h"
#include "history/ConfigHistory.h"
#include "rules/RuleListModel.h"
#include "window/VellamorDesktopMain.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTest>
#include <QTreeWidget>

using namespace vellamor;
using namespace vellamor::test;

namespace {

void writeFile(const QString &path, const QByteArray &bytes)
{
    writeFileAtomically(path, bytes, NewFileAccess::Default); // as sed -i does: a new file renamed over
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// The history's subjects, newest first: as plain git reads them where there
// is a git (an administrator's way in), through the panel's own reader
// otherwise (under Wine).
QStringList historyLog(const FakePlatform &fake)
{
    if (QStandardPaths::findExecutable(QStringLiteral("git")).isEmpty()) {
        QStringList subjects;
        ConfigHistory history(fake.dir());
        for (const HistoryEntry &entry : history.entries().entries)
            subjects << entry.message.section(QLatin1Char('\n'), 0, 0);
        return subjects;
    }
    QProcess git;
    git.start(QStringLiteral("git"), {QStringLiteral("--git-dir=") + fake.path(QStringLiteral("history.git")),
                                      QStringLiteral("log"), QStringLiteral("--format=%s")});
    git.waitForFinished();
    return QString::fromUtf8(git.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

const QByteArray kRules = "POLICY REJECT\r\nACCEPT 10.0.0.1\r\n";

// A folder a Save goes through: the default key and certificate, and rules.
void prepare(const FakePlatform &fake)
{
    writeFile(fake.path(QStringLiteral("default.key")), "key");
    writeFile(fake.path(QStringLiteral("default.cer")), "cer");
    writeFile(fake.path(QStringLiteral("rules.txt")), kRules);
}

} // namespace

class TestHistoryArea : public QObject
{
    Q_OBJECT

private slots:
    void secondWriterIsReloadedOrOffered_data();
    void secondWriterIsReloadedOrOffered();
    void ownSaveIsRecordedAndNoOutsideChange();
    void restoreThenSaveBringsTheFilesBack();
};

void TestHistoryArea::secondWriterIsReloadedOrOffered_data()
{
    QTest::addColumn<bool>("edited");
    QTest::addColumn<QByteArray>("written");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("bar");
    QTest::addColumn<int>("rules"); // shown after the change
    QTest::newRow("no edits: reloaded") << false << QByteArray("POLICY REJECT\r\nACCEPT 10.0.0.2\r\nA\r\n")
                                        << "rules.txt was changed outside the panel and has been reloaded."
                                        << "" << 2;
    QTest::newRow("edits: the bar") << true << QByteArray("POLICY REJECT\r\nACCEPT 10.0.0.2\r\n") << ""
                                    << "rules.txt was changed outside the panel." << 2;
}

void TestHistoryArea::secondWriterIsReloadedOrOffered()
{
    QFETCH(bool, edited);
    QFETCH(QByteArray, written);
    QFETCH(QString, status);
    QFETCH(QString, bar);
    QFETCH(int, rules);
    FakePlatform fake;
    prepare(fake);
    TForm3 form(fake.platform());
    form.FormCreate();
    form.show();
    if (edited)
        form.rulesModel()->appendLine("REJECT 10.9.9.9");

    writeFile(fake.path(QStringLiteral("rules.txt")), written);
    auto *barFrame = control<QWidget>(form, "OutsideChange_bar");
    if (edited) {
        QTRY_VERIFY(barFrame->isVisible());
        QCOMPARE(control<QLabel>(form, "OutsideChange_lbl")->text(), bar);
        // The Save asks, and No leaves the second writer's file and the edits.
        QTest::mouseClick(control<QPushButton>(form, "Button1"), Qt::LeftButton);
        QCOMPARE(fake.dialogs->boxes.size(), 1);
        QCOMPARE(fake.dialogs->boxes[0].text, QStringLiteral("rules.txt was changed outside the panel since it was "
                                                             "loaded. Overwrite it with the panel's version?"));
        QCOMPARE(fake.dialogs->boxes[0].caption, QStringLiteral("Confirmation"));
        QCOMPARE(fake.dialogs->boxes[0].icon, platform::Icon::Question);
        QCOMPARE(readFile(fake.path(QStringLiteral("rules.txt"))), written);
        QVERIFY(!QFile::exists(fake.path(QStringLiteral("gc.xml"))));
        QVERIFY(form.isWindowModified());
    } else {
        QTRY_COMPARE(form.StatusBar1->currentMessage(), status);
        QVERIFY(!barFrame->isVisible());
        QVERIFY(!form.isWindowModified());
    }
    QCOMPARE(form.rulesModel()->rowCount(), rules);
    form.historyArea().finish();
    QCOMPARE(historyLog(fake).value(0), QStringLiteral("Changed outside the panel"));
}

void TestHistoryArea::ownSaveIsRecordedAndNoOutsideChange()
{
    FakePlatform fake;
    prepare(fake);
    TForm3 form(fake.platform());
    form.FormCreate();
    form.show();
    form.rulesModel()->appendLine("REJECT 10.9.9.9");
    QTest::mouseClick(control<QPushButton>(form, "Button1"), Qt::LeftButton);
    QCOMPARE(fake.dialogs->boxes.size(), 1); // the closing information only
    form.historyArea().finish();
    const QStringList log = historyLog(fake);
    QCOMPARE(log.size(), 2); // as found at the first start, then the Save
    QVERIFY2(log.first().contains(QStringLiteral("1 rule added")), qPrintable(log.first()));
    // Our own writes settle and poll like anyone's, and are still no change.
    QTest::qWait(400);
    QVERIFY(!control<QWidget>(form, "OutsideChange_bar")->isVisible());
    QCOMPARE(form.StatusBar1->currentMessage(), QString());
    QCOMPARE(historyLog(fake).size(), 2);
}

void TestHistoryArea::restoreThenSaveBringsTheFilesBack()
{
    FakePlatform fake;
    prepare(fake);
    TForm3 form(fake.platform());
    form.FormCreate();
    form.show();
    auto *save = control<QPushButton>(form, "Button1");
    form.rulesModel()->appendLine("REJECT 10.9.9.9");
    QTest::mouseClick(save, Qt::LeftButton);
    const QByteArray oldConfig = readFile(fake.path(QStringLiteral("gc.xml")));
    const QByteArray oldRules = readFile(fake.path(QStringLiteral("rules.txt")));
    form.rulesModel()->appendLine("ACCEPT 10.8.8.8");
    QTest::mouseClick(save, Qt::LeftButton);
    QVERIFY(readFile(fake.path(QStringLiteral("rules.txt"))) != oldRules);

    // The older Save, second from the top, into the window and not onto disk.
    form.ConfigurationHistory1->trigger();
    auto *history = form.findChild<HistoryWindow *>();
    QVERIFY(history);
    history->HistoryList->setCurrentItem(history->HistoryList->topLevelItem(1));
    QTest::mouseClick(history->HistoryRestore, Qt::LeftButton);
    QVERIFY(form.isWindowModified());
    QVERIFY(readFile(fake.path(QStringLiteral("rules.txt"))) != oldRules);
    QCOMPARE(history->HistoryList->topLevelItem(0)->text(0), QStringLiteral("Unsaved changes"));

    QTest::mouseClick(save, Qt::LeftButton);
    QCOMPARE(readFile(fake.path(QStringLiteral("gc.xml"))), oldConfig);
    QCOMPARE(readFile(fake.path(QStringLiteral("rules.txt"))), oldRules);
    form.historyArea().finish();
    QVERIFY2(historyLog(fake).value(0).startsWith(QStringLiteral("Restored the version of")),
             qPrintable(historyLog(fake).value(0)));
}

QTEST_MAIN(TestHistoryArea)
#include "tst_historyarea.moc"
