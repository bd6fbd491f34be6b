#pragma once

// A private dbus-daemon and the fake systemd of fake_systemd.cpp on it, for the
// service tests and the service benchmark. FAKE_SYSTEMD is the fake's path.

#include <QDBusConnection>
#include <QDBusMessage>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariantList>

namespace vellamor::test {

// A dbus-daemon of our own, listening on a socket in a temporary directory.
// Its address stays the same across restarts, as the system bus's does.
class PrivateBus
{
public:
    ~PrivateBus() { stop(); }

    QString address() const { return QStringLiteral("unix:path=") + m_dir.filePath(QStringLiteral("bus")); }

    bool start()
    {
        const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (daemon.isEmpty() || !m_dir.isValid())
            return false;
        m_daemon.setProgram(daemon);
        m_daemon.setArguments({QStringLiteral("--session"), QStringLiteral("--nofork"),
                               QStringLiteral("--print-address"), QStringLiteral("--address=") + address()});
        m_daemon.start();
        if (!m_daemon.waitForStarted())
            return false;
        // The daemon prints its address once it listens.
        while (!m_daemon.canReadLine()) {
            if (!m_daemon.waitForReadyRead(10000))
                return false;
        }
        m_daemon.readAll();
        return true;
    }

    void stop()
    {
        QDBusConnection::disconnectFromBus(QStringLiteral("test-control"));
        if (m_daemon.state() == QProcess::NotRunning)
            return;
        m_daemon.terminate();
        if (!m_daemon.waitForFinished(5000)) {
            m_daemon.kill();
            m_daemon.waitForFinished();
        }
    }

    // The test's own connection, for steering the fake systemd.
    QDBusConnection control() const
    {
        QDBusConnection bus(QStringLiteral("test-control"));
        if (bus.isConnected())
            return bus;
        QDBusConnection::disconnectFromBus(QStringLiteral("test-control"));
        return QDBusConnection::connectToBus(address(), QStringLiteral("test-control"));
    }

private:
    QTemporaryDir m_dir;
    QProcess m_daemon;
};

// The fake systemd, in its own process, steered over the bus.
class FakeSystemd
{
public:
    explicit FakeSystemd(const PrivateBus &bus) : m_bus(bus) {}
    ~FakeSystemd() { stop(); }

    // unit: [activeState [freezerState ["not-found"]]]
    bool start(const QStringList &unit = {})
    {
        m_process.setProgram(QStringLiteral(FAKE_SYSTEMD));
        m_process.setArguments(QStringList{m_bus.address()} + unit);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start();
        while (!m_process.canReadLine()) {
            if (!m_process.waitForReadyRead(10000))
                return false;
        }
        return m_process.readLine().trimmed() == "ready";
    }

    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.kill();
        m_process.waitForFinished();
    }

    bool steer(const QString &method, const QVariantList &args = {}) const
    {
        return ask(method, args).type() == QDBusMessage::ReplyMessage;
    }

    bool setUnit(bool loaded, const QString &activeState, const QString &freezerState = QStringLiteral("running")) const
    {
        return steer(QStringLiteral("SetUnit"), {loaded, activeState, freezerState});
    }

    QStringList takeCalls() const { return ask(QStringLiteral("TakeCalls")).arguments().value(0).toStringList(); }

private:
    QDBusMessage ask(const QString &method, const QVariantList &args = {}) const
    {
        QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.systemd1"),
                                                           QStringLiteral("/org/vellamor/FakeSystemd"),
                                                           QStringLiteral("org.vellamor.FakeSystemd"), method);
        call.setArguments(args);
        return m_bus.control().call(call, QDBus::Block, 10000);
    }

    const PrivateBus &m_bus;
    QProcess m_process;
};

} // namespace vellamor::test
