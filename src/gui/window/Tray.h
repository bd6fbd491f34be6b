#pragma once

#include "Notifications.h"
#include "service/ServiceState.h"
#include "service/ServiceWatch.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <memory>

class QAction;
class QMenu;
class QSystemTrayIcon;

namespace vellamor {

// The panel in the desktop's notification area: an icon that shows the
// service's state, a tooltip with the Service page's captions, a menu with the
// page's commands, and the notices of ServiceWatch. It decides nothing: the
// window tells it what the page shows, and hears from it what the menu asks.
//
// Where the desktop has no notification area there is no icon and nothing is
// said about it; the notices still go to the desktop's notification service
// where there is one. A desktop whose area comes up after us (we may be
// started at login before it) is looked for again for a while.
//
// It also keeps the ServiceWatch: the window reports what it shows and what
// its commands did, with the time, and whatever the watch finds worth saying
// goes out as a notice.
class TrayArea : public QObject
{
    Q_OBJECT

public:
    // trayAvailable: whether the desktop has a notification area now (asked
    // of the system unless given). notifications: nullptr to show the
    // notices in the area's own balloon.
    TrayArea(std::shared_ptr<platform::Notifications> notifications, QObject *parent = nullptr);
    TrayArea(std::shared_ptr<platform::Notifications> notifications, bool trayAvailable, QObject *parent = nullptr);
    ~TrayArea() override;

    // Whether the icon is in the notification area.
    bool isShown() const;

    QMenu *menu() const { return m_menu.get(); }
    QString toolTip() const;
    // The artwork the icon shows, as ":/icons/tray-running-light.svg".
    QString iconResource() const { return m_iconResource; }

    // How long, and how often, a missing notification area is looked for.
    static constexpr int kLookAgainMs = 5000;
    static constexpr int kLookAgainTimes = 24;

public Q_SLOTS:
    // What the Service page shows: the state, its caption ("Vellamor Service
    // is Running") and the commands it leaves enabled (ServiceCommandLabel bits).
    void setServiceState(vellamor::ServiceDisplayState state, const QString &caption, unsigned enabledCommands);
    // The users caption of the page ("3 users are connected").
    void setUsersCaption(const QString &caption);
    void notify(const vellamor::ServiceNotification &notice);

public:
    // The window's events, for the watch; each notice it returns is shown.
    void serviceStateShown(ServiceDisplayState state, const QString &caption, unsigned enabledCommands,
                           const QDateTime &at);
    void managementAnswered(const QDateTime &at);
    void managementUnanswered(const QDateTime &at);
    void timePassed(const QDateTime &at);
    void commandStarted(ServiceCommandKind command, const QDateTime &at);
    void commandFinished(ServiceCommandKind command, bool accepted, bool windowHidden, const QDateTime &at);

Q_SIGNALS:
    // The icon was activated, or "Open ..." chosen: show and raise the window.
    void openRequested();
    // A command of the menu, to be run as the page runs it (question and all).
    void commandRequested(vellamor::ServiceCommandKind command);
    void showLogRequested();
    // The same Exit as the window's System menu.
    void exitRequested();

private:
    void buildMenu();
    void showIcon();
    void lookAgain();
    void updateIcon();
    void updateToolTip();
    void notifyAll(const QList<ServiceNotification> &notices);

    std::shared_ptr<platform::Notifications> m_notifications;
    std::unique_ptr<QMenu> m_menu; // a menu has no parent widget to own it
    QSystemTrayIcon *m_icon = nullptr;
    QTimer m_lookAgain;
    int m_looksLeft = kLookAgainTimes;

    QAction *m_start = nullptr;
    QAction *m_stop = nullptr;
    QAction *m_pause = nullptr;
    QAction *m_resume = nullptr;

    ServiceDisplayState m_state = ServiceDisplayState::Unavailable;
    QString m_stateCaption;
    QString m_usersCaption;
    QString m_iconResource;

    ServiceWatch m_watch;
};

} // namespace vellamor
