#include "config/AtomicFile.h"
#include "history/OutsideChangeWatcher.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace vellamor;

class TestOutsideChange : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void onlyRealChanges_data();
    void onlyRealChanges();
};

namespace {

// By rename as the panel's Save (and sed -i) replace a file, or in place.
void write(const QString &path, const QByteArray &bytes, bool byRename)
{
    if (byRename)
        return writeFileAtomically(path, bytes, NewFileAccess::Default);
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size());
}

} // namespace

// A sequence of writes to rules.txt, each either noticed or not; after each
// one gc.xml is changed as well, and its notice (which always comes) shows
// that rules.txt's would have come by then.
void TestOutsideChange::onlyRealChanges_data()
{
    QTest::addColumn<QByteArrayList>("steps"); // "r:" by rename, "w:" in place, "own:" the panel's Save, "rm"
    QTest::addColumn<QList<bool>>("noticed");
    QTest::newRow("replaced by rename, twice") << QByteArrayList{"r:b", "r:c"} << QList<bool>{true, true};
    QTest::newRow("written in place") << QByteArrayList{"w:b", "w:c"} << QList<bool>{true, true};
    QTest::newRow("same bytes written again") << QByteArrayList{"r:a", "w:a"} << QList<bool>{false, false};
    QTest::newRow("the panel's own Saves")
        << QByteArrayList{"own:b", "own:c", "r:d"} << QList<bool>{false, false, true};
    QTest::newRow("reported once, then back") << QByteArrayList{"w:b", "w:b", "w:a"} << QList<bool>{true, false, false};
    QTest::newRow("deleted and made again") << QByteArrayList{"rm", "w:a", "w:b"} << QList<bool>{true, false, true};
}

void TestOutsideChange::onlyRealChanges()
{
    QFETCH(QByteArrayList, steps);
    QFETCH(QList<bool>, noticed);
    QTemporaryDir dir;
    const QString rules = dir.filePath("rules.txt"), config = dir.filePath("gc.xml");
    write(rules, "a", false);
    write(config, "0", false);
    OutsideChangeWatcher watcher;
    watcher.setIntervals(20, 60000);
    watcher.setKnown(rules, QByteArray("a"));
    watcher.setKnown(config, QByteArray("0"));
    QSignalSpy spy(&watcher, &OutsideChangeWatcher::changedOutside);
    for (qsizetype i = 0; i < steps.size(); ++i) {
        const QByteArray step = steps[i];
        if (step == "rm") {
            QVERIFY(QFile::remove(rules));
        } else if (step.startsWith("own:")) {
            write(rules, step.mid(4), true);
            watcher.setKnown(rules, step.mid(4));
        } else {
            write(rules, step.mid(2), step.startsWith("r:"));
        }
        QCOMPARE(watcher.changedOnDisk(rules), noticed[i] || (i > 0 && step == steps[i - 1] && noticed[i - 1]));
        write(config, QByteArray::number(i + 1), true);
        QStringList seen;
        QTRY_VERIFY((seen.clear(), std::for_each(spy.cbegin(), spy.cend(), [&](auto &a) { seen << a[0].toString(); }),
                     seen.contains(config)));
        QCOMPARE(seen.contains(rules), noticed[i]);
        spy.clear();
        watcher.setKnown(config, QByteArray::number(i + 1));
    }
}

QTEST_GUILESS_MAIN(TestOutsideChange)
#include "tst_outsidechange.moc"
