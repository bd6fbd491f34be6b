// What the configuration history costs at 100,000 rules: 1,000 Saves each
// changing one rule (each Save's time beside a Save of the same files
// without history, in the same run), the store's size after them, listing
// the 1,000 entries as the history window opens, reading an old entry's
// files, and diffs of two 100,000-rule sets. It prints; it asserts nothing.
//
// Usage: bench_history [--saves N]   (default 1,000)

#include "HistorySets.h"
#include "ProcessMeasures.h"
#include "config/AtomicFile.h"
#include "history/ConfigHistory.h"

#include <QCoreApplication>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

using namespace vellamor;
using namespace vellamor::bench::history_sets;

namespace {

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// The Save's own work, as the window does it: the rule set's bytes put
// together, then both files written.
QByteArray save(const QString &dir, const QByteArrayList &rules)
{
    QByteArray bytes = compose(rules);
    writeFileAtomically(dir + QStringLiteral("/gc.xml"), kConfig);
    writeFileAtomically(dir + QStringLiteral("/rules.txt"), bytes, NewFileAccess::Default);
    return bytes;
}

qint64 sizeOf(const QString &dir, qint64 *files)
{
    qint64 bytes = 0;
    *files = 0;
    QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        bytes += it.nextFileInfo().size();
        ++*files;
    }
    return bytes;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    int saves = 1000;
    if (argc == 3 && QByteArray(argv[1]) == "--saves")
        saves = QByteArray(argv[2]).toInt();

    QRandomGenerator random(23);
    QByteArrayList rules;
    for (int i = 0; i < kRules; ++i)
        rules << rule(random);
    QTemporaryDir withDir, withoutDir;
    ConfigHistory history(withDir.path());
    QByteArray current = save(withDir.path(), rules);
    history.recordFound({kConfig, current});

    std::vector<double> without, with, withCpu, withoutCpu;
    QElapsedTimer total;
    total.start();
    for (int i = 0; i < saves; ++i) {
        rules[random.bounded(kRules)] = rule(random);
        // A Save without history every tenth time, on a folder of its own,
        // so that both see the same machine at the same moment.
        if (i % 10 == 0) {
            const double cpu0 = bench::cpuMs();
            QElapsedTimer clock;
            clock.start();
            save(withoutDir.path(), rules);
            without.push_back(ms(clock));
            withoutCpu.push_back(bench::cpuMs() - cpu0);
        }
        const double cpu0 = bench::cpuMs();
        QElapsedTimer clock;
        clock.start();
        current = save(withDir.path(), rules);
        const HistoryOutcome outcome = history.recordSave({kConfig, current});
        with.push_back(ms(clock));
        withCpu.push_back(bench::cpuMs() - cpu0);
        if (!outcome.recorded) {
            std::printf("save %d: not recorded: %s\n", i, qPrintable(outcome.failure));
            return 1;
        }
    }
    std::printf("%d Saves of %d rules (%.1f MB), one rule changed each, in %.1f s\n", saves, kRules,
                double(current.size()) / 1e6, double(total.elapsed()) / 1e3);
    std::printf("  Save without history: median %7.1f ms wall, %7.1f ms cpu\n", median(without), median(withoutCpu));
    std::printf("  Save with history:    median %7.1f ms wall, %7.1f ms cpu  (%.2fx wall, %.2fx cpu)\n", median(with),
                median(withCpu), median(with) / median(without), median(withCpu) / median(withoutCpu));
    qint64 files = 0;
    const qint64 bytes = sizeOf(history.repositoryPath(), &files);
    std::printf("  history.git after them: %.1f MB in %lld files\n", double(bytes) / 1e6, qlonglong(files));

    // A fresh reader, as the history window opening in a new panel.
    QElapsedTimer clock;
    clock.start();
    ConfigHistory reader(withDir.path());
    const ConfigHistory::Listing listing = reader.entries();
    std::printf("listing %lld entries: %.1f ms\n", qlonglong(listing.entries.size()), ms(clock));
    if (listing.entries.size() < 2)
        return 1;

    clock.restart();
    const ConfigHistory::Files newest = reader.files(listing.entries.first().id);
    const double newestMs = ms(clock);
    clock.restart();
    const ConfigHistory::Files older = reader.files(listing.entries[listing.entries.size() / 2].id);
    std::printf("reading an entry's files: newest %.1f ms, the middle one %.1f ms\n", newestMs, ms(clock));

    clock.restart();
    double cpu0 = bench::cpuMs();
    QList<FileDiff> diff = diffSnapshots(older.files, newest.files);
    std::printf("diff of two %d-rule sets %lld Saves apart: %.1f ms wall, %.1f ms cpu (%lld hunks)\n", kRules,
                qlonglong(listing.entries.size() / 2), ms(clock), bench::cpuMs() - cpu0,
                qlonglong(diff[1].hunks.size()));
    QByteArrayList other;
    for (int i = 0; i < kRules; ++i)
        other << rule(random);
    const QByteArray unrelated = compose(other);
    clock.restart();
    cpu0 = bench::cpuMs();
    diff = diffSnapshots(newest.files, {kConfig, unrelated});
    std::printf("diff of two unrelated %d-rule sets: %.1f ms wall, %.1f ms cpu (%lld hunks)\n", kRules, ms(clock),
                bench::cpuMs() - cpu0, qlonglong(diff[1].hunks.size()));
    return 0;
}
