// The Save as the administrator waits for it: the Save button of the window
// at 100,000 rules, one rule changed before each, with the configuration
// history recording beside it, against the same window where history.git
// cannot be opened (a plain file stands in its place), so the Save goes on
// without history. The record runs after the Save's own writes, on a thread
// of its own; its cost is printed apart: the time until it has finished too.
// It prints; it asserts nothing.
//
// Usage: bench_windowsave [saves]   (offscreen unless QT_QPA_PLATFORM is set)

#include "BenchSupport.h"
#include "FakePlatform.h"
#include "ProcessMeasures.h"
#include "rules/RuleListModel.h"
#include "window/History.h"
#include "window/VellamorDesktopMain.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <vector>

using namespace vellamor;
using vellamor::test::FakePlatform;

namespace {

constexpr int kRules = 100000;

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Figures
{
    double save = 0;     // the button's click, until the window is back
    double recorded = 0; // until the history's record has finished too
    double cpu = 0;      // this process's processor time for the whole of it
};

Figures measure(bool history, int saves)
{
    FakePlatform fake;
    writeFile(fake.path(QStringLiteral("rules.txt")), bench::blockListRules(kRules));
    writeFile(fake.path(QStringLiteral("gc.xml")), "<global/>");
    writeFile(fake.path(QStringLiteral("default.key")), "key");
    writeFile(fake.path(QStringLiteral("default.cer")), "cer");
    if (!history)
        writeFile(fake.path(QStringLiteral("history.git")), "not a repository");
    TForm3 window(fake.platform());
    window.FormCreate();
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return {};
    window.historyArea().finish(); // the first start's record of the files found
    auto *save = window.findChild<QPushButton *>(QStringLiteral("Button1"));
    RuleListModel *rules = window.rulesModel();
    std::vector<double> saved, recorded, cpu;
    for (int i = 0; i < saves; ++i) {
        rules->replaceLine(i, RuleListModel::bytesOf(QStringLiteral("ACCEPT 10.9.%1.1").arg(i % 250)));
        QCoreApplication::processEvents();
        const double cpuBefore = bench::cpuMs();
        QElapsedTimer clock;
        clock.start();
        QTest::mouseClick(save, Qt::LeftButton);
        saved.push_back(double(clock.nsecsElapsed()) / 1e6);
        window.historyArea().finish();
        recorded.push_back(double(clock.nsecsElapsed()) / 1e6);
        cpu.push_back(bench::cpuMs() - cpuBefore);
    }
    // Each Save of the history run must have become a commit, or the
    // figures say nothing.
    if (history && window.historyArea().history().entries().entries.size() < qsizetype(saves) + 1)
        std::fprintf(stderr, "the history holds fewer entries than there were Saves\n");
    return {median(saved), median(recorded), median(cpu)};
}

} // namespace

int main(int argc, char **argv)
{
    bench::preferOffscreen();
    QApplication app(argc, argv);
    const int saves = argc > 1 ? qMax(3, atoi(argv[1])) : 15;
    const Figures without = measure(false, saves);
    const Figures with = measure(true, saves);
    if (without.save <= 0 || with.save <= 0) {
        std::fprintf(stderr, "no figures\n");
        return 1;
    }
    std::printf("the window's Save at %d rules, median of %d (ms)\n", kRules, saves);
    std::printf("%-26s %10s %8s %14s %8s %10s %8s\n", "", "save", "ratio", "and recorded", "ratio", "cpu", "ratio");
    for (const auto &[name, f] : {std::pair{"without history", without}, std::pair{"with history", with}})
        std::printf("%-26s %10.1f %8.2f %14.1f %8.2f %10.1f %8.2f\n", name, f.save, f.save / without.save, f.recorded,
                    f.recorded / without.save, f.cpu, f.cpu / without.cpu);
    return 0;
}
