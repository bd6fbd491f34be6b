#include "ServiceWatch.h"

namespace vellamor {

namespace {

using Kind = ServiceNotification::Kind;

QString clock(const QDateTime &at)
{
    return at.toString(QStringLiteral("HH:mm:ss"));
}

ServiceNotification notice(Kind kind, const char *summary, const QString &body, bool urgent)
{
    return {kind, QString::fromLatin1(summary), body, urgent};
}

ServiceNotification levelNotice(bool up, ServiceDisplayState shown, const QDateTime &at)
{
    // The page's own caption says how it stands: stopped, or not even found.
    const QString body =
        QStringLiteral("%1 since %2.").arg(QLatin1StringView(serviceDisplayRow(shown).caption), clock(at));
    if (up)
        return notice(Kind::RunningAgain, "Vellamor Service is running again", body, false);
    return notice(Kind::Stopped, "Vellamor Service stopped", body, true);
}

const char *failureText(ServiceCommandKind command)
{
    switch (command) {
    case ServiceCommandKind::Start:
        return "Failed to start service.";
    case ServiceCommandKind::Stop:
        return "Failed to stop service.";
    case ServiceCommandKind::Pause:
        return "Failed to pause service.";
    case ServiceCommandKind::Resume:
        return "Failed to resume service.";
    }
    return "";
}

} // namespace

ServiceWatch::Level ServiceWatch::levelOf(ServiceDisplayState state)
{
    switch (state) {
    case ServiceDisplayState::Running:
    case ServiceDisplayState::Paused:
        return Level::Up;
    case ServiceDisplayState::Stopped:
    case ServiceDisplayState::Unavailable:
        return Level::Down;
    case ServiceDisplayState::Starting:
    case ServiceDisplayState::Stopping:
        break;
    }
    return Level::Unknown;
}

QList<ServiceNotification> ServiceWatch::serviceStateShown(ServiceDisplayState state, const QDateTime &at)
{
    QList<ServiceNotification> out;
    endFlapping(out, at);
    m_lastShown = state;
    const Level level = levelOf(state);
    m_onTheWay = level == Level::Unknown;
    if (!m_onTheWay && level != m_level) {
        if (m_level != Level::Unknown) {
            m_level = level;
            settle(out, level, at);
        } else if (state != ServiceDisplayState::Unavailable) {
            // The page shows Unavailable until the monitor has opened: only a
            // state the service manager reported is somewhere to start from.
            m_level = m_told = level;
        }
    }
    // After the state: a port silent because the service just went down is no news.
    checkSilence(out, at);
    return out;
}

void ServiceWatch::settle(QList<ServiceNotification> &out, Level level, const QDateTime &at)
{
    if (level == Level::Down) {
        // Whatever the port said before, it says nothing now for a reason the
        // administrator hears about from the service itself.
        m_lastAnswer.reset();
        m_silenceTold = false;
    }
    if (commandExpects(level, at)) {
        m_told = level;
        m_command.reset();
        return;
    }

    m_changes.append(at);
    while (m_changes.first().secsTo(at) > kFlapWindow.count())
        m_changes.removeFirst();
    if (m_flapping)
        return;
    if (m_changes.size() > kFlapChanges) {
        m_flapping = true;
        out << notice(Kind::Flapping, "Vellamor Service keeps stopping and starting",
                      QStringLiteral("Vellamor Service changed its state %1 times in the minute up to %2. "
                                     "No further notices until it settles.")
                          .arg(m_changes.size())
                          .arg(clock(at)),
                      true);
        return;
    }
    if (level != m_told) {
        m_told = level;
        out << levelNotice(level == Level::Up, m_lastShown, at);
    }
}

void ServiceWatch::endFlapping(QList<ServiceNotification> &out, const QDateTime &at)
{
    if (!m_flapping || (!m_changes.isEmpty() && m_changes.last().secsTo(at) < kFlapWindow.count()))
        return;
    m_flapping = false;
    m_changes.clear();
    if (m_level != m_told) {
        m_told = m_level;
        out << levelNotice(m_level == Level::Up, m_lastShown, at);
    }
}

void ServiceWatch::checkSilence(QList<ServiceNotification> &out, const QDateTime &at)
{
    // A stopped service or one on its way has a silent port for a reason.
    // One that cannot even be queried (no rights, say) is still watched
    // through its port: that is all the panel has then.
    const bool explained = m_onTheWay || m_lastShown == ServiceDisplayState::Stopped;
    if (explained || m_silenceTold || !m_lastAnswer || m_lastAnswer->secsTo(at) < kSilence.count())
        return;
    m_silenceTold = true;
    out << notice(
        Kind::ManagementSilent, "Vellamor Service is not answering",
        QStringLiteral("The management port of Vellamor Service has not answered since %1.").arg(clock(*m_lastAnswer)),
        true);
}

bool ServiceWatch::commandExpects(Level level, const QDateTime &at) const
{
    if (!m_command || m_commandAt.secsTo(at) > kCommandGrace.count())
        return false;
    switch (*m_command) {
    case ServiceCommandKind::Start:
    case ServiceCommandKind::Resume:
        return level == Level::Up;
    case ServiceCommandKind::Stop:
        return level == Level::Down;
    case ServiceCommandKind::Pause:
        break;
    }
    return false;
}

QList<ServiceNotification> ServiceWatch::managementAnswered(const QDateTime &at)
{
    QList<ServiceNotification> out;
    endFlapping(out, at);
    if (std::exchange(m_silenceTold, false))
        out << notice(Kind::ManagementAnswering, "Vellamor Service is answering again",
                      QStringLiteral("The management port of Vellamor Service answered again at %1.").arg(clock(at)),
                      false);
    m_lastAnswer = at;
    return out;
}

QList<ServiceNotification> ServiceWatch::managementUnanswered(const QDateTime &at)
{
    return timePassed(at);
}

void ServiceWatch::commandStarted(ServiceCommandKind command, const QDateTime &at)
{
    m_command = command;
    m_commandAt = at;
}

QList<ServiceNotification> ServiceWatch::commandFinished(ServiceCommandKind command, bool accepted, bool windowHidden,
                                                         const QDateTime &at)
{
    QList<ServiceNotification> out = timePassed(at);
    if (accepted)
        return out;
    if (m_command == command)
        m_command.reset();
    if (windowHidden)
        out << notice(Kind::CommandFailed, failureText(command),
                      QStringLiteral("The command to Vellamor Service failed at %1.").arg(clock(at)), true);
    return out;
}

QList<ServiceNotification> ServiceWatch::timePassed(const QDateTime &at)
{
    QList<ServiceNotification> out;
    endFlapping(out, at);
    checkSilence(out, at);
    return out;
}

} // namespace vellamor
