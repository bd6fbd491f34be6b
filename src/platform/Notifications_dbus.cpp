#include "Notifications.h"

#include "common/AppInfo.h"

#include <utility>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QObject>
#include <QVariantMap>

namespace vellamor::platform {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");

class DBusNotifications final : public QObject, public Notifications
{
public:
    explicit DBusNotifications(QDBusConnection bus) : m_bus(std::move(bus)) {}

    void show(const QString &summary, const QString &body, bool urgent) override
    {
        // One call at a time, in order. A hung notification service must not
        // make us hoard notices: past a few waiting, new ones are dropped.
        if (m_waiting.size() >= kMaxWaiting || !m_bus.isConnected())
            return;
        QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("Notify"));
        const QVariantMap hints{
            {QStringLiteral("urgency"), QVariant::fromValue<uchar>(urgent ? 2 : 1)},
            {QStringLiteral("desktop-entry"), QString(kDesktopFileId)},
        };
        call << QString(kApplicationTitle) << 0u << QString(kDesktopFileId) << summary << body << QStringList() << hints
             << -1;
        m_waiting.append(call);
        if (!m_sending)
            sendNext();
    }

private:
    static constexpr qsizetype kMaxWaiting = 32;
    static constexpr int kTimeoutMs = 10000;

    void sendNext()
    {
        m_sending = !m_waiting.isEmpty();
        if (!m_sending)
            return;
        auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(m_waiting.takeFirst(), kTimeoutMs), this);
        QObject::connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher] {
            watcher->deleteLater();
            sendNext();
        });
    }

    QDBusConnection m_bus;
    QList<QDBusMessage> m_waiting;
    bool m_sending = false;
};

} // namespace

std::shared_ptr<Notifications> makeDBusNotifications(const QDBusConnection &bus)
{
    return std::make_shared<DBusNotifications>(bus);
}

std::shared_ptr<Notifications> makeSystemNotifications()
{
    return makeDBusNotifications(QDBusConnection::sessionBus());
}

} // namespace vellamor::platform
