// How long the main window's event loop goes without a turn while the users-
// status poller and rules reloads face misbehaving management servers, beside
// the same figure for an idle window in the same run. Goal: under 50 ms in
// every case. It prints; it asserts nothing.
//
// Usage: bench_management [seconds per case, default 3]

#include "BenchSupport.h"
#include "FakePlatform.h"
#include "ManagementServer.h"
#include "management/Statusthread.h"
#include "window/VellamorDesktopMain.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <future>
#include <memory>

using namespace std::chrono_literals;
using vellamor::tools::ManagementServer;
using Behaviour = ManagementServer::Behaviour;

namespace {

// Each step of an exchange gives up after this long here (5 s in the
// product), so that every case sees several exchanges end by time-out.
constexpr auto kStepLimit = 500ms;
constexpr auto kPollCycle = 10ms;
constexpr auto kReloadEvery = 250ms;
constexpr auto kWarmUp = 300ms;

enum class Kind { Idle, Silent, Drip, OverlongLine, FullAcceptQueue };

struct Case
{
    const char *name;
    Kind kind;
};

// A stand-in server on a thread of its own, so that its work does not land
// on the event loop being measured.
class ServerThread : public QThread
{
public:
    explicit ServerThread(Kind kind) : m_kind(kind) {}

    quint16 startAndWaitForPort()
    {
        std::future<quint16> port = m_port.get_future();
        start();
        return port.get();
    }

protected:
    void run() override
    {
        ManagementServer server;
        bool listening = false;
        switch (m_kind) {
        case Kind::Silent:
            server.setBehaviour(Behaviour::Silent);
            listening = server.listen();
            break;
        case Kind::Drip:
            server.setBehaviour(Behaviour::Drip);
            server.setDripInterval(50ms);
            listening = server.listen();
            break;
        case Kind::OverlongLine:
            server.setBehaviour(Behaviour::OverlongLine);
            listening = server.listen();
            break;
        case Kind::FullAcceptQueue:
            listening = server.listenWithFullAcceptQueue();
            break;
        case Kind::Idle:
            break;
        }
        m_port.set_value(listening ? server.port() : 0);
        if (listening)
            exec();
    }

private:
    const Kind m_kind;
    std::promise<quint16> m_port;
};

struct Figures
{
    double longestGapMs = 0;
    int statusCycles = 0;
    int reloads = 0;
};

Figures measure(Kind kind, std::chrono::milliseconds duration)
{
    ServerThread serverThread(kind);
    const quint16 port = kind == Kind::Idle ? 0 : serverThread.startAndWaitForPort();

    vellamor::test::FakePlatform fake;
    fake.lineClients = vellamor::platform::makeQtLineClientFactory(kStepLimit);
    TForm3 form(fake.platform());
    // The idle window has no target: its poller wakes and skips every cycle.
    form.ManagementSettings.Host = QStringLiteral("127.0.0.1");
    form.ManagementSettings.Port = port;
    form.ManagementSettings.Password = QStringLiteral("pw");
    form.show();
    form.FormActivate();
    form.StatusPoller->setCycleInterval(kPollCycle);

    Figures figures;
    QObject::connect(&form, &TForm3::usersStatusShown, &form, [&figures] { ++figures.statusCycles; });

    // A save's reload, over and over.
    QTimer reloads;
    if (kind != Kind::Idle) {
        reloads.setInterval(kReloadEvery);
        QObject::connect(&reloads, &QTimer::timeout, &form, [&form, &figures] {
            form.Timer3->start();
            ++figures.reloads;
        });
        reloads.start();
    }

    vellamor::bench::EventLoopGaps gaps(&form);

    // The first turns paint the new window; they are the same in every case.
    QEventLoop loop;
    QTimer::singleShot(kWarmUp, &loop, &QEventLoop::quit);
    loop.exec();
    figures = {};
    QTimer::singleShot(duration, &loop, &QEventLoop::quit);
    gaps.start();
    loop.exec();
    gaps.stop();
    reloads.stop();

    form.close();
    serverThread.quit();
    serverThread.wait();
    figures.longestGapMs = gaps.longestMs();
    return figures;
}

} // namespace

int main(int argc, char **argv)
{
    vellamor::bench::preferOffscreen();
    QApplication app(argc, argv);

    int seconds = 3;
    if (argc > 1)
        seconds = qMax(1, QByteArray(argv[1]).toInt());
    const auto duration = std::chrono::milliseconds(seconds * 1000);

    const Case cases[] = {
        {"silent server", Kind::Silent},
        {"drip, byte by byte", Kind::Drip},
        {"over-long status line", Kind::OverlongLine},
        {"full accept queue", Kind::FullAcceptQueue},
    };

    std::printf("Longest gap between two turns of the main window's event loop\n");
    std::printf(
        "(%d s per case; poll cycle %lld ms, step limit %lld ms, a rules reload every %lld ms; goal < 50 ms)\n\n",
        seconds, qint64(kPollCycle.count()), qint64(kStepLimit.count()), qint64(kReloadEvery.count()));
    std::fflush(stdout);

    const Figures idle = measure(Kind::Idle, duration);
    std::printf("%-24s %14s %14s %14s %8s\n", "case", "longest gap", "idle window", "status cycles", "reloads");
    for (const Case &c : cases) {
        const Figures f = measure(c.kind, duration);
        std::printf("%-24s %11.2f ms %11.2f ms %14d %8d\n", c.name, f.longestGapMs, idle.longestGapMs, f.statusCycles,
                    f.reloads);
        std::fflush(stdout);
    }
    return 0;
}
