// Importing a published block list: a 1,000,000-line P2P list read, merged
// and turned into rule lines, then also added to the rule list as the
// dialog's OK does, beside reading the same bytes and finding their lines.
// Goal: under 2 s and under 300 MB peak. Each measure runs in a process of
// its own, so that its peak memory is its own. It prints; it asserts nothing.
//
// Usage: bench_import [lines]

#include "ProcessMeasures.h"
#include "config/AtomicFile.h"
#include "rules/AddressList.h"
#include "rules/RuleListModel.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <cstdio>
#include <cstring>

using namespace vellamor;

namespace {

// Ranges of a few hundred addresses scattered over the space, some
// overlapping their neighbours, as the large published lists are.
QByteArray p2pList(int count)
{
    QRandomGenerator random(25);
    QByteArray list;
    list.reserve(qsizetype(count) * 48);
    for (int i = 0; i < count; ++i) {
        const quint32 first = random.generate();
        const quint32 last = first + qMin(~first, random.bounded(600u));
        list += "Entry " + QByteArray::number(i) + " of a list:" + addressText(first).toLatin1() + '-' +
                addressText(last).toLatin1() + '\n';
    }
    return list;
}

// One measure, in this process: prints its time and processor time in ms
// (the machine may be shared) and its peak in KiB.
int child(const QByteArray &what, const QString &path)
{
    const qint64 start = bench::nowNs();
    qint64 items = 0;
    if (what == "read") {
        const BoundedRead read = readFileBounded(path, kMaxAddressListSize);
        const char *data = read.content.constData();
        const char *const end = data + read.content.size();
        while ((data = static_cast<const char *>(std::memchr(data, '\n', size_t(end - data))))) {
            ++data;
            ++items;
        }
    } else if (what == "import") {
        const AddressListRead read = readAddressListFile(path);
        items = qint64(planImport(read.list, {}, {}).lines.size());
    } else {
        // What OK does in the window: the planned lines into the rule list.
        const AddressListRead read = readAddressListFile(path);
        RuleListModel rules;
        rules.insertLines(0, planImport(read.list, {}, {}).lines);
        items = rules.rowCount();
    }
    std::printf("%.1f %.1f %lld %lld\n", double(bench::nowNs() - start) / 1e6, bench::cpuMs(),
                qint64(bench::peakMemoryKiB()), items);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 4 && args[1] == QLatin1String("--child"))
        return child(args[2].toLatin1(), args[3]);

    const int count = args.size() > 1 ? args[1].toInt() : 1'000'000;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("list.p2p"));
    const QByteArray list = p2pList(count);
    writeFileAtomically(path, list, NewFileAccess::Default);

    std::printf("%d lines, %.1f MB\n", count, double(list.size()) / 1e6);
    std::printf("%-24s %10s %8s %10s %8s %10s %10s\n", "", "time (ms)", "ratio", "cpu (ms)", "ratio", "peak (MB)",
                "out");
    double base = 0;
    double cpuBase = 0;
    for (const char *what : {"read", "import", "add"}) {
        double bestMs = 1e12;
        double bestCpu = 1e12;
        qint64 peak = 0;
        qint64 items = 0;
        for (int run = 0; run < 3; ++run) {
            QProcess process;
            process.start(app.applicationFilePath(), {QStringLiteral("--child"), QString::fromLatin1(what), path});
            process.waitForFinished(-1);
            const QList<QByteArray> figures = process.readAllStandardOutput().trimmed().split(' ');
            if (figures.size() != 4) {
                std::fprintf(stderr, "%s: no figures\n", what);
                return 1;
            }
            bestMs = qMin(bestMs, figures[0].toDouble());
            bestCpu = qMin(bestCpu, figures[1].toDouble());
            peak = qMax(peak, figures[2].toLongLong());
            items = figures[3].toLongLong();
        }
        if (base == 0) {
            base = bestMs;
            cpuBase = bestCpu;
        }
        std::printf("%-24s %10.1f %8.1f %10.1f %8.1f %10.1f %10lld\n",
                    std::strcmp(what, "read") == 0     ? "read bytes, find lines"
                    : std::strcmp(what, "import") == 0 ? "read, merge, rule lines"
                                                       : "... and into the list",
                    bestMs, bestMs / base, bestCpu, bestCpu / cpuBase, double(peak) / 1024.0, items);
    }
    return 0;
}
