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
    Q_EMIT usersStatusShown(TotalPorts_lbl->text());
}

void TForm3::showUsersStatusUnknown()
{
    // A count from an earlier exchange would be stale beside a server that no
    // longer answers: show the form's caption again.
    TotalPorts_lbl->setText(tr("? users are connected"));
    Q_EMIT usersStatusShown(TotalPorts_lbl->text());
}

void TForm3::startStatusPoller()
{
    if (StatusPoller || m_shutDown || !m_platform.lineClients)
        return;
    if constexpr (kThreadSanitizerBuild)
        installEventFilter(new HandoffReceiver(this));

    StatusPoller = new StatusThread(m_platform.lineClients, this, this);
    StatusPoller->SetTarget(ManagementSettings.Host, ManagementSettings.Port, ManagementSettings.Password);
    // Direct: the signal already comes from this thread's event queue, in
    // order with the status lines.
    connect(
        StatusPoller, &StatusThread::usersStatusUnknown, this, [this] { showUsersStatusUnknown(); },
        Qt::DirectConnection);
    StatusPoller->start();
}

void TForm3::retargetStatusPoller()
{
    if (StatusPoller)
        StatusPoller->SetTarget(ManagementSettings.Host, ManagementSettings.Port, ManagementSettings.Password);
}

void TForm3::stopBackgroundWork()
{
    // The poller is joined before anything of the window goes away; it does
    // not wait on the window, so this takes no longer than closing a socket.
    if (StatusPoller) {
        StatusPoller->stop();
        delete StatusPoller;
        StatusPoller = nullptr;
    }
    // Commands still under way are abandoned with their connections.
    delete m_managementCommands;
    m_managementCommands = nullptr;
}

void TForm3::updateUsersReloadAction()
{
    // Port 0 (or a stored port whose low 16 bits are 0) and an empty host
    // reach no server.
    ReloadUsers1->setEnabled(!ManagementSettings.Host.isEmpty() && (ManagementSettings.Port & 0xFFFF) != 0);
}

void TForm3::ReloadUsers1Click()
{
    // Through the one-shot timer, like the rules reload after a Save: the
    // menu closes first, then the command goes out and its notice shows.
    updateUsersReloadAction();
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
    startManagementCommand(kRulesReloadCommand, {});
}

void TForm3::SendUsersReload()
{
    startManagementCommand(kUsersReloadCommand, [this] {
        m_platform.dialogs->messageBox(this, tr("Signal sent to server for reloading users"), tr("Information"),
                                       platform::Buttons::Ok, platform::Icon::None);
    });
}

void TForm3::startManagementCommand(const ManagementCommand &command, std::function<void()> whenDone)
{
    if (m_shutDown)
        return;
    // A password that does not fit in the request line sends nothing; as with
    // any failure of the channel, nobody is told.
    const std::optional<QByteArray> request = managementRequest(command.keyword, ManagementSettings.Password);
    if (!m_platform.lineClients || !request) {
        if (whenDone)
            guarded(whenDone);
        return;
    }
    if (!m_managementCommands)
        m_managementCommands = new QObject(this);

    // The window goes on while the command connects and sends: a server that
    // never accepts costs the command its time limit, not the window.
    auto *exchange = new ManagementExchange(m_platform.lineClients->create(), m_managementCommands);
    connect(exchange, &ManagementExchange::finished, this, [this, exchange, whenDone] {
        exchange->deleteLater();
        // Not from inside the exchange's signal: whenDone may open a modal box,
        // and the window may be closed, and the exchange abandoned, under it.
        if (whenDone) {
            QTimer::singleShot(0, this, [this, whenDone] {
                if (!m_shutDown)
                    guarded(whenDone);
            });
        }
    });
    exchange->start(ManagementSettings.Host, ManagementSettings.Port, *request, command.replyLines);
}

} // namespace vellamor
