#include "VellamorDesktopMain.h"

#include "service/ServiceState.h"
#include "widgets/LinkLabel.h"
#include "widgets/PanelColours.h"
#include "widgets/SvgPicture.h"

#include <QLabel>

namespace vellamor {

using platform::ServiceManager;

// One of the four commands of the Service page.
struct TForm3::ServiceCommand
{
    const char *question;
    std::uint32_t access;
    bool (ServiceManager::*request)(ServiceManager::Handle);
    const char *failure;
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

void TForm3::OpenServiceMonitor()
{
    const std::shared_ptr<ServiceManager> &manager = m_platform.serviceManager;
    ServiceManagerHandle = UniqueServiceHandle(manager, manager ? manager->openManager() : nullptr);
    if (!ServiceManagerHandle) {
        ShowServiceStatus(ServiceDisplayState::Unavailable);
        return;
    }
    ServiceHandle =
        UniqueServiceHandle(manager, manager->openService(ServiceManagerHandle.get(), ServiceName.toStdString(),
                                                          ServiceManager::QueryStatus));
    if (!ServiceHandle) {
        ShowServiceStatus(ServiceDisplayState::Unavailable);
        return;
    }
    RefreshServiceStatus();
}

void TForm3::RefreshServiceStatus()
{
    ServiceManager *manager = serviceManager();
    const std::optional<std::uint32_t> state =
        ServiceHandle && manager ? manager->queryState(ServiceHandle.get()) : std::nullopt;
    if (!state) {
        ShowServiceStatus(ServiceDisplayState::Unavailable);
        return;
    }
    if (const std::optional<ServiceDisplayState> shown = displayStateForServiceState(*state))
        ShowServiceStatus(*shown);
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
    if (!confirmed(m_platform, command.question))
        return;
    // The window may have been closed while the question was open; its
    // handles are gone then and there is nobody left to act for.
    if (m_shutDown)
        return;

    ServiceManager *manager = serviceManager();
    // A handle of the command's own, with just the right it needs (the
    // monitor's handle may only query); it stays open until the failure box,
    // if any, has been answered.
    UniqueServiceHandle handle;
    if (manager && ServiceManagerHandle) {
        handle = UniqueServiceHandle(
            m_platform.serviceManager,
            manager->openService(ServiceManagerHandle.get(), ServiceName.toStdString(), command.access));
        // Success shows nothing: the next tick of the service timer shows the
        // new state.
        if (handle && (manager->*command.request)(handle.get()))
            return;
    }

    m_platform.dialogs->messageBox(nullptr, QLatin1StringView(command.failure), QStringLiteral("Error"),
                                   platform::Buttons::Ok, platform::Icon::Error);
}

void TForm3::StartService_lblClick()
{
    static const ServiceCommand command{"Are you sure you want to start Vellamor Service?", ServiceManager::Start,
                                        &ServiceManager::start, "Failed to start service."};
    runServiceCommand(command);
}

void TForm3::StopService_lblClick()
{
    static const ServiceCommand command{"Are you sure you want to stop Vellamor Service?", ServiceManager::Stop,
                                        &ServiceManager::stop, "Failed to stop service."};
    runServiceCommand(command);
}

void TForm3::PauseService_lblClick()
{
    static const ServiceCommand command{"Are you sure you want to pause Vellamor Service?",
                                        ServiceManager::PauseContinue, &ServiceManager::pause,
                                        "Failed to pause service."};
    runServiceCommand(command);
}

void TForm3::ResumeService_lblClick()
{
    static const ServiceCommand command{"Are you sure you want to resume Vellamor Service?",
                                        ServiceManager::PauseContinue, &ServiceManager::resume,
                                        "Failed to resume service."};
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

void TForm3::closeServiceMonitor()
{
    // The service's handle before the manager's it was opened through.
    ServiceHandle.reset();
    ServiceManagerHandle.reset();
}

} // namespace vellamor
