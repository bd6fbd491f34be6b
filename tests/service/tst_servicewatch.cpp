// What the administrator is told about the service while not looking: each
// row plays a timeline of what the page showed, what the management port
// answered and which commands were given, and lists the notices it gives.

#include "service/ServiceWatch.h"

#include <QTest>

using namespace vellamor;
using Kind = ServiceNotification::Kind;

class TestServiceWatch : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void timeline_data();
    void timeline();
};

namespace {

const QDateTime kStart(QDate(2026, 1, 5), QTime(3, 0), Qt::UTC);

const QHash<QString, ServiceDisplayState> kStates{
    {"R", ServiceDisplayState::Running},  {"S", ServiceDisplayState::Stopped},
    {"P", ServiceDisplayState::Paused},   {"U", ServiceDisplayState::Unavailable},
    {"g", ServiceDisplayState::Starting}, {"s", ServiceDisplayState::Stopping}};
const QHash<QString, ServiceCommandKind> kCommands{{"Start", ServiceCommandKind::Start},
                                                   {"Stop", ServiceCommandKind::Stop},
                                                   {"Pause", ServiceCommandKind::Pause},
                                                   {"Resume", ServiceCommandKind::Resume}};
const QStringList kKinds{"Stopped",       "RunningAgain", "ManagementSilent", "ManagementAnswering",
                         "CommandFailed", "Flapping"};

// "<seconds> <event>": a page state (R S P U g s), a = answered, n = no
// answer, t = a tick, c<Command> = confirmed, ok<Command> / fail<Command>
// [hidden] = its outcome.
QList<ServiceNotification> play(const QString &script)
{
    ServiceWatch watch;
    QList<ServiceNotification> out;
    for (const QString &step : script.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QStringList words = step.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        const QDateTime at = kStart.addSecs(words.at(0).toInt());
        const QString &event = words.at(1);
        if (kStates.contains(event))
            out << watch.serviceStateShown(kStates.value(event), at);
        else if (event == "a")
            out << watch.managementAnswered(at);
        else if (event == "n")
            out << watch.managementUnanswered(at);
        else if (event == "t")
            out << watch.timePassed(at);
        else if (event.startsWith("c"))
            watch.commandStarted(kCommands.value(event.mid(1)), at);
        else if (event.startsWith("ok"))
            out << watch.commandFinished(kCommands.value(event.mid(2)), true, false, at);
        else
            out << watch.commandFinished(kCommands.value(event.mid(4)), false, words.size() > 2, at);
    }
    return out;
}

} // namespace

void TestServiceWatch::timeline_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("kinds");
    QTest::addColumn<QString>("first"); // summary | body of the first notice, when the row checks it

    QTest::newRow("start-up says nothing") << "0 U, 1 R, 2 a, 3 a, 9 t"
                                           << ""
                                           << "";
    QTest::newRow("start-up while stopped") << "0 S, 1 n, 30 n"
                                            << ""
                                            << "";
    QTest::newRow("crash at night") << "0 R, 1 a, 3600 S"
                                    << "Stopped"
                                    << "Vellamor Service stopped|Vellamor Service is Stopped since 04:00:00.";
    QTest::newRow("vanished") << "0 R, 10 U"
                              << "Stopped"
                              << "Vellamor Service stopped|Failed to get Vellamor service status since 03:00:10.";
    QTest::newRow("stopped through Stopping, came back")
        << "0 R, 10 s, 12 S, 20 g, 25 R"
        << "Stopped,RunningAgain"
        << "Vellamor Service stopped|Vellamor Service is Stopped since 03:00:12.";
    QTest::newRow("started from outside") << "0 S, 30 R"
                                          << "RunningAgain"
                                          << "Vellamor Service is running again|Vellamor Service is Running since "
                                             "03:00:30.";
    QTest::newRow("own stop and start") << "0 R, 5 cStop, 6 okStop, 8 s, 10 S, 20 cStart, 21 g, 22 okStart, 25 R"
                                        << ""
                                        << "";
    QTest::newRow("own stop, started by someone else") << "0 R, 5 cStop, 6 okStop, 10 S, 60 R"
                                                       << "RunningAgain"
                                                       << "";
    QTest::newRow("failed stop excuses nothing") << "0 R, 5 cStop, 6 failStop, 10 S"
                                                 << "Stopped"
                                                 << "";
    QTest::newRow("pause excuses no stop") << "0 R, 1 cPause, 2 okPause, 3 P, 9 S"
                                           << "Stopped"
                                           << "";
    QTest::newRow("own start excuses no later crash") << "0 S, 1 cStart, 2 okStart, 5 R, 50 S"
                                                      << "Stopped"
                                                      << "";
    QTest::newRow("stale command excuses nothing") << "0 R, 1 cStop, 2 okStop, 500 S"
                                                   << "Stopped"
                                                   << "";
    QTest::newRow("failure while hidden") << "0 R, 5 cStop, 6 failStop hidden"
                                          << "CommandFailed"
                                          << "Failed to stop service.|The command to Vellamor Service failed at "
                                             "03:00:06.";
    QTest::newRow("failure in sight") << "0 R, 5 cStop, 6 failStop"
                                      << ""
                                      << "";
    QTest::newRow("flapping, then settled up")
        << "0 R, 10 S, 15 R, 20 S, 25 R, 30 S, 35 R, 40 S, 45 R, 100 t, 106 t"
        << "Stopped,RunningAgain,Stopped,RunningAgain,Stopped,Flapping,RunningAgain"
        << "";
    QTest::newRow("flapping, settled as told") << "0 R, 1 S, 2 R, 3 S, 4 R, 5 S, 6 R, 7 S, 300 t"
                                               << "Stopped,RunningAgain,Stopped,RunningAgain,Stopped,Flapping"
                                               << "";
    QTest::newRow("slow restarts are no flapping") << "0 R, 15 S, 30 R, 45 S, 60 R, 75 S, 90 R"
                                                   << "Stopped,RunningAgain,Stopped,RunningAgain,Stopped,RunningAgain"
                                                   << "";
    QTest::newRow("port falls silent, answers again")
        << "0 R, 1 a, 2 a, 11 n, 12 n, 13 n, 20 a, 21 a"
        << "ManagementSilent,ManagementAnswering"
        << "Vellamor Service is not answering|The management port of Vellamor Service has not answered since "
           "03:00:02.";
    QTest::newRow("hung poller, seen by the tick") << "0 R, 1 a, 20 t, 25 t"
                                                   << "ManagementSilent"
                                                   << "";
    QTest::newRow("port never answered") << "0 R, 1 n, 60 n"
                                         << ""
                                         << "";
    QTest::newRow("a stop explains the silence") << "0 R, 1 a, 5 S, 30 n, 40 R, 41 a"
                                                 << "Stopped,RunningAgain"
                                                 << "";
    QTest::newRow("unqueryable service, watched by its port") << "0 U, 1 a, 15 n"
                                                              << "ManagementSilent"
                                                              << "";
}

void TestServiceWatch::timeline()
{
    QFETCH(QString, script);
    QFETCH(QString, kinds);
    QFETCH(QString, first);

    const QList<ServiceNotification> told = play(script);
    QStringList names;
    for (const ServiceNotification &n : told)
        names << kKinds.at(int(n.kind));
    QCOMPARE(names.join(QLatin1Char(',')), kinds);
    if (!first.isEmpty())
        QCOMPARE(told.first().summary + QLatin1Char('|') + told.first().body, first);
}

QTEST_GUILESS_MAIN(TestServiceWatch)
#include "tst_servicewatch.moc"
