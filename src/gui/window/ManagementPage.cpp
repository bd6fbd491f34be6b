#include "ManagementPage.h"

#include "VellamorDesktopMain.h"

#include "management/ManagementExchange.h"
#include "management/ManagementProtocol.h"
#include "management/Statusthread.h"
#include "management/ThreadHandoff.h"

#include <QLabel>
#include <QTimer>

namespace vellamor {

namespace {

// In a ThreadSanitizer build: the window receives what the poller published
// before any event reaches it (see ThreadHandoff.h).
class HandoffReceiver final : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *, QEvent *) override
    {
        receiveHandoff();
        return false;
    }
};

} // namespace

void TForm3::ShowUsersStatus(const QByteArray &message)
{
    // The text comes from the network; the label shows it as plain text.
    TotalPorts_lbl->setText(usersStatusCaption(message));
    m_tray.managementAnswered(QDateTime::currentDateTime());
    Q_EMIT usersStatusShown(TotalPorts_lbl->text());
}

void ManagementLink::showUsersStatusUnknown()
{
    // A count from an earlier exchange would be stale beside a server that no
    // longer answers: show the form's caption again.
    m_window.TotalPorts_lbl->setText(TForm3::tr("? users are connected"));
    m_window.tray().managementUnanswered(QDateTime::currentDateTime());
    Q_EMIT m_window.usersStatusShown(m_window.TotalPorts_lbl->text());
}

void ManagementLink::startPoller()
{
    TForm3 &w = m_window;
    if (w.StatusPoller || m_stopped || !w.platform().lineClients)
        return;
    if constexpr (kThreadSanitizerBuild)
        w.installEventFilter(new HandoffReceiver(&w));

    w.StatusPoller = new StatusThread(w.platform().lineClients, &w, &w);
    const ManagementSettingsRecord &target = w.ManagementSettings;
    w.StatusPoller->SetTarget(target.Host, target.Port, target.Password);
    // Direct: the signal already comes from this thread's event queue, in
    // order with the status lines.
    QObject::connect(
        w.StatusPoller, &StatusThread::usersStatusUnknown, &w, [this] { showUsersStatusUnknown(); },
        Qt::DirectConnection);
    w.StatusPoller->start();
}

void ManagementLink::retargetPoller()
{
    const ManagementSettingsRecord &target = m_window.ManagementSettings;
    if (m_window.StatusPoller)
        m_window.StatusPoller->SetTarget(target.Host, target.Port, target.Password);
}

void ManagementLink::stop()
{
    m_stopped = true;
    // The poller is joined before anything of the window goes away; it does
    // not wait on the window, so this takes no longer than closing a socket.
    if (m_window.StatusPoller) {
        m_window.StatusPoller->stop();
        delete m_window.StatusPoller;
        m_window.StatusPoller = nullptr;
    }
    // Commands still under way are abandoned with their connections.
    delete m_commands;
    m_commands = nullptr;
}

void ManagementLink::updateUsersReloadAction()
{
    // Port 0 (or a stored port whose low 16 bits are 0) and an empty host
    // reach no server.
    const ManagementSettingsRecord &target = m_window.ManagementSettings;
    m_window.ReloadUsers1->setEnabled(!target.Host.isEmpty() && (target.Port & 0xFFFF) != 0);
}

void TForm3::retargetStatusPoller()
{
    m_management.retargetPoller();
}

void TForm3::ReloadUsers1Click()
{
    // Through the one-shot timer, like the rules reload after a Save: the
    // menu closes first, then the command goes out and its notice shows.
    m_management.updateUsersReloadAction();
    if (ReloadUsers1->isEnabled())
        Timer1->start();
}

void TForm3::Timer1Timer()
{
    Timer1->stop();
    SendUsersReload();
}

void TForm3::Timer3Timer()
{
    Timer3->stop();
    SendRulesReload();
}

void TForm3::SendRulesReload()
{
    // Nothing is read back and no failure is reported.
    m_management.send(kRulesReloadCommand, {});
}

void TForm3::SendUsersReload()
{
    m_management.send(kUsersReloadCommand, [this] {
        m_platform.dialogs->messageBox(this, tr("Signal sent to server for reloading users"), tr("Information"),
                                       platform::Buttons::Ok, platform::Icon::None);
    });
}

void ManagementLink::send(const ManagementCommand &command, const std::function<void()> &whenDone)
{
    if (m_stopped)
        return;
    TForm3 &w = m_window;
    const ManagementSettingsRecord &target = w.ManagementSettings;
    // A password that does not fit in the request line sends nothing; as with
    // any failure of the channel, nobody is told.
    const std::optional<QByteArray> request = managementRequest(command.keyword, target.Password);
    if (!w.platform().lineClients || !request) {
        if (whenDone)
            w.guarded(whenDone);
        return;
    }
    if (!m_commands)
        m_commands = new QObject(&w);

    // The window goes on while the command connects and sends: a server that
    // never accepts costs the command its time limit, not the window.
    auto *exchange = new ManagementExchange(w.platform().lineClients->create(), m_commands);
    QObject::connect(exchange, &ManagementExchange::finished, &w, [this, exchange, whenDone] {
        exchange->deleteLater();
        // Not from inside the exchange's signal: whenDone may open a modal box,
        // and the window may be closed, and the exchange abandoned, under it.
        if (whenDone) {
            QTimer::singleShot(0, &m_window, [this, whenDone] {
                if (!m_stopped)
                    m_window.guarded(whenDone);
            });
        }
    });
    exchange->start(target.Host, target.Port, *request, command.replyLines);
}

} // namespace vellamor
