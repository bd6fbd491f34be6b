// What opening the largest rules.txt the panel accepts costs: the time from
// the start of the process until the window has painted and the Security
// page's checks have run over every line, and the peak memory by then, for a
// million rules, the largest file of rules accepted (32 MiB), the most lines
// accepted (4,000,000 empty ones, the shape that costs most per byte), and
// the files just past each limit, which are refused. Each start runs in a
// fresh process (this program again, with --open); the baseline is the same
// start on an empty rules.txt in the same run, and each file's memory is
// given beyond that baseline as a multiple of the file's size.
// It prints; it asserts nothing.
//
// Usage: bench_rulesfile [--rounds N]   (offscreen unless QT_QPA_PLATFORM is set)

#include "BenchSupport.h"
#include "FakeDialogs.h"
#include "Platform.h"
#include "ProcessMeasures.h"
#include "models/RuleFilterModel.h"
#include "rules/RuleListModel.h"
#include "rules/RuleSetFile.h"
#include "window/VellamorDesktopMain.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <vector>

using namespace vellamor;
using bench::nowNs;

namespace {

// One start in this process: the panel on `dir`, reported once it has
// painted and checked its rules, or at once after a refusal.
int openCase(int argc, char **argv, qint64 startedNs, const QString &dir)
{
    bench::preferOffscreen();
    QApplication app(argc, argv);
    platform::Platform platform = platform::makeSystemPlatform();
    auto dialogs = std::make_shared<test::FakeDialogs>();
    platform.dialogs = dialogs;
    platform.fileSystem = std::make_shared<platform::LocalFileSystem>(dir);
    TForm3 form(platform);
    form.FormCreate();
    bool painted = false;
    bool checked = form.rulesModel()->rowCount() == 0;
    const auto report = [&] {
        if (!painted || !checked)
            return;
        std::printf("%.3f %lld %d\n", double(nowNs() - startedNs) / 1e6, bench::peakMemoryKiB(),
                    int(dialogs->boxes.size()));
        std::fflush(stdout);
        std::_Exit(0);
    };
    if (auto *checks = form.findChild<RuleFilterModel *>())
        QObject::connect(checks, &RuleFilterModel::analysed, &form, [&] { checked = true, report(); });
    form.show();
    QTimer::singleShot(0, &form, [&] { painted = true, report(); });
    return app.exec();
}

struct Sample
{
    double ms = 0;
    qint64 kib = 0;
    int boxes = 0;
};

std::optional<Sample> runChild(const QString &dir)
{
    const std::optional<QList<QByteArray>> fields = bench::runChild({QStringLiteral("--open"), dir}, 3, 60000);
    if (!fields)
        return std::nullopt;
    return Sample{(*fields)[0].toDouble(), (*fields)[1].toLongLong(), (*fields)[2].toInt()};
}

template<typename T> T median(std::vector<T> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? T() : values[values.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    const qint64 startedNs = bench::startedNs(argc, argv);
    for (int i = 1; i + 1 < argc; ++i) {
        if (qstrcmp(argv[i], "--open") == 0)
            return openCase(argc, argv, startedNs, QString::fromLocal8Bit(argv[i + 1]));
    }
    int rounds = 3;
    for (int i = 1; i + 1 < argc; ++i) {
        if (qstrcmp(argv[i], "--rounds") == 0)
            rounds = qMax(1, QByteArray(argv[i + 1]).toInt());
    }

    QCoreApplication app(argc, argv);
    const qsizetype maxSize = kMaxRuleSetFileSize;
    struct Case
    {
        const char *name;
        QByteArray file;
    };
    std::vector<Case> cases;
    cases.push_back({"empty rules.txt (baseline)", QByteArray()});
    cases.push_back({"1,000,000 rules", bench::blockListRules(1'000'000)});
    cases.push_back({"largest accepted: 32 MiB of rules", bench::blockListRules(kMaxRuleSetLines, maxSize)});
    cases.push_back({"most lines accepted: 4,000,000 empty", QByteArray(kMaxRuleSetLines, '\n')});
    cases.push_back({"refused: 32 MiB + 1 byte", QByteArray(maxSize + 1, '\n')});
    cases.push_back({"refused: 4,000,001 lines", QByteArray(kMaxRuleSetLines + 1, '\n')});
    // The old case: 16 MB of line feeds, which is now refused.
    cases.push_back({"16 MB of line feeds", QByteArray(16'000'000, '\n')});

    QTemporaryDir root;
    QStringList dirs;
    for (const Case &c : cases) {
        const QString dir = root.filePath(QString::number(dirs.size()));
        QDir().mkpath(dir);
        QFile file(dir + QStringLiteral("/rules.txt"));
        if (!file.open(QIODevice::WriteOnly) || file.write(c.file) != c.file.size())
            return 1;
        dirs << dir;
    }
    std::vector<std::vector<double>> ms(cases.size());
    std::vector<std::vector<qint64>> kib(cases.size());
    std::vector<int> boxes(cases.size(), -1);
    for (int round = 0; round < rounds; ++round) {
        for (size_t i = 0; i < cases.size(); ++i) {
            if (const std::optional<Sample> s = runChild(dirs[int(i)])) {
                ms[i].push_back(s->ms);
                kib[i].push_back(s->kib);
                boxes[i] = s->boxes;
            }
        }
    }
    const double baseKib = double(median(kib[0]));
    std::printf("Start until painted and checked (median of %d); memory beyond the empty rules.txt's\n", rounds);
    std::printf("  %-38s %9s %9s %10s %11s %9s %6s\n", "case", "file MiB", "open s", "peak MiB", "beyond MiB", "x file",
                "boxes");
    for (size_t i = 0; i < cases.size(); ++i) {
        if (ms[i].empty()) {
            std::printf("  %-38s did not open within 60 s\n", cases[i].name);
            continue;
        }
        const double fileMiB = double(cases[i].file.size()) / (1 << 20);
        const double beyond = (double(median(kib[i])) - baseKib) / 1024;
        std::printf("  %-38s %9.1f %9.2f %10.1f %11.1f %9.2f %6d\n", cases[i].name, fileMiB, median(ms[i]) / 1000,
                    double(median(kib[i])) / 1024, beyond, fileMiB > 0 ? beyond / fileMiB : 0.0, boxes[i]);
    }
    return 0;
}
