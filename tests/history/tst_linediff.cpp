#include "history/GitPack.h"
#include "history/LineDiff.h"

#include <QRandomGenerator>
#include <QTest>
#include <vector>

using namespace vellamor;

class TestLineDiff : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void shortestAndValid_data();
    void shortestAndValid();
    void unified_data();
    void unified();
};

// Random texts over a small alphabet of lines: the common runs must pair
// equal lines in order, as many as the longest common subsequence, and the
// pack delta built on them must give the new text back.
void TestLineDiff::shortestAndValid_data()
{
    QTest::addColumn<int>("seed");
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("alphabet");
    for (int seed = 1; seed <= 40; ++seed)
        QTest::newRow(qPrintable(QString::number(seed))) << seed << (seed % 7) * 9 << 2 + seed % 5;
}

void TestLineDiff::shortestAndValid()
{
    QFETCH(int, seed);
    QFETCH(int, size);
    QFETCH(int, alphabet);
    QRandomGenerator random{quint32(seed)};
    auto text = [&](int n) {
        QByteArray t;
        for (int i = 0; i < n; ++i)
            t += QByteArray(1, char('a' + random.bounded(alphabet))) + "\r\n";
        if (n && random.bounded(2))
            t.chop(2); // no line end at the last line
        return t;
    };
    const QByteArray oldText = text(size), newText = text(size / 2 + random.bounded(size + 1));
    const QList<QByteArrayView> a = splitLines(oldText, true), b = splitLines(newText, true);

    qsizetype common = 0, lastOld = 0, lastNew = 0;
    for (const CommonRun &run : commonLineRuns(a, b)) {
        QVERIFY(run.oldIndex >= lastOld && run.newIndex >= lastNew && run.length > 0);
        for (qsizetype i = 0; i < run.length; ++i)
            QCOMPARE(a[run.oldIndex + i], b[run.newIndex + i]);
        lastOld = run.oldIndex + run.length;
        lastNew = run.newIndex + run.length;
        common += run.length;
    }
    std::vector<std::vector<int>> lcs(size_t(a.size() + 1), std::vector<int>(size_t(b.size() + 1)));
    for (qsizetype i = a.size() - 1; i >= 0; --i)
        for (qsizetype j = b.size() - 1; j >= 0; --j)
            lcs[size_t(i)][size_t(j)] = a[i] == b[j]
                                            ? lcs[size_t(i + 1)][size_t(j + 1)] + 1
                                            : qMax(lcs[size_t(i + 1)][size_t(j)], lcs[size_t(i)][size_t(j + 1)]);
    QCOMPARE(common, qsizetype(lcs[0][0]));
    QCOMPARE(gitpack::applyDelta(oldText, gitpack::makeDelta(oldText, newText)), std::optional(newText));
}

void TestLineDiff::unified_data()
{
    QTest::addColumn<QByteArray>("oldText");
    QTest::addColumn<QByteArray>("newText");
    QTest::addColumn<QByteArray>("expected");
    const QByteArray ten = "1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n";
    QTest::newRow("same") << ten << ten << QByteArray();
    QTest::newRow("one changed in the middle")
        << ten << QByteArray(ten).replace("5\n", "five\n")
        << QByteArray("--- a\n+++ b\n@@ -2,7 +2,7 @@\n 2\n 3\n 4\n-5\n+five\n 6\n 7\n 8\n");
    QTest::newRow("added first, removed last")
        << ten << "0\n" + ten.left(ten.size() - 3)
        << QByteArray("--- a\n+++ b\n@@ -1,3 +1,4 @@\n+0\n 1\n 2\n 3\n@@ -7,4 +8,3 @@\n 7\n 8\n 9\n-10\n");
    QTest::newRow("changes close together share a hunk")
        << ten << QByteArray(ten).replace("3\n", "x\n").replace("8\n", "y\n")
        << QByteArray("--- a\n+++ b\n@@ -1,10 +1,10 @@\n 1\n 2\n-3\n+x\n 4\n 5\n 6\n 7\n-8\n+y\n 9\n 10\n");
    QTest::newRow("from nothing") << QByteArray() << QByteArray("a\r\nb")
                                  << QByteArray("--- a\n+++ b\n@@ -0,0 +1,2 @@\n+a\n+b\n");
}

void TestLineDiff::unified()
{
    QFETCH(QByteArray, oldText);
    QFETCH(QByteArray, newText);
    QFETCH(QByteArray, expected);
    QCOMPARE(unifiedText(unifiedHunks(splitLines(oldText, false), splitLines(newText, false)), "a", "b"), expected);
}

QTEST_GUILESS_MAIN(TestLineDiff)
#include "tst_linediff.moc"
