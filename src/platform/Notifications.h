#pragma once

#include <QString>
#include <memory>

class QDBusConnection;

namespace vellamor::platform {

// The desktop's notification service: a short message that pops up beside
// the notification area and stays in the desktop's list of notices.
//
// show() never waits: the service is another process that may be slow or
// missing, and a notice that cannot be shown is dropped without a word.
class Notifications
{
public:
    virtual ~Notifications() = default;

    // urgent: stays until the user has seen it (where the desktop can do that).
    virtual void show(const QString &summary, const QString &body, bool urgent) = 0;
};

// Shows nothing.
std::shared_ptr<Notifications> makeNullNotifications();

// org.freedesktop.Notifications on the given bus (normally the session bus).
std::shared_ptr<Notifications> makeDBusNotifications(const QDBusConnection &bus);

// The system's service, or nullptr where the notification area's own balloon
// is the way to notify (Windows): the tray shows the notices itself then.
std::shared_ptr<Notifications> makeSystemNotifications();

} // namespace vellamor::platform
