#pragma once

// The fake systemd of fake_systemd.cpp on a private bus, for the service
// tests and the service benchmark. FAKE_SYSTEMD is the fake's path.

#include "PrivateBus.h"

#include <QDBusMessage>
#include <QStringList>
#include <QVariantList>

namespace vellamor::test {

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
