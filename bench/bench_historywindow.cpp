// Opening the history window on 1,000 saves of a 100,000-rule set, each
// changing one rule: from the click to the first painted window with the
// list filled, then selecting the newest save (its files read and diffed
// with the save before it) and comparing the oldest with the window. It
// prints; it asserts nothing.
//
// Usage: bench_historywindow [--saves N]   (default 1,000)

#include "HistorySets.h"
#include "dialogs/HistoryWindow.h"
#include "models/DiffLineModel.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <cstdio>

using namespace vellamor;
using namespace vellamor::bench::history_sets;

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    int saves = 1000;
    if (argc == 3 && QByteArray(argv[1]) == "--saves")
        saves = QByteArray(argv[2]).toInt();

    QRandomGenerator random(23);
    QByteArrayList rules;
    for (int i = 0; i < kRules; ++i)
        rules << rule(random);
    QTemporaryDir dir;
    {
        ConfigHistory writer(dir.path());
        writer.recordFound({kConfig, compose(rules)});
        for (int i = 1; i < saves; ++i) {
            rules[random.bounded(kRules)] = rule(random);
            const HistoryOutcome outcome = writer.recordSave({kConfig, compose(rules)});
            if (!outcome.recorded) {
                std::printf("save %d: not recorded: %s\n", i, qPrintable(outcome.failure));
                return 1;
            }
        }
    }
    rules[0] = rule(random);
    const ConfigSnapshot window{kConfig, compose(rules)};

    // A fresh history, as in a panel that has not opened the window before.
    ConfigHistory history(dir.path());
    QElapsedTimer clock;
    clock.start();
    HistoryWindow historyWindow(
        history, [&window]() -> const ConfigSnapshot & { return window; }, [] { return true; });
    historyWindow.setAttribute(Qt::WA_DeleteOnClose, false);
    historyWindow.show();
    QApplication::processEvents();
    std::printf("opening the history window on %d saves of %d rules: %.1f ms (%d rows)\n", saves, kRules, ms(clock),
                historyWindow.HistoryList->topLevelItemCount());

    clock.restart();
    historyWindow.HistoryList->setCurrentItem(historyWindow.HistoryList->topLevelItem(1));
    QApplication::processEvents();
    std::printf("selecting the newest save (read, diffed with the one before, shown): %.1f ms (%d diff rows)\n",
                ms(clock), historyWindow.diffModel()->rowCount());

    clock.restart();
    historyWindow.HistoryCompare->setCurrentIndex(1);
    historyWindow.HistoryList->setCurrentItem(
        historyWindow.HistoryList->topLevelItem(historyWindow.HistoryList->topLevelItemCount() - 1));
    QApplication::processEvents();
    std::printf("the oldest save against the window: %.1f ms (%d diff rows)\n", ms(clock),
                historyWindow.diffModel()->rowCount());
    return 0;
}
