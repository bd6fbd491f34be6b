#pragma once

// A private dbus-daemon, for the tests that talk to a stand-in service on a bus.

#include <QDBusConnection>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

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

} // namespace vellamor::test
