// How long the panel takes from the start of the process to its first painted
// window, and how much memory it holds by then, for the defaults and for rule
// sets of 10,000, 100,000 and 1,000,000 lines, beside a bare QMainWindow of the
// same size measured in the same run. Each start runs in a fresh process (this
// program again, with --panel or --bare), so that every one pays for loading
// the libraries, the fonts, the style and the platform plugin as a real start
// does; the clock runs from just before the process is started. Beside that
// wall-clock time, each start reports the processor time it used (user and
// system), which another build on the machine disturbs far less. The figures
// are medians, with the fastest start of each case beside them: on a machine
// shared with other work the medians wander (the bare window's between two
// levels a quarter apart from one run to the next), the fastest starts far
// less.
// It prints; it asserts nothing.
//
// Usage: bench_startup [--rounds N] [--defaults-only]
//        (every case, or the bare windows and the defaults only; offscreen unless QT_QPA_PLATFORM is set)

#include "FakeDialogs.h"
#include "Platform.h"
#include "ProcessMeasures.h"
#include "window/VellamorDesktopMain.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMainWindow>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>

namespace {

using vellamor::bench::cpuMs;
using vellamor::bench::nowNs;
using vellamor::bench::peakMemoryKiB;

// Reports once the window has painted and that paint has reached the screen.
class FirstPaint : public QObject
{
public:
    FirstPaint(QWidget *window, qint64 startedNs) : m_window(window), m_startedNs(startedNs)
    {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_window && event->type() == QEvent::Paint && !m_seen) {
            m_seen = true;
            // The paint in progress is flushed before the loop turns again.
            QTimer::singleShot(0, this, [this] {
                std::printf("%.3f %lld %d %d %.3f\n", double(nowNs() - m_startedNs) / 1e6, peakMemoryKiB(),
                            m_window->width(), m_window->height(), cpuMs());
                std::fflush(stdout);
                // The measure ends here: tearing the window down is no part
                // of a start, and left out it also stays out of a profile
                // (callgrind) of this process.
                std::_Exit(0);
            });
        }
        return false;
    }

private:
    QWidget *m_window;
    qint64 m_startedNs;
    bool m_seen = false;
};

// One start, in this process: the panel as the program starts it (without the
// splash), or a bare window of the given size, with one label or without.
int runCase(int argc, char **argv, qint64 startedNs, const QString &dir, std::optional<QSize> bareSize,
            bool label = false)
{
    QApplication app(argc, argv);
    std::unique_ptr<QMainWindow> window;
    if (bareSize) {
        window = std::make_unique<QMainWindow>();
        window->resize(*bareSize);
        if (label)
            window->setCentralWidget(new QLabel(QStringLiteral("Vellamor Application Server")));
    } else {
        vellamor::platform::Platform platform = vellamor::platform::makeSystemPlatform();
        // A message box would wait for a user: record it instead.
        platform.dialogs = std::make_shared<vellamor::test::FakeDialogs>();
        platform.fileSystem = std::make_shared<vellamor::platform::LocalFileSystem>(dir);
        auto form = std::make_unique<TForm3>(platform);
        form->FormCreate();
        window = std::move(form);
    }
    if (const QScreen *screen = window->screen()) {
        QRect frame = window->frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        window->move(frame.topLeft());
    }
    FirstPaint probe(window.get(), startedNs);
    window->show();
    window->raise();
    window->activateWindow();
    return app.exec();
}

struct Sample
{
    double ms = 0;
    qint64 kib = 0;
    QSize size;
    double cpuMs = 0;
};

// Runs one start in a child process; nothing when it fails or takes too long.
std::optional<Sample> runChild(QStringList arguments, int timeoutMs)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        arguments << QStringLiteral("-platform") << QStringLiteral("offscreen");
    const std::optional<QList<QByteArray>> fields = vellamor::bench::runChild(arguments, 5, timeoutMs);
    if (!fields)
        return std::nullopt;
    const QList<QByteArray> &f = *fields;
    return Sample{f[0].toDouble(), f[1].toLongLong(), QSize(f[2].toInt(), f[3].toInt()), f[4].toDouble()};
}

// A gc.xml whose two services each listen on 1,000 addresses.
QByteArray manyAddresses()
{
    QByteArray ips;
    for (int i = 0; i < 1000; ++i)
        ips += "<IP>10.1." + QByteArray::number(i / 250) + '.' + QByteArray::number(i % 250 + 1) + "</IP>";
    return "<?xml version=\"1.0\"?><global><ACC><port>88</port><maxcon>0</maxcon>" + ips +
           "</ACC><Management><port>1011</port><password>p</password>" + ips + "</Management></global>";
}

struct Case
{
    const char *name;
    int rules;      // -1: no rules.txt
    bool addresses; // gc.xml with 1,000 addresses per list
    int rounds;     // 0: every round
};

double fastest(const std::vector<double> &values)
{
    return values.empty() ? 0 : *std::min_element(values.begin(), values.end());
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    // A child: one start, then its figures on one line.
    const qint64 startedNs = vellamor::bench::startedNs(argc, argv);
    for (int i = 1; i + 1 < argc; ++i) {
        if (qstrcmp(argv[i], "--panel") == 0)
            return runCase(argc, argv, startedNs, QString::fromLocal8Bit(argv[i + 1]), std::nullopt);
        if (qstrcmp(argv[i], "--bare") == 0 || qstrcmp(argv[i], "--labelled") == 0) {
            const QList<QByteArray> size = QByteArray(argv[i + 1]).split('x');
            return runCase(argc, argv, startedNs, QString(), QSize(size.value(0).toInt(), size.value(1).toInt()),
                           qstrcmp(argv[i], "--labelled") == 0);
        }
    }

    QCoreApplication app(argc, argv);
    constexpr int kTimeoutMs = 20000;
    const Case cases[] = {
        {"defaults (no gc.xml, no rules.txt)", -1, false, 0},
        {"empty rules.txt", 0, false, 0},
        {"10,000 rules", 10000, false, 0},
        {"100,000 rules", 100000, false, 0},
        {"1,000,000 rules", 1000000, false, 3},
        {"1,000 addresses per list", -1, true, 5},
    };
    QTemporaryDir root;
    QStringList dirs;
    for (const Case &c : cases) {
        const QString dir = root.filePath(QString::number(dirs.size()));
        QDir().mkpath(dir);
        if (c.rules >= 0) {
            QFile file(dir + QStringLiteral("/rules.txt"));
            if (!file.open(QIODevice::WriteOnly) ||
                file.write(c.rules ? vellamor::bench::blockListRules(c.rules) : QByteArray()) < 0)
                return 1;
        }
        if (c.addresses) {
            QFile file(dir + QStringLiteral("/gc.xml"));
            if (!file.open(QIODevice::WriteOnly) || file.write(manyAddresses()) < 0)
                return 1;
        }
        dirs << dir;
    }

    // The bare window takes the size the panel opens with.
    const std::optional<Sample> probe = runChild({QStringLiteral("--panel"), dirs[0]}, kTimeoutMs);
    if (!probe) {
        std::printf("the panel did not start\n");
        return 1;
    }
    const QString bareSize = QStringLiteral("%1x%2").arg(probe->size.width()).arg(probe->size.height());

    // Rounds interleave the cases, so that a busy moment of the machine
    // spreads over all of them rather than spoiling one.
    int rounds = 9;
    bool defaultsOnly = false;
    for (int i = 1; i < argc; ++i) {
        if (qstrcmp(argv[i], "--rounds") == 0 && i + 1 < argc)
            rounds = qMax(1, QByteArray(argv[i + 1]).toInt());
        defaultsOnly = defaultsOnly || qstrcmp(argv[i], "--defaults-only") == 0;
    }
    std::vector<double> bareMs, bareKib, bareCpu, labelMs, labelKib, labelCpu;
    std::vector<std::vector<double>> ms(std::size(cases)), kib(std::size(cases)), cpu(std::size(cases));
    std::vector<bool> failed(std::size(cases), false);
    for (int round = 0; round < rounds; ++round) {
        if (const std::optional<Sample> s = runChild({QStringLiteral("--bare"), bareSize}, kTimeoutMs)) {
            bareMs.push_back(s->ms);
            bareKib.push_back(double(s->kib));
            bareCpu.push_back(s->cpuMs);
        }
        if (const std::optional<Sample> s = runChild({QStringLiteral("--labelled"), bareSize}, kTimeoutMs)) {
            labelMs.push_back(s->ms);
            labelKib.push_back(double(s->kib));
            labelCpu.push_back(s->cpuMs);
        }
        for (size_t i = 0; i < std::size(cases); ++i) {
            if ((cases[i].rounds > 0 && round >= cases[i].rounds) || failed[i] || (defaultsOnly && i > 0))
                continue;
            if (const std::optional<Sample> s = runChild({QStringLiteral("--panel"), dirs[int(i)]}, kTimeoutMs)) {
                ms[i].push_back(s->ms);
                kib[i].push_back(double(s->kib));
                cpu[i].push_back(s->cpuMs);
            } else {
                failed[i] = true;
            }
        }
    }

    const double bare = median(bareMs);
    const double bareBest = fastest(bareMs);
    const double bareMem = median(bareKib);
    const double bareProcessor = median(bareCpu);
    std::printf("Start to first painted window (median of %d), window %s, platform %s\n", rounds, qPrintable(bareSize),
                qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") ? "offscreen"
                                                               : qPrintable(qEnvironmentVariable("QT_QPA_PLATFORM")));
    std::printf("  %-38s %9s %7s %9s %7s %9s %7s %10s %7s\n", "case", "ms", "x bare", "cpu ms", "x bare", "best ms",
                "x bare", "peak MiB", "x bare");
    const auto row = [&](const char *name, const std::vector<double> &t, const std::vector<double> &c,
                         const std::vector<double> &m) {
        std::printf("  %-38s %9.1f %7.2f %9.1f %7.2f %9.1f %7.2f %10.1f %7.2f\n", name, median(t), median(t) / bare,
                    median(c), median(c) / bareProcessor, fastest(t), fastest(t) / bareBest, median(m) / 1024,
                    median(m) / bareMem);
    };
    row("bare QMainWindow", bareMs, bareCpu, bareKib);
    // What showing any text at all costs (the fonts), for scale.
    row("bare QMainWindow with one label", labelMs, labelCpu, labelKib);
    for (size_t i = 0; i < (defaultsOnly ? 1 : std::size(cases)); ++i) {
        if (ms[i].empty() || failed[i]) {
            std::printf("  %-38s did not paint within %d s\n", cases[i].name, kTimeoutMs / 1000);
            continue;
        }
        row(cases[i].name, ms[i], cpu[i], kib[i]);
    }
    if (!ms[1].empty() && !ms[3].empty() && !failed[3]) {
        std::printf("100,000 rules against an empty rules.txt: %+.1f ms, peak memory x%.2f\n",
                    median(ms[3]) - median(ms[1]), median(kib[3]) / median(kib[1]));
    }
    return 0;
}
