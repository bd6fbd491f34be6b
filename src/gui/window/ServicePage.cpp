#include "VellamorDesktopMain.h"

#include "colours/PanelColours.h"
#include "common/AppInfo.h"
#include "common/Paths.h"
#include "dialogs/ServiceLogWindow.h"
#include "service/ServiceState.h"
#include "widgets/LinkLabel.h"
#include "widgets/SvgPicture.h"

#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QStatusBar>

namespace vellamor {

using platform::ServiceManager;

// One of the four commands of the Service page.
struct TForm3::ServiceCommand
{
    const char *question;
    std::uint32_t access;
    void (ServiceManager::*request)(ServiceManager::Handle, ServiceManager::Reply<ServiceManager::Outcome>);
    const char *failure;
    const char *waiting; // in the status bar while the request is under way
};

namespace {

QString confirmationCaption()
{
    return QStringLiteral("Confirmation");
}

bool confirmed(const platform::Platform &platform, const char *question)
{
    // The questions belong to no window: the page and its timer stay live
    // behind them.
    return platform.dialogs->messageBox(nullptr, QLatin1StringView(question), confirmationCaption(),
                                        platform::Buttons::YesNo, platform::Icon::Question) == platform::Answer::Yes;
}

} // namespace

ServiceManager *TForm3::serviceManager() const
{
    return m_platform.serviceManager.get();
}

// Every answer of the service manager comes back through one of these two: it
// reaches the window only while the window is open, and runs guarded like any
// other event of the window. A handle is owned from the moment it arrives, so
// one that comes back to a closed window is closed at once.
template<class T> ServiceManager::Reply<T> TForm3::serviceReply(std::function<void(T)> then)
{
    return [window = QPointer<TForm3>(this), then = std::move(then)](T value) {
        if (window && !window->m_shutDown)
            window->guarded([&] { then(std::move(value)); });
    };
}

ServiceManager::Reply<ServiceManager::Handle> TForm3::serviceHandleReply(std::function<void(UniqueServiceHandle)> then)
{
    return [window = QPointer<TForm3>(this), manager = std::weak_ptr<ServiceManager>(m_platform.serviceManager),
            then = std::move(then)](ServiceManager::Handle handle) {
        UniqueServiceHandle owned(manager, handle);
        if (window && !window->m_shutDown)
            window->guarded([&] { then(std::move(owned)); });
    };
}

void TForm3::OpenServiceMonitor()
{
    ServiceManager *manager = serviceManager();
    if (!manager) {
        ShowServiceStatus(ServiceDisplayState::Unavailable);
        return;
    }
    // Until both handles are there the monitor shows nothing of its own, and
    // ticks wait for it: it shows the first state as soon as it can.
    m_serviceOpening = true;
    manager->openManager(serviceHandleReply([this, manager](UniqueServiceHandle scm) {
        ServiceManagerHandle = std::move(scm);
        if (!ServiceManagerHandle) {
            m_serviceOpening = false;
            ShowServiceStatus(ServiceDisplayState::Unavailable);
            return;
        }
        manager->openService(ServiceManagerHandle.get(), ServiceName.toStdString(), ServiceManager::QueryStatus,
                             serviceHandleReply([this, manager](UniqueServiceHandle service) {
                                 ServiceHandle = std::move(service);
                                 m_serviceOpening = false;
                                 if (!ServiceHandle) {
                                     ShowServiceStatus(ServiceDisplayState::Unavailable);
                                     return;
                                 }
                                 manager->watch(ServiceHandle.get(), [window = QPointer<TForm3>(this)] {
                                     if (window && !window->m_shutDown)
                                         window->guarded([&] { window->serviceMayHaveChanged(); });
                                 });
                                 RefreshServiceStatus();
                             }));
    }));
}

void TForm3::RefreshServiceStatus()
{
    if (m_serviceOpening)
        return;
    // A query still under way answers for this tick too: a slow or hung
    // service manager does not pile up queries.
    if (m_serviceQueryBusy)
        return;
    ServiceManager *manager = serviceManager();
    if (!ServiceHandle || !manager) {
        ShowServiceStatus(ServiceDisplayState::Unavailable);
        return;
    }
    m_serviceQueryBusy = true;
    manager->queryState(ServiceHandle.get(), serviceReply<std::optional<std::uint32_t>>([this](auto state) {
                            m_serviceQueryBusy = false;
                            if (!state)
                                ShowServiceStatus(ServiceDisplayState::Unavailable);
                            else if (const std::optional<ServiceDisplayState> shown =
                                         displayStateForServiceState(*state))
                                ShowServiceStatus(*shown);
                            if (std::exchange(m_serviceQueryAgain, false))
                                RefreshServiceStatus();
                        }));
}

void TForm3::serviceMayHaveChanged()
{
    // The query under way may have been answered before the change: ask again
    // once it is back.
    if (m_serviceQueryBusy)
        m_serviceQueryAgain = true;
    else
        RefreshServiceStatus();
}

void TForm3::ShowServiceStatus(ServiceDisplayState state)
{
    const ServiceDisplayRow &row = serviceDisplayRow(state);

    m_statusCaptionColour = QColor(row.colour.red, row.colour.green, row.colour.blue);
    QPalette palette = status_lbl->palette();
    palette.setColor(QPalette::WindowText, PanelColours::forPalette(this->palette()).caption(m_statusCaptionColour));
    status_lbl->setPalette(palette);
    status_lbl->setText(QLatin1StringView(row.caption));

    StatusUnknown->setVisible(row.picture == StatusPicture::Unknown);
    StatusRunning->setVisible(row.picture == StatusPicture::Running);
    StatusStoped->setVisible(row.picture == StatusPicture::Stopped);
    ServicePaused->setVisible(row.picture == StatusPicture::Paused);

    StartService_lbl->setEnabled(row.enabledLabels & StartLabel);
    StopService_lbl->setEnabled(row.enabledLabels & StopLabel);
    PauseService_lbl->setEnabled(row.enabledLabels & PauseLabel);
    ResumeService_lbl->setEnabled(row.enabledLabels & ResumeLabel);
    UninstallService_lbl->setEnabled(false);
    InstallService_lbl->setEnabled(false);
}

void TForm3::Timer2Timer()
{
    RefreshServiceStatus();
}

void TForm3::runServiceCommand(const ServiceCommand &command)
{
    // One command at a time: while one waits (perhaps for the administrator
    // to type a password) another click is ignored, not queued behind it.
    if (m_serviceCommandBusy)
        return;
    if (!confirmed(m_platform, command.question))
        return;
    // The window may have been closed while the question was open; its
    // handles are gone then and there is nobody left to act for.
    if (m_shutDown)
        return;

    ServiceManager *manager = serviceManager();
    if (!manager || !ServiceManagerHandle) {
        finishServiceCommand(command, {});
        return;
    }
    m_serviceCommandBusy = true;
    StatusBar1->showMessage(QLatin1StringView(command.waiting));
    // A handle of the command's own, with just the right it needs (the
    // monitor's handle may only query). It travels with the request and is
    // closed once the failure box, if any, has been answered.
    manager->openService(ServiceManagerHandle.get(), ServiceName.toStdString(), command.access,
                         serviceHandleReply([this, manager, &command](UniqueServiceHandle opened) {
                             if (!opened) {
                                 finishServiceCommand(command, {});
                                 return;
                             }
                             auto handle = std::make_shared<UniqueServiceHandle>(std::move(opened));
                             (manager->*command.request)(handle->get(), serviceReply<ServiceManager::Outcome>(
                                                                            [this, &command, handle](auto outcome) {
                                                                                finishServiceCommand(command, outcome);
                                                                                handle->reset();
                                                                            }));
                         }));
}

void TForm3::finishServiceCommand(const ServiceCommand &command, const ServiceManager::Outcome &outcome)
{
    m_serviceCommandBusy = false;
    // Success shows nothing: the page follows the service's own state.
    if (outcome.accepted) {
        StatusBar1->clearMessage();
        return;
    }
    // The system's words go to the status bar, so that a refused or cancelled
    // authorisation can be told from a service that failed; the box says what
    // it always says.
    QString failure = QLatin1StringView(command.failure);
    if (outcome.detail.empty()) {
        StatusBar1->clearMessage();
    } else {
        failure.chop(1);
        StatusBar1->showMessage(failure + QStringLiteral(": ") + QString::fromStdString(outcome.detail));
    }
    m_platform.dialogs->messageBox(nullptr, QLatin1StringView(command.failure), QStringLiteral("Error"),
                                   platform::Buttons::Ok, platform::Icon::Error);
}

void TForm3::StartService_lblClick()
{
    static const ServiceCommand command{"Are you sure you want to start Vellamor Service?", ServiceManager::Start,
                                        &ServiceManager::start, "Failed to start service.",
                                        "Waiting for the service manager to start Vellamor Service..."};
    runServiceCommand(command);
}

void TForm3::StopService_lblClick()
{
    static const ServiceCommand command{"Are you sure you want to stop Vellamor Service?", ServiceManager::Stop,
                                        &ServiceManager::stop, "Failed to stop service.",
                                        "Waiting for the service manager to stop Vellamor Service..."};
    runServiceCommand(command);
}

void TForm3::PauseService_lblClick()
{
    static const ServiceCommand command{
        "Are you sure you want to pause Vellamor Service?", ServiceManager::PauseContinue, &ServiceManager::pause,
        "Failed to pause service.", "Waiting for the service manager to pause Vellamor Service..."};
    runServiceCommand(command);
}

void TForm3::ResumeService_lblClick()
{
    static const ServiceCommand command{
        "Are you sure you want to resume Vellamor Service?", ServiceManager::PauseContinue, &ServiceManager::resume,
        "Failed to resume service.", "Waiting for the service manager to resume Vellamor Service..."};
    runServiceCommand(command);
}

// Uninstalling and reinstalling are left to the server's own installer: these
// two only ask, and neither answer does anything. Their labels are disabled
// from the first display on.
void TForm3::UninstallService_lblClick()
{
    confirmed(m_platform, "Are you sure you want to uninstall Vellamor Service?");
}

void TForm3::InstallService_lblClick()
{
    confirmed(m_platform, "Are you sure you want to install Vellamor Service?");
}

void TForm3::ShowLog_lblClick()
{
    // One log window: a second click brings it forward.
    if (m_serviceLog) {
        m_serviceLog->showNormal();
        m_serviceLog->raise();
        m_serviceLog->activateWindow();
        return;
    }
    // The log directory as the page has it now; empty means the default.
    QString logDirectory = DefaultLogFolder_txt->text();
    if (logDirectory.isEmpty())
        logDirectory = besideExecutable(m_platform.fileSystem->executableDir(), QStringLiteral("logs"));
    const QString service = ServiceName.isEmpty() ? QString(kServiceName) : ServiceName;
    m_serviceLog = new ServiceLogWindow(m_platform.serviceLogs->open(service, logDirectory), this);
    m_serviceLog->show();
}

void TForm3::closeServiceMonitor()
{
    // The service's handle before the manager's it was opened through. The
    // replies still due find the window shut and close what they bring.
    ServiceHandle.reset();
    ServiceManagerHandle.reset();
    // The log window goes with the main window: the application ends when
    // its last window closes.
    if (m_serviceLog)
        m_serviceLog->close();
}

} // namespace vellamor
