// What editing a large rule set costs on the Security page: adding and
// deleting one rule in a list of 100,000 (the list laid out and painted again
// each time), and a Save of the rule set beside a raw write of the same bytes
// in the same run. Then the address lists with 1,000 addresses: moving every
// one of them across and back, one click at a time. It prints; it asserts
// nothing.
//
// Usage: bench_rules [--addresses-only]   (offscreen unless QT_QPA_PLATFORM is set)

#include "BenchSupport.h"
#include "FakePlatform.h"
#include "rules/RuleListModel.h"
#include "rules/RuleSetFile.h"
#include "window/VellamorDesktopMain.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QRandomGenerator>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <algorithm>
#include <cstdio>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

using vellamor::test::FakePlatform;

namespace {

constexpr int kRules = 100000;
constexpr int kEdits = 200;
constexpr int kAddresses = 1000;

QByteArray ruleSet(int count)
{
    QRandomGenerator random(15);
    QByteArray file = "POLICY ACCEPT\r\n";
    for (int i = 0; i < count; ++i) {
        const quint32 a = random.generate();
        file += "REJECT " + QByteArray::number(a >> 24) + '.' + QByteArray::number((a >> 16) & 255) + '.' +
                QByteArray::number((a >> 8) & 255) + ".0/24\r\n";
    }
    return file;
}

// Lets the window do what an edit set off: the list's layout, then the paint.
void settle()
{
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

// Processor time this process has used so far, user and system, in ms: on a
// machine shared with other work it moves far less than the wall clock.
double cpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval &t) { return double(t.tv_sec) * 1e3 + double(t.tv_usec) / 1e3; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

double ms(const QElapsedTimer &clock)
{
    return double(clock.nsecsElapsed()) / 1e6;
}

struct Figures
{
    double median;
    double worst;
};

Figures figures(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return {values[values.size() / 2], values.back()};
}

// One rule appended as the Add Rule button appends the dialog's line.
void addRule(TForm3 &window, const QString &line)
{
    vellamor::RuleListModel *rules = window.rulesModel();
    rules->appendLine(vellamor::RuleListModel::bytesOf(line));
    window.RulesList->scrollTo(rules->index(rules->rowCount() - 1));
}

void selectRule(TForm3 &window, int row)
{
    window.RulesList->setCurrentIndex(window.RulesList->model()->index(row, 0));
}

int ruleCount(const TForm3 &window)
{
    return window.RulesList->model()->rowCount();
}

} // namespace

int main(int argc, char **argv)
{
    vellamor::bench::preferOffscreen();
    QApplication app(argc, argv);

    FakePlatform fake;
    {
        QFile file(fake.path(QStringLiteral("rules.txt")));
        if (!file.open(QIODevice::WriteOnly) || file.write(ruleSet(kRules)) < 0)
            return 1;
    }
    fake.addressTable->addresses.clear();
    for (int i = 0; i < kAddresses; ++i)
        fake.addressTable->addresses.push_back("10.2." + std::to_string(i / 250) + '.' + std::to_string(i % 250 + 1));

    TForm3 window(fake.platform());
    window.FormCreate();
    window.PageControl1->setCurrentWidget(window.TabSheet4Config);
    window.PageControl2->setCurrentWidget(window.TabSheet2ConfigSecurity);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;
    settle();

    QElapsedTimer clock;
    // The address lists alone, for a profile of them.
    const bool rules = !app.arguments().contains(QStringLiteral("--addresses-only"));
    if (rules) {
        std::printf("Security page with %d rules\n", ruleCount(window));
        std::vector<double> adds, deletes;
        for (int i = 0; i < kEdits; ++i) {
            clock.start();
            addRule(window, QStringLiteral("ACCEPT 10.%1.0.0/16").arg(i));
            settle();
            adds.push_back(ms(clock));
        }
        for (int i = 0; i < kEdits; ++i) {
            clock.start();
            // Right in the middle, where the most rows move up.
            selectRule(window, ruleCount(window) / 2);
            window.Delete1->trigger();
            settle();
            deletes.push_back(ms(clock));
        }
        const Figures add = figures(adds);
        const Figures del = figures(deletes);
        std::printf("  add one rule      median %8.3f ms  worst %8.3f ms\n", add.median, add.worst);
        std::printf("  delete one rule   median %8.3f ms  worst %8.3f ms\n", del.median, del.worst);

        // A Save of the rules beside writing the same bytes straight to a file,
        // once without and once with the flush to the disk that Save does.
        std::vector<double> saves, raws, syncedRaws;
        const QString rawPath = fake.path(QStringLiteral("raw.txt"));
        for (int i = 0; i < 9; ++i) {
            clock.start();
            window.SaveRules();
            saves.push_back(ms(clock));

            QFile saved(fake.path(QStringLiteral("rules.txt")));
            const QByteArray bytes = saved.open(QIODevice::ReadOnly) ? saved.readAll() : QByteArray();
            for (bool sync : {false, true}) {
                clock.start();
                QFile raw(rawPath);
                if (!raw.open(QIODevice::WriteOnly | QIODevice::Truncate) || raw.write(bytes) != bytes.size())
                    return 1;
                raw.flush();
                if (sync)
                    fsync(raw.handle());
                raw.close();
                (sync ? syncedRaws : raws).push_back(ms(clock));
            }
        }
        const double save = figures(saves).median;
        const double raw = figures(raws).median;
        const double syncedRaw = figures(syncedRaws).median;
        std::printf(
            "  save              median %8.3f ms  (raw write %.3f ms: x%.2f; raw write + fsync %.3f ms: x%.2f)\n", save,
            raw, save / raw, syncedRaw, save / syncedRaw);
    }

    // The address lists: every address across with ">", then back with "<",
    // one click each, as a user would.
    window.PageControl2->setCurrentWidget(window.TabSheet7ConfigApplication);
    settle();
    std::printf("Application Service page with %d addresses\n", window.SystemIPS->count());
    // Once with the lists painted after every click, as a user sees them, and
    // once with the clicks alone, which is what grows with the lists' length.
    for (bool painted : {true, false}) {
        for (bool forth : {true, false}) {
            QListWidget *from = forth ? window.SystemIPS : window.SelectedIPs;
            QToolButton *button = forth ? window.SpeedButton1 : window.SpeedButton2;
            const int moved = from->count();
            const double cpuBefore = cpuMs();
            clock.start();
            while (from->count() > 0) {
                from->setCurrentRow(0);
                button->click();
                if (painted)
                    settle();
            }
            settle();
            const double wall = ms(clock);
            std::printf("  move all %d one by one with %s, %s  %8.1f ms (processor %.1f ms)\n", moved,
                        forth ? "\">\"" : "\"<\"", painted ? "painted after each click" : "painted once at the end  ",
                        wall, cpuMs() - cpuBefore);
        }
    }
    clock.start();
    window.ActivateOnAll_chk->click();
    window.ActivateOnAll_chk->click();
    settle();
    std::printf("  tick and clear \"Activate on all Ips\"  %8.3f ms\n", ms(clock));
    return 0;
}
