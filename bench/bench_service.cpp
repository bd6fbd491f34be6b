// How long the main window's event loop goes without a turn while its systemd
// peer (the fake systemd of the tests, on a private bus) answers at once,
// answers after 3 s, never answers, or vanishes, beside the same figure for an
// idle window in the same run. The service timer ticks every 500 ms and a
// command is clicked every second. Goal: under 50 ms in every case. It prints;
// it asserts nothing.
//
// Usage: bench_service [seconds per case, default 7]

#include "BenchSupport.h"
#include "FakePlatform.h"
#include "PrivateSystemd.h"
#include "ServiceManager_systemd.h"
#include "window/VellamorDesktopMain.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QTimer>
#include <cstdio>

using namespace std::chrono_literals;
using vellamor::test::FakeSystemd;
using vellamor::test::PrivateBus;

namespace {

constexpr auto kTick = 500ms;
constexpr auto kCommandEvery = 1000ms;
constexpr auto kSlowAnswer = 3000ms;
constexpr auto kWarmUpLimit = 10s;

enum class Kind { Idle, AtOnce, Slow, Never, Vanishes };

struct Case
{
    const char *name;
    Kind kind;
};

// Every question is answered Yes at once and every error box OK: the
// benchmark clicks, nobody reads.
class AnsweringDialogs final : public vellamor::platform::Dialogs
{
public:
    vellamor::platform::Answer messageBox(QWidget *, const QString &text, const QString &, vellamor::platform::Buttons,
                                          vellamor::platform::Icon) override
    {
        if (text.startsWith(QLatin1StringView("Failed")))
            ++failures;
        return vellamor::platform::Answer::Yes;
    }
    QString openFile(QWidget *, const QString &) override { return {}; }
    QString existingDirectory(QWidget *, const QString &) override { return {}; }
    QString saveFile(QWidget *, const QString &) override { return {}; }
    int failures = 0;
};

struct Figures
{
    double longestGapMs = 0;
    int commands = 0;
    int failures = 0;
};

void spin(std::chrono::milliseconds duration)
{
    QEventLoop loop;
    QTimer::singleShot(duration, &loop, &QEventLoop::quit);
    loop.exec();
}

Figures measure(Kind kind, std::chrono::milliseconds duration)
{
    PrivateBus bus;
    FakeSystemd systemd(bus);
    vellamor::test::FakePlatform fake;
    auto dialogs = std::make_shared<AnsweringDialogs>();
    vellamor::platform::Platform platform = fake.platform();
    platform.dialogs = dialogs;
    if (kind != Kind::Idle) {
        if (!bus.start() || !systemd.start({QStringLiteral("inactive")})) {
            std::fprintf(stderr, "bench_service: cannot start the private bus and the fake systemd\n");
            std::exit(1);
        }
        platform.serviceManager = std::make_shared<vellamor::platform::SystemdServiceManager>(bus.address());
    }

    TForm3 form(platform);
    form.Timer2->setInterval(kTick);
    form.show();
    form.FormActivate();
    // The monitor opens, the first state shows and the first turns paint the
    // new window; they are the same in every case.
    QElapsedTimer warmUp;
    warmUp.start();
    while (form.status_lbl->text() == QLatin1StringView("Stopped") && warmUp.elapsed() < kWarmUpLimit.count())
        spin(10ms);
    spin(300ms);

    switch (kind) {
    case Kind::Slow:
        systemd.steer(QStringLiteral("Delay"), {QStringLiteral("*"), int(kSlowAnswer.count())});
        break;
    case Kind::Never:
        systemd.steer(QStringLiteral("Hang"), {QStringLiteral("*"), true});
        break;
    case Kind::Vanishes:
        systemd.stop();
        break;
    case Kind::Idle:
    case Kind::AtOnce:
        break;
    }

    Figures figures;
    dialogs->failures = 0;
    QTimer commands;
    commands.setInterval(kCommandEvery);
    QObject::connect(&commands, &QTimer::timeout, &form, [&form, &figures] {
        if (figures.commands++ % 2 == 0)
            form.StartService_lblClick();
        else
            form.StopService_lblClick();
    });

    vellamor::bench::EventLoopGaps gaps(&form);

    QEventLoop loop;
    QTimer::singleShot(duration, &loop, &QEventLoop::quit);
    gaps.start();
    commands.start();
    loop.exec();
    gaps.stop();
    commands.stop();

    form.close();
    figures.longestGapMs = gaps.longestMs();
    figures.failures = dialogs->failures;
    return figures;
}

} // namespace

int main(int argc, char **argv)
{
    vellamor::bench::preferOffscreen();
    QApplication app(argc, argv);

    int seconds = 7;
    if (argc > 1)
        seconds = qMax(1, QByteArray(argv[1]).toInt());
    const auto duration = std::chrono::milliseconds(seconds * 1000);

    const Case cases[] = {
        {"answers at once", Kind::AtOnce},
        {"answers after 3 s", Kind::Slow},
        {"never answers", Kind::Never},
        {"vanishes", Kind::Vanishes},
    };

    std::printf("Longest gap between two turns of the main window's event loop\n");
    std::printf("(%d s per case; service timer every %lld ms, a command every %lld ms; goal < 50 ms)\n\n", seconds,
                qint64(kTick.count()), qint64(kCommandEvery.count()));
    std::fflush(stdout);

    const Figures idle = measure(Kind::Idle, duration);
    std::printf("%-20s %14s %14s %9s %14s\n", "systemd", "longest gap", "idle window", "commands", "failure boxes");
    for (const Case &c : cases) {
        const Figures f = measure(c.kind, duration);
        std::printf("%-20s %11.2f ms %11.2f ms %9d %14d\n", c.name, f.longestGapMs, idle.longestGapMs, f.commands,
                    f.failures);
        std::fflush(stdout);
    }
    return 0;
}
