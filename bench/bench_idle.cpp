// The cost of watching: the processor time an idle panel uses with its window
// open, against the same panel started with --tray, hidden in the
// notification area. Each runs in a process of its own on the same empty
// server directory, settles, then is measured over the same span. The hidden
// run needs a notification area (a desktop session, or Xvfb with a tray such
// as trayer); without one it says so and only the window is measured. It
// prints; it asserts nothing.
//
// Usage: bench_idle [seconds]

#include "FakeDialogs.h"
#include "Platform.h"
#include "ProcessMeasures.h"
#include "window/VellamorDesktopMain.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <memory>

using namespace vellamor;

namespace {

constexpr int kSettleMs = 3000;

int child(int argc, char **argv, bool inTray, const QString &dir, int seconds)
{
    QApplication app(argc, argv);
    platform::Platform platform = platform::makeSystemPlatform();
    // A message box would wait for a user: record it instead.
    platform.dialogs = std::make_shared<test::FakeDialogs>();
    platform.fileSystem = std::make_shared<platform::LocalFileSystem>(dir);
    TForm3 form(platform);
    form.FormCreate();
    if (inTray) {
        form.startInTray();
    } else {
        form.show();
        form.raise();
    }
    double before = 0;
    QTimer::singleShot(kSettleMs, &app, [&] { before = bench::cpuMs(); });
    QTimer::singleShot(kSettleMs + seconds * 1000, &app, [&] {
        std::printf("%.1f %d %d\n", bench::cpuMs() - before, form.tray().isShown() ? 1 : 0, form.isVisible() ? 1 : 0);
        std::fflush(stdout);
        QCoreApplication::exit(0);
    });
    return app.exec();
}

} // namespace

int main(int argc, char **argv)
{
    for (int i = 1; i + 3 < argc; ++i) {
        if (qstrcmp(argv[i], "--idle") == 0)
            return child(argc, argv, qstrcmp(argv[i + 1], "tray") == 0, QString::fromLocal8Bit(argv[i + 2]),
                         atoi(argv[i + 3]));
    }
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? qMax(1, atoi(argv[1])) : 30;
    QTemporaryDir dir;
    std::printf("idle for %d s after %d s to settle, each in a process of its own\n", seconds, kSettleMs / 1000);
    std::printf("%-32s %10s %10s %8s\n", "", "cpu (ms)", "per min", "ratio");
    double base = 0;
    for (const char *mode : {"window", "tray"}) {
        const std::optional<QList<QByteArray>> figures =
            bench::runChild({QStringLiteral("--idle"), QString::fromLatin1(mode), dir.path(), QString::number(seconds)},
                            3, (seconds + 30) * 1000);
        if (!figures) {
            std::fprintf(stderr, "%s: no figures\n", mode);
            return 1;
        }
        const double cpu = figures->at(0).toDouble();
        const bool hiddenInTray = figures->at(1) == "1" && figures->at(2) == "0";
        if (qstrcmp(mode, "tray") == 0 && !hiddenInTray) {
            std::printf("%-32s no notification area here: not measured\n", "hidden in the notification area");
            break;
        }
        if (base == 0)
            base = cpu;
        std::printf("%-32s %10.1f %10.1f %8.2f\n",
                    qstrcmp(mode, "window") == 0 ? "window open" : "hidden in the notification area", cpu,
                    cpu * 60.0 / seconds, base > 0 ? cpu / base : 0.0);
    }
    return 0;
}
