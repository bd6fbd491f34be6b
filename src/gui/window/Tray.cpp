#include "Tray.h"

#include "colours/PanelColours.h"
#include "common/AppInfo.h"
#include "widgets/SvgIconEngine.h"

#include <QGuiApplication>
#include <QMenu>
#include <QSystemTrayIcon>

namespace vellamor {

namespace {

const char *artworkOf(ServiceDisplayState state)
{
    switch (state) {
    case ServiceDisplayState::Running:
        return "running";
    case ServiceDisplayState::Stopped:
        return "stopped";
    case ServiceDisplayState::Paused:
        return "paused";
    case ServiceDisplayState::Starting:
    case ServiceDisplayState::Stopping:
        return "pending";
    case ServiceDisplayState::Unavailable:
        break;
    }
    return "unknown";
}

// "Vellamor Service is Running" reads "Vellamor Service: Running" in a tooltip,
// where the service's name heads the line; a caption of another shape stays.
QString toolTipLine(const QString &caption)
{
    static const QString prefix = QStringLiteral("Vellamor Service is ");
    if (caption.startsWith(prefix))
        return QStringLiteral("Vellamor Service: ") + caption.mid(prefix.size());
    return caption;
}

} // namespace

TrayArea::TrayArea(std::shared_ptr<platform::Notifications> notifications, QObject *parent)
    : TrayArea(std::move(notifications), QSystemTrayIcon::isSystemTrayAvailable(), parent)
{
}

TrayArea::TrayArea(std::shared_ptr<platform::Notifications> notifications, bool trayAvailable, QObject *parent)
    : QObject(parent), m_notifications(std::move(notifications))
{
    buildMenu();
    updateIcon();
    if (trayAvailable) {
        showIcon();
        return;
    }
    m_lookAgain.setInterval(kLookAgainMs);
    connect(&m_lookAgain, &QTimer::timeout, this, &TrayArea::lookAgain);
    m_lookAgain.start();
}

TrayArea::~TrayArea() = default;

bool TrayArea::isShown() const
{
    return m_icon && m_icon->isVisible();
}

void TrayArea::buildMenu()
{
    m_menu = std::make_unique<QMenu>();
    QAction *open =
        m_menu->addAction(QStringLiteral("Open Vellamor Application Server Desktop"), this, &TrayArea::openRequested);
    QFont bold = open->font();
    bold.setBold(true);
    open->setFont(bold);
    m_menu->addSeparator();
    // The Service page's own words for its commands.
    const auto command = [this](const char *name, const char *text, ServiceCommandKind kind) {
        QAction *action =
            m_menu->addAction(QLatin1StringView(text), this, [this, kind] { Q_EMIT commandRequested(kind); });
        action->setObjectName(QLatin1StringView(name));
        action->setEnabled(false);
        return action;
    };
    m_start = command("TrayStart", "Start Service", ServiceCommandKind::Start);
    m_stop = command("TrayStop", "Stop Service", ServiceCommandKind::Stop);
    m_pause = command("TrayPause", "Pause Service", ServiceCommandKind::Pause);
    m_resume = command("TrayResume", "Resume Service", ServiceCommandKind::Resume);
    m_menu->addSeparator();
    m_menu->addAction(QStringLiteral("Show Log"), this, &TrayArea::showLogRequested)->setObjectName("TrayShowLog");
    m_menu->addSeparator();
    m_menu->addAction(QStringLiteral("Exit"), this, &TrayArea::exitRequested)->setObjectName("TrayExit");
    open->setObjectName("TrayOpen");
}

void TrayArea::showIcon()
{
    m_lookAgain.stop();
    m_icon = new QSystemTrayIcon(SvgIconEngine::icon(m_iconResource), this);
    m_icon->setContextMenu(m_menu.get());
    m_icon->setToolTip(toolTip());
    connect(m_icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
            Q_EMIT openRequested();
    });
    m_icon->show();
}

void TrayArea::lookAgain()
{
    if (QSystemTrayIcon::isSystemTrayAvailable())
        showIcon();
    else if (--m_looksLeft <= 0)
        m_lookAgain.stop();
}

QString TrayArea::toolTip() const
{
    if (m_stateCaption.isEmpty())
        return kApplicationTitle;
    if (m_usersCaption.isEmpty())
        return toolTipLine(m_stateCaption);
    return toolTipLine(m_stateCaption) + QLatin1Char('\n') + m_usersCaption;
}

void TrayArea::setServiceState(ServiceDisplayState state, const QString &caption, unsigned enabledCommands)
{
    m_start->setEnabled(enabledCommands & StartLabel);
    m_stop->setEnabled(enabledCommands & StopLabel);
    m_pause->setEnabled(enabledCommands & PauseLabel);
    m_resume->setEnabled(enabledCommands & ResumeLabel);
    m_state = state;
    if (caption != m_stateCaption) {
        m_stateCaption = caption;
        updateToolTip();
    }
    updateIcon();
}

void TrayArea::setUsersCaption(const QString &caption)
{
    // The poller reports every second; the desktop hears only of a change.
    if (caption == m_usersCaption)
        return;
    m_usersCaption = caption;
    updateToolTip();
}

void TrayArea::updateIcon()
{
    // Outlined light on a dark panel. The panel's own colour is not ours to
    // know: the desktop's palette is the best guess there is.
    const QString resource =
        QStringLiteral(":/icons/tray-%1-%2.svg")
            .arg(QLatin1StringView(artworkOf(m_state)),
                 isDarkPalette(QGuiApplication::palette()) ? QStringLiteral("dark") : QStringLiteral("light"));
    if (resource == m_iconResource)
        return;
    m_iconResource = resource;
    if (m_icon)
        m_icon->setIcon(SvgIconEngine::icon(m_iconResource));
}

void TrayArea::updateToolTip()
{
    if (m_icon)
        m_icon->setToolTip(toolTip());
}

void TrayArea::notify(const ServiceNotification &notice)
{
    if (m_notifications) {
        m_notifications->show(notice.summary, notice.body, notice.urgent);
        return;
    }
    if (m_icon && QSystemTrayIcon::supportsMessages())
        m_icon->showMessage(notice.summary, notice.body,
                            notice.urgent ? QSystemTrayIcon::Warning : QSystemTrayIcon::Information);
}

void TrayArea::notifyAll(const QList<ServiceNotification> &notices)
{
    for (const ServiceNotification &notice : notices)
        notify(notice);
}

void TrayArea::serviceStateShown(ServiceDisplayState state, const QString &caption, unsigned enabledCommands,
                                 const QDateTime &at)
{
    setServiceState(state, caption, enabledCommands);
    notifyAll(m_watch.serviceStateShown(state, at));
}

void TrayArea::managementAnswered(const QDateTime &at)
{
    notifyAll(m_watch.managementAnswered(at));
}

void TrayArea::managementUnanswered(const QDateTime &at)
{
    notifyAll(m_watch.managementUnanswered(at));
}

void TrayArea::timePassed(const QDateTime &at)
{
    notifyAll(m_watch.timePassed(at));
}

void TrayArea::commandStarted(ServiceCommandKind command, const QDateTime &at)
{
    m_watch.commandStarted(command, at);
}

void TrayArea::commandFinished(ServiceCommandKind command, bool accepted, bool windowHidden, const QDateTime &at)
{
    notifyAll(m_watch.commandFinished(command, accepted, windowHidden, at));
}

} // namespace vellamor
