#include "common/Error.h"
#include "rules/AddressList.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <zlib.h>

using namespace vellamor;

namespace {

QByteArray gzip(const QByteArray &data)
{
    z_stream stream{};
    deflateInit2(&stream, 6, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    QByteArray out(int(deflateBound(&stream, uLong(data.size()))), '\0');
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData()));
    stream.avail_in = uInt(data.size());
    stream.next_out = reinterpret_cast<Bytef *>(out.data());
    stream.avail_out = uInt(out.size());
    deflate(&stream, Z_FINISH);
    out.truncate(qsizetype(stream.total_out));
    deflateEnd(&stream);
    return out;
}

// The addresses rule lines of one type name, one by one, within [from, to]:
// the independent reading every conversion is checked against.
QList<bool> namedAddresses(const QByteArrayList &lines, quint32 from, quint32 to)
{
    QList<bool> named(qsizetype(to - from) + 1, false);
    for (const QByteArray &line : lines) {
        const std::optional<AddressSpan> span = ruleSpan(parseRuleLine(line));
        for (quint64 a = qMax(span.value_or(AddressSpan{1, 0}).first, from); span && a <= qMin(span->last, to); ++a)
            named[qsizetype(a - from)] = true;
    }
    return named;
}

// The fewest targets (a block, or a run within one last group) that cover
// exactly [first, last], by dynamic programming over every address.
int fewestTargets(quint32 first, quint32 last)
{
    const int n = int(last - first) + 1;
    QList<int> best(n + 1, 1 << 20); // best[i]: the first i addresses covered
    best[0] = 0;
    for (int end = 1; end <= n; ++end) {
        const quint32 b = first + quint32(end) - 1;
        int lowest = 1 << 20;
        for (int start = end; start >= 1; --start) {
            const quint32 a = first + quint32(start) - 1;
            lowest = qMin(lowest, best[start - 1]);
            const quint64 size = quint64(b) - a + 1;
            const bool block = std::has_single_bit(size) && (a & (size - 1)) == 0;
            if ((a >> 8) == (b >> 8) || block)
                best[end] = qMin(best[end], lowest + 1);
        }
    }
    return best[n];
}

} // namespace

class TestAddressList : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void formats_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("forced"); // -1: detected
        QTest::addColumn<int>("format");
        QTest::addColumn<QByteArray>("rules");     // imported into an empty list, merged, joined by |
        QTest::addColumn<QList<qint64>>("counts"); // entries, IPv6, above level, not understood
        QTest::addColumn<QByteArray>("unread");    // the first line not understood, "number:text"

        const int detect = -1;
        const int plain = int(ListFormat::Plain), p2p = int(ListFormat::P2P), dat = int(ListFormat::Dat),
                  ruleSet = int(ListFormat::RuleSet);
        using C = QList<qint64>;
        // clang-format off
        QTest::newRow("plain, comments") << QByteArray("# drop list\r\n; more\r\n// and more\r\n\r\n1.10.16.0/20 ; SBL256894\r\n  10.0.0.5  # host\r\n") << detect << plain
            << QByteArray("REJECT 1.10.16.0/20|REJECT 10.0.0.5") << C{2, 0, 0, 0} << QByteArray();
        QTest::newRow("plain, ranges") << QByteArray("\xEF\xBB\xBF" "192.168.1.10-192.168.1.20\n192.168.1.21 - 192.168.2.3\n10.0.0.7/24\n") << detect << plain
            << QByteArray("REJECT 10.0.0.0/24|REJECT 192.168.1.10-255|REJECT 192.168.2.0/30") << C{3, 0, 0, 0} << QByteArray();
        QTest::newRow("plain, bad") << QByteArray("1.2.3.4\n300.1.2.3\n1.2.3.9-1.2.3.1\n2001:db8::/32\nhello\n1.2.3.4/33\n") << detect << plain
            << QByteArray("REJECT 1.2.3.4") << C{1, 1, 0, 4} << QByteArray("2:300.1.2.3");
        QTest::newRow("plain, zero") << QByteArray("0.0.0.0\n0.0.0.0/0\n") << detect << plain
            << QByteArray("REJECT 0.0.0.0/0") << C{2, 0, 0, 0} << QByteArray();
        QTest::newRow("plain, lone zero") << QByteArray("0.0.0.0\n") << detect << plain
            << QByteArray("REJECT 0.0.0.0/32") << C{1, 0, 0, 0} << QByteArray();
        QTest::newRow("p2p") << QByteArray("# list\nSome: Corp:1.2.3.0-1.2.4.255\nx:001.002.005.000-1.2.5.9\nv6:2001:db8::-2001:db8::ff\nnope\n") << detect << p2p
            << QByteArray("REJECT 1.2.3.0/24|REJECT 1.2.4.0/24|REJECT 1.2.5.0-9") << C{2, 1, 0, 1} << QByteArray("5:nope");
        QTest::newRow("dat") << QByteArray("001.002.003.000 - 001.002.003.255 , 000 , Bad\n5.6.7.8 - 5.6.7.8 , 127, edge\n9.9.9.0 - 9.9.9.9 , 128 , allowed\n1.1.1.1 - 1.1.1.2\n") << detect << dat
            << QByteArray("REJECT 1.2.3.0/24|REJECT 5.6.7.8") << C{2, 0, 1, 1} << QByteArray("4:1.1.1.1 - 1.1.1.2");
        QTest::newRow("rules.txt") << QByteArray("POLICY ACCEPT\r\nREJECT 10.0.0.0/8\r\nACCEPT 10.1.1.1-9\r\nREJECT 1.2.3.4-2\r\n# note\r\n") << detect << ruleSet
            << QByteArray("REJECT 10.0.0.0/8|ACCEPT 10.1.1.1-9") << C{2, 0, 0, 1} << QByteArray("4:REJECT 1.2.3.4-2");
        QTest::newRow("forced plain") << QByteArray("a:1.2.3.4-1.2.3.4\n") << plain << plain
            << QByteArray() << C{0, 0, 0, 1} << QByteArray("1:a:1.2.3.4-1.2.3.4");
        QTest::newRow("empty") << QByteArray() << detect << plain << QByteArray() << C{0, 0, 0, 0} << QByteArray();
        // clang-format on
    }
    void formats()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, forced);
        QFETCH(int, format);
        QFETCH(QByteArray, rules);
        QFETCH(QList<qint64>, counts);
        QFETCH(QByteArray, unread);
        const AddressListRead read =
            readAddressList(text, forced < 0 ? std::nullopt : std::optional(ListFormat(forced)));
        QVERIFY(read.ok());
        const AddressList &list = read.list;
        QCOMPARE(int(list.format), format);
        QCOMPARE(planImport(list, {}, {}).lines.join('|'), rules);
        QCOMPARE((QList<qint64>{list.entries, list.ipv6, list.aboveLevel, list.notUnderstood}), counts);
        QCOMPARE(list.unread.isEmpty() ? QByteArray()
                                       : QByteArray::number(list.unread[0].number) + ':' + list.unread[0].text,
                 unread);
        if (list.format == ListFormat::RuleSet)
            QCOMPARE(list.policy, std::optional(Policy::Accept));
    }

    // Spans at random in regions around last-group boundaries: the targets
    // name exactly the span's addresses, and no cover has fewer.
    void conversion_data()
    {
        QTest::addColumn<quint32>("from");
        QTest::addColumn<quint32>("to");
        QTest::newRow("low end") << 0u << 1100u;
        QTest::newRow("middle") << 0x0A00FE00u << 0x0A010400u;
        QTest::newRow("high end") << 0xFFFFFB00u << 0xFFFFFFFFu;
    }
    void conversion()
    {
        QFETCH(quint32, from);
        QFETCH(quint32, to);
        QRandomGenerator random(25);
        for (int round = 0; round < 40; ++round) {
            quint32 first = from + random.bounded(to - from + 1);
            quint32 last = from + random.bounded(to - from + 1);
            if (round == 0)
                std::tie(first, last) = std::pair(from, to);
            if (last < first)
                std::swap(first, last);
            QByteArrayList lines;
            for (const QByteArray &target : ruleTargets({first, last}))
                lines.append("ACCEPT " + target);
            const QList<bool> named = namedAddresses(lines, from, to);
            for (quint64 a = from; a <= to; ++a)
                QVERIFY2(named[qsizetype(a - from)] == (a >= first && a <= last), lines.join('|'));
            QCOMPARE(int(lines.size()), fewestTargets(first, last));
        }
        QCOMPARE(ruleTargets({0, 0xFFFFFFFFu}), QByteArrayList{"0.0.0.0/0"});
    }

    // Merged, and left out where an existing rule of the same type covers:
    // the list and the rules together still name the same addresses.
    void mergeAndCovered_data()
    {
        QTest::addColumn<QByteArrayList>("existing");
        QTest::addColumn<bool>("accept");
        QTest::addColumn<bool>("merge");
        QTest::addColumn<int>("lines");
        QTest::addColumn<int>("covered");
        const QByteArrayList none;
        const QByteArrayList rules{"REJECT 10.0.0.0/30", "REJECT 10.0.1.0-1", "ACCEPT 10.0.2.0/24", "# note"};
        QTest::newRow("merged") << none << false << true << 5 << 0;
        QTest::newRow("not merged") << none << false << false << 8 << 0;
        QTest::newRow("covered by rejecting rules") << rules << false << true << 4 << 2;
        QTest::newRow("covered by accepting rules") << rules << true << true << 5 << 1;
    }
    void mergeAndCovered()
    {
        QFETCH(QByteArrayList, existing);
        QFETCH(bool, accept);
        QFETCH(bool, merge);
        QFETCH(int, lines);
        QFETCH(int, covered);
        const QByteArray text = "10.0.0.1\n10.0.0.2-10.0.0.5\n10.0.0.6/31\n10.0.1.1\n10.0.2.0-10.0.3.9\n10.0.2.4\n"
                                "10.0.3.200/29\n";
        const AddressListRead read = readAddressList(text);
        ImportOptions options;
        options.accept = accept;
        options.merge = merge;
        const RuleLineStore store = RuleLineStore::fromList(existing);
        const ImportPlan plan = planImport(read.list, store.lines(), options);
        QCOMPARE(int(plan.lines.size()), lines);
        QCOMPARE(int(plan.covered), covered);

        const QByteArray type = accept ? "ACCEPT" : "REJECT";
        QByteArrayList before;
        for (const QByteArray &rule : existing)
            before.append(rule.startsWith(type) ? rule : QByteArray());
        QByteArrayList entries;
        for (const AddressSpan span : read.list.spans) {
            for (const QByteArray &target : ruleTargets(span))
                entries.append(type + ' ' + target);
        }
        QCOMPARE(namedAddresses(before + plan.lines, 0x0A000000, 0x0A000400),
                 namedAddresses(before + entries, 0x0A000000, 0x0A000400));
    }

    // What is exported and imported again gives the same rules, from a file
    // the Save's writer wrote.
    void roundTrip_data()
    {
        QTest::addColumn<int>("formatNumber");
        QTest::newRow("plain") << int(ListFormat::Plain);
        QTest::newRow("p2p") << int(ListFormat::P2P);
        QTest::newRow("rules.txt") << int(ListFormat::RuleSet);
    }
    void roundTrip()
    {
        QFETCH(int, formatNumber);
        const auto format = ListFormat(formatNumber);
        QByteArray text;
        QRandomGenerator random(7);
        for (int i = 0; i < 2000; ++i) {
            const quint32 a = 0x0A000000u + random.bounded(1u << 16);
            text += addressText(a).toLatin1() + '-' + addressText(a + random.bounded(600u)).toLatin1() + '\n';
        }
        const QByteArrayList imported = planImport(readAddressList(text).list, {}, {}).lines;
        const RuleLineStore store = RuleLineStore::fromList(imported + QByteArrayList{"ACCEPT 1.2.3.4", "junk"});

        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("export.txt"));
        const ExportResult exported = exportRules(store.lines(), format, ExportTypes::Reject);
        QCOMPARE(exported.rules, qint64(imported.size()));
        QCOMPARE(exported.skipped, qint64(2));
        writeExport(path, exported);
        const AddressListRead again = readAddressListFile(path);
        QVERIFY2(again.ok(), qPrintable(again.error));
        QCOMPARE(int(again.list.format), int(format));
        QCOMPARE(planImport(again.list, {}, {}).lines, imported);
        QVERIFY_THROWS_EXCEPTION(Error, writeExport(dir.filePath(QStringLiteral("no/such/dir")), exported));
    }

    // Refused whole, with the reason; or read, packed or not.
    void files_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<qint64>("size"); // made sparse to this size, when above zero
        QTest::addColumn<QString>("error");
        QTest::addColumn<qint64>("entries");
        const QByteArray list = QByteArray("x:1.2.3.4-1.2.3.9\n").repeated(5000);
        QTest::newRow("gzip") << gzip(list) << qint64(0) << QString() << qint64(5000);
        QTest::newRow("gzip, two members") << gzip(list) + gzip(list) << qint64(0) << QString() << qint64(10000);
        QTest::newRow("gzip, truncated") << gzip(list).chopped(30) << qint64(0) << "the compressed file is truncated"
                                         << qint64(0);
        QTest::newRow("gzip, damaged") << gzip(list).replace(20, 8, "garbage!") << qint64(0)
                                       << "the compressed file is damaged" << qint64(0);
        QTest::newRow("binary") << QByteArray("1.2.3.4\n\x7f"
                                              "ELF\0\x01",
                                              14)
                                << qint64(0) << "it is a binary file, not a list of addresses" << qint64(0);
        QTest::newRow("line of a megabyte") << "1.2.3.4\n" + QByteArray(kMaxAddressListLine + 1, ' ') << qint64(0)
                                            << "line 2 is longer than 1 MiB" << qint64(0);
        QTest::newRow("over 1 GiB") << QByteArray("1.2.3.4\n") << kMaxAddressListSize + 1 << "larger than 1 GiB"
                                    << qint64(0);
    }
    void files()
    {
        QFETCH(QByteArray, content);
        QFETCH(qint64, size);
        QFETCH(QString, error);
        QFETCH(qint64, entries);
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("list.gz")));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
        if (size > 0)
            QVERIFY(file.resize(size));
        file.close();
        const AddressListRead read = readAddressListFile(file.fileName());
        QVERIFY2(read.error.contains(error), qPrintable(read.error));
        QVERIFY(read.error.isEmpty() || read.error.contains(QDir::toNativeSeparators(file.fileName())));
        QCOMPARE(read.list.entries, entries);
    }

    void cancel()
    {
        std::atomic<bool> stop = false;
        qint64 reports = 0;
        const LongRun run{[&](qint64, qint64) { stop = ++reports == 2; }, &stop};
        const AddressListRead read = readAddressList(QByteArray("1.2.3.4\n").repeated(1 << 20), {}, run);
        QVERIFY(read.cancelled && !read.ok());
        QCOMPARE(read.list.entries, qint64(0));
        QCOMPARE(reports, qint64(2));
    }
};

QTEST_GUILESS_MAIN(TestAddressList)
#include "tst_addresslist.moc"
