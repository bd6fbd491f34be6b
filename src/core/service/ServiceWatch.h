#pragma once

#include "service/ServiceState.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <chrono>
#include <optional>

namespace vellamor {

// One thing worth telling an administrator who is not looking at the window.
struct ServiceNotification
{
    enum class Kind {
        Stopped,             // the service went down by itself (stopped, failed, vanished)
        RunningAgain,        // and came back
        ManagementSilent,    // the management port stopped answering
        ManagementAnswering, // and answers again
        CommandFailed,       // a command of ours failed while nobody saw its box
        Flapping,            // the service keeps going down and up
    };
    Kind kind;
    QString summary;
    QString body;
    // Stops, failures and flapping stay on screen until seen; the rest may fade.
    bool urgent = false;

    friend bool operator==(const ServiceNotification &, const ServiceNotification &) = default;
};

// The four commands, as the watch needs to tell them apart.
enum class ServiceCommandKind { Start, Stop, Pause, Resume };

// Decides, from what the Service page shows and what the management port
// answers, when to tell the administrator. It keeps no clock of its own: every
// event carries its time, so a test can play a night in a millisecond.
//
// The rules:
// - The first state the service manager reports is where we start from:
//   nothing is said at start-up.
// - The service counts as up while Running or Paused and as down while
//   Stopped or Unavailable; Starting and Stopping are on the way and say nothing.
// - A change of up or down that our own command asked for is the
//   administrator's own doing and is not announced; nor is anything the
//   administrator has already been told.
// - More than kFlapChanges changes within kFlapWindow give one Flapping
//   notice and then silence until the service has been steady for
//   kFlapWindow; then, if it settled other than the administrator was last
//   told, that is said once.
// - The management port is silent once it has answered and then has not for
//   kSilence. It is not watched while the service is down or on its way:
//   the service's own notice says more, and its port answering again after a
//   restart is no news.
class ServiceWatch
{
public:
    static constexpr std::chrono::seconds kSilence{10};
    static constexpr int kFlapChanges = 5;
    static constexpr std::chrono::seconds kFlapWindow{60};
    // How long a command of ours accounts for a change it asked for. A stop
    // may take the service manager its whole time-out.
    static constexpr std::chrono::seconds kCommandGrace{120};

    // The page showed a row. Pending pause and continue never reach the page,
    // so they never reach here either.
    QList<ServiceNotification> serviceStateShown(ServiceDisplayState state, const QDateTime &at);

    // A status line came back from the management port / a cycle ended without one.
    QList<ServiceNotification> managementAnswered(const QDateTime &at);
    QList<ServiceNotification> managementUnanswered(const QDateTime &at);

    // The administrator confirmed a command, and its outcome. windowHidden:
    // nobody sees the failure box the window shows, so the desktop says it.
    void commandStarted(ServiceCommandKind command, const QDateTime &at);
    QList<ServiceNotification> commandFinished(ServiceCommandKind command, bool accepted, bool windowHidden,
                                               const QDateTime &at);

    // The passing of time alone: the end of flapping, a port that fell silent
    // while its poller hangs. Any periodic tick will do (the service timer's).
    QList<ServiceNotification> timePassed(const QDateTime &at);

private:
    enum class Level { Unknown, Up, Down };

    static Level levelOf(ServiceDisplayState state);
    void settle(QList<ServiceNotification> &out, Level level, const QDateTime &at);
    void endFlapping(QList<ServiceNotification> &out, const QDateTime &at);
    void checkSilence(QList<ServiceNotification> &out, const QDateTime &at);
    bool commandExpects(Level level, const QDateTime &at) const;

    ServiceDisplayState m_lastShown = ServiceDisplayState::Unavailable;
    Level m_level = Level::Unknown; // where the service stands
    Level m_told = Level::Unknown;  // what the administrator believes
    bool m_onTheWay = false;        // Starting or Stopping shown last

    std::optional<ServiceCommandKind> m_command;
    QDateTime m_commandAt;

    QList<QDateTime> m_changes; // of up and down, within the last kFlapWindow
    bool m_flapping = false;

    std::optional<QDateTime> m_lastAnswer;
    bool m_silenceTold = false;
};

} // namespace vellamor
