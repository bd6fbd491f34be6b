// What the rule editor adds to an edit of a large rule set: moving one rule
// with Ctrl+Down and finding the rules that cover an address, at 100,000
// rules, in the Security page (find filter, warning signs, the modified mark)
// beside the same edit in a bare list view over the same rule model, in the
// same run. Each figure includes the layout and paint the edit sets off. The
// checks behind the warning signs run after the edits and are timed by
// bench_rulecheck. It prints; it asserts nothing.
//
// Usage: bench_ruleeditor       (offscreen unless QT_QPA_PLATFORM is set)

#include "BenchSupport.h"
#include "FakePlatform.h"
#include "rules/RuleListModel.h"
#include "rules/RuleSetFile.h"
#include "window/VellamorDesktopMain.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QListView>
#include <QRandomGenerator>
#include <QTabWidget>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using vellamor::RuleListModel;
using vellamor::test::FakePlatform;

namespace {

constexpr int kRules = 100000;
constexpr int kRepeats = 100;

QList<QByteArray> ruleLines()
{
    QRandomGenerator random(16);
    QList<QByteArray> lines;
    for (int i = 0; i < kRules; ++i) {
        const quint32 a = random.generate();
        const QByteArray address = QByteArray::number(10) + '.' + QByteArray::number((a >> 16) & 255) + '.' +
                                   QByteArray::number((a >> 8) & 255) + '.' + QByteArray::number(a & 255);
        lines << (i % 3 ? "ACCEPT " + address : "REJECT " + address + "/24");
    }
    return lines;
}

void settle()
{
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

// The median of the runs, in milliseconds.
double median(const std::function<void(int)> &work)
{
    std::vector<double> runs;
    QElapsedTimer clock;
    for (int i = 0; i < kRepeats; ++i) {
        clock.start();
        work(i);
        settle();
        runs.push_back(double(clock.nsecsElapsed()) / 1e6);
    }
    std::sort(runs.begin(), runs.end());
    return runs[runs.size() / 2];
}

void row(const char *what, double page, double bare)
{
    std::printf("  %-34s page %8.3f ms   bare list %8.3f ms   x%.2f\n", what, page, bare, page / bare);
}

} // namespace

int main(int argc, char **argv)
{
    vellamor::bench::preferOffscreen();
    QApplication app(argc, argv);

    const QList<QByteArray> lines = ruleLines();
    FakePlatform fake;
    {
        QFile file(fake.path(QStringLiteral("rules.txt")));
        if (!file.open(QIODevice::WriteOnly) ||
            file.write(vellamor::composeRuleSet(vellamor::Policy::Reject,
                                                vellamor::RuleLineStore::fromList(lines).lines())) < 0)
            return 1;
    }
    TForm3 window(fake.platform());
    window.FormCreate();
    window.PageControl1->setCurrentWidget(window.TabSheet4Config);
    window.PageControl2->setCurrentWidget(window.TabSheet2ConfigSecurity);
    window.show();

    RuleListModel bareModel;
    bareModel.appendLines(lines);
    QListView bare;
    bare.setUniformItemSizes(true);
    bare.setModel(&bareModel);
    bare.resize(window.RulesList->size());
    bare.show();
    if (!QTest::qWaitForWindowExposed(&window) || !QTest::qWaitForWindowExposed(&bare))
        return 1;
    window.activateWindow();
    settle();

    std::printf("%d rules\n", kRules);
    const int middle = kRules / 2;
    window.RulesList->setCurrentIndex(window.RulesList->model()->index(middle, 0));
    // The handler of Ctrl+Down and the Move Down button.
    const double pageMove = median([&](int) { window.MoveRuleDown1->trigger(); });
    if (window.RulesList->currentIndex().row() != middle + kRepeats)
        std::printf("  (the rule did not move as it should)\n");
    bare.setCurrentIndex(bareModel.index(middle, 0));
    const double bareMove = median([&](int) {
        const int at = bare.currentIndex().row();
        bareModel.moveRows({}, at, 1, {}, at + 2);
        bare.scrollTo(bare.currentIndex());
    });
    row("move one rule down", pageMove, bareMove);

    // Typing the last character of an address, then clearing the field;
    // beside the bare list laid out afresh from a reset.
    const double pageFind =
        median([&](int i) { window.RulesFilter_txt->setText(i % 2 ? QString() : QStringLiteral("10.7.7.7")); });
    const double bareReset = median([&](int) {
        bareModel.clear();
        bareModel.appendLines(lines);
    });
    row("find an address / clear the find", pageFind, bareReset);
    return 0;
}
