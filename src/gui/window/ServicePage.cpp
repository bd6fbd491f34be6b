#include "ServicePage.h"

#include "PageParts.h"
#include "Tray.h"
#include "VellamorDesktopMain.h"
#include "colours/PanelColours.h"
#include "common/AppInfo.h"
#include "common/Paths.h"
#include "dialogs/ServiceLogWindow.h"
#include "service/ServiceState.h"
#include "widgets/LinkLabel.h"
#include "widgets/SvgPicture.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QStatusBar>
#include <QVBoxLayout>

namespace vellamor {

using platform::ServiceManager;

using ServiceCommand = ServiceMonitor::Command;

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

ServiceManager *ServiceMonitor::serviceManager() const
{
    return m_window.platform().serviceManager.get();
}

// Every answer of the service manager comes back through one of these two: it
// reaches the window only while the window is open, and runs guarded like any
// other event of the window. A handle is owned from the moment it arrives, so
// one that comes back to a closed window is closed at once.
template<class T> ServiceManager::Reply<T> ServiceMonitor::reply(std::function<void(T)> then)
{
    return [this, window = QPointer<TForm3>(&m_window), then = std::move(then)](T value) {
        if (window && !m_closed)
            window->guarded([&] { then(std::move(value)); });
    };
}

ServiceManager::Reply<ServiceManager::Handle> ServiceMonitor::handleReply(std::function<void(UniqueServiceHandle)> then)
{
    return [this, window = QPointer<TForm3>(&m_window),
            manager = std::weak_ptr<ServiceManager>(m_window.platform().serviceManager),
            then = std::move(then)](ServiceManager::Handle handle) {
        UniqueServiceHandle owned(manager, handle);
        if (window && !m_closed)
            window->guarded([&] { then(std::move(owned)); });
    };
}

void ServiceMonitor::open()
{
    ServiceManager *manager = serviceManager();
    if (!manager) {
        show(ServiceDisplayState::Unavailable);
        return;
    }
    // Until both handles are there the monitor shows nothing of its own, and
    // ticks wait for it: it shows the first state as soon as it can.
    m_opening = true;
    manager->openManager(handleReply([this, manager](UniqueServiceHandle scm) {
        m_window.ServiceManagerHandle = std::move(scm);
        if (!m_window.ServiceManagerHandle) {
            m_opening = false;
            show(ServiceDisplayState::Unavailable);
            return;
        }
        manager->openService(m_window.ServiceManagerHandle.get(), m_window.ServiceName.toStdString(),
                             ServiceManager::QueryStatus, handleReply([this, manager](UniqueServiceHandle service) {
                                 m_window.ServiceHandle = std::move(service);
                                 m_opening = false;
                                 if (!m_window.ServiceHandle) {
                                     show(ServiceDisplayState::Unavailable);
                                     return;
                                 }
                                 manager->watch(m_window.ServiceHandle.get(),
                                                [this, window = QPointer<TForm3>(&m_window)] {
                                                    if (window && !m_closed)
                                                        window->guarded([this] { mayHaveChanged(); });
                                                });
                                 refresh();
                             }));
    }));
}

void ServiceMonitor::refresh()
{
    if (m_opening)
        return;
    // A query still under way answers for this tick too: a slow or hung
    // service manager does not pile up queries.
    if (m_queryBusy)
        return;
    ServiceManager *manager = serviceManager();
    if (!m_window.ServiceHandle || !manager) {
        show(ServiceDisplayState::Unavailable);
        return;
    }
    m_queryBusy = true;
    manager->queryState(m_window.ServiceHandle.get(), reply<std::optional<std::uint32_t>>([this](auto state) {
                            m_queryBusy = false;
                            if (!state)
                                show(ServiceDisplayState::Unavailable);
                            else if (const std::optional<ServiceDisplayState> shown =
                                         displayStateForServiceState(*state))
                                show(*shown);
                            if (std::exchange(m_queryAgain, false))
                                refresh();
                        }));
}

void ServiceMonitor::mayHaveChanged()
{
    // The query under way may have been answered before the change: ask again
    // once it is back.
    if (m_queryBusy)
        m_queryAgain = true;
    else
        refresh();
}

void ServiceMonitor::show(ServiceDisplayState state)
{
    const ServiceDisplayRow &row = serviceDisplayRow(state);

    m_captionColour = QColor(row.colour.red, row.colour.green, row.colour.blue);
    QPalette palette = m_window.status_lbl->palette();
    palette.setColor(QPalette::WindowText, PanelColours::forPalette(m_window.palette()).caption(m_captionColour));
    m_window.status_lbl->setPalette(palette);
    m_window.status_lbl->setText(QLatin1StringView(row.caption));

    m_window.StatusUnknown->setVisible(row.picture == StatusPicture::Unknown);
    m_window.StatusRunning->setVisible(row.picture == StatusPicture::Running);
    m_window.StatusStoped->setVisible(row.picture == StatusPicture::Stopped);
    m_window.ServicePaused->setVisible(row.picture == StatusPicture::Paused);

    m_window.StartService_lbl->setEnabled(row.enabledLabels & StartLabel);
    m_window.StopService_lbl->setEnabled(row.enabledLabels & StopLabel);
    m_window.PauseService_lbl->setEnabled(row.enabledLabels & PauseLabel);
    m_window.ResumeService_lbl->setEnabled(row.enabledLabels & ResumeLabel);
    m_window.UninstallService_lbl->setEnabled(false);
    m_window.InstallService_lbl->setEnabled(false);

    m_tray.serviceStateShown(state, m_window.status_lbl->text(), row.enabledLabels, QDateTime::currentDateTime());
}

void ServiceMonitor::run(const Command &command)
{
    // One command at a time: while one waits (perhaps for the administrator
    // to type a password) another click is ignored, not queued behind it.
    if (m_commandBusy)
        return;
    if (!confirmed(m_window.platform(), command.question))
        return;
    // The window may have been closed while the question was open; its
    // handles are gone then and there is nobody left to act for.
    if (m_closed)
        return;
    // From here on a change the command asks for is the administrator's own.
    m_tray.commandStarted(command.kind, QDateTime::currentDateTime());

    ServiceManager *manager = serviceManager();
    if (!manager || !m_window.ServiceManagerHandle) {
        finish(command, {});
        return;
    }
    m_commandBusy = true;
    m_window.StatusBar1->showMessage(QLatin1StringView(command.waiting));
    // A handle of the command's own, with just the right it needs (the
    // monitor's handle may only query). It travels with the request and is
    // closed once the failure box, if any, has been answered.
    manager->openService(m_window.ServiceManagerHandle.get(), m_window.ServiceName.toStdString(), command.access,
                         handleReply([this, manager, &command](UniqueServiceHandle opened) {
                             if (!opened) {
                                 finish(command, {});
                                 return;
                             }
                             auto handle = std::make_shared<UniqueServiceHandle>(std::move(opened));
                             (manager->*command.request)(
                                 handle->get(), reply<ServiceManager::Outcome>([this, &command, handle](auto outcome) {
                                     finish(command, outcome);
                                     handle->reset();
                                 }));
                         }));
}

void ServiceMonitor::finish(const Command &command, const ServiceManager::Outcome &outcome)
{
    m_commandBusy = false;
    // Nobody sees the box of a hidden window: the desktop says it instead.
    m_tray.commandFinished(command.kind, outcome.accepted, !m_window.isVisible(), QDateTime::currentDateTime());
    // Success shows nothing: the page follows the service's own state.
    if (outcome.accepted) {
        m_window.StatusBar1->clearMessage();
        return;
    }
    // The system's words go to the status bar, so that a refused or cancelled
    // authorisation can be told from a service that failed; the box says what
    // it always says.
    QString failure = QLatin1StringView(command.failure);
    if (outcome.detail.empty()) {
        m_window.StatusBar1->clearMessage();
    } else {
        failure.chop(1);
        m_window.StatusBar1->showMessage(failure + QStringLiteral(": ") + QString::fromStdString(outcome.detail));
    }
    m_window.platform().dialogs->messageBox(nullptr, QLatin1StringView(command.failure), QStringLiteral("Error"),
                                            platform::Buttons::Ok, platform::Icon::Error);
}

void TForm3::StartService_lblClick()
{
    static const ServiceCommand command{"Are you sure you want to start Vellamor Service?",
                                        ServiceManager::Start,
                                        &ServiceManager::start,
                                        "Failed to start service.",
                                        "Waiting for the service manager to start Vellamor Service...",
                                        ServiceCommandKind::Start};
    m_service.run(command);
}

void TForm3::StopService_lblClick()
{
    static const ServiceCommand command{"Are you sure you want to stop Vellamor Service?",
                                        ServiceManager::Stop,
                                        &ServiceManager::stop,
                                        "Failed to stop service.",
                                        "Waiting for the service manager to stop Vellamor Service...",
                                        ServiceCommandKind::Stop};
    m_service.run(command);
}

void TForm3::PauseService_lblClick()
{
    static const ServiceCommand command{"Are you sure you want to pause Vellamor Service?",
                                        ServiceManager::PauseContinue,
                                        &ServiceManager::pause,
                                        "Failed to pause service.",
                                        "Waiting for the service manager to pause Vellamor Service...",
                                        ServiceCommandKind::Pause};
    m_service.run(command);
}

void TForm3::ResumeService_lblClick()
{
    static const ServiceCommand command{"Are you sure you want to resume Vellamor Service?",
                                        ServiceManager::PauseContinue,
                                        &ServiceManager::resume,
                                        "Failed to resume service.",
                                        "Waiting for the service manager to resume Vellamor Service...",
                                        ServiceCommandKind::Resume};
    m_service.run(command);
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

void ServiceMonitor::showLog()
{
    // One log window: a second click brings it forward.
    if (m_log) {
        m_log->showNormal();
        m_log->raise();
        m_log->activateWindow();
        return;
    }
    // The log directory as the page has it now; empty means the default.
    QString logDirectory = m_window.DefaultLogFolder_txt->text();
    if (logDirectory.isEmpty())
        logDirectory = besideExecutable(m_window.platform().fileSystem->executableDir(), QStringLiteral("logs"));
    const QString service = m_window.ServiceName.isEmpty() ? QString(kServiceName) : m_window.ServiceName;
    m_log = new ServiceLogWindow(m_window.platform().serviceLogs->open(service, logDirectory), &m_window);
    m_log->show();
}

void ServiceMonitor::close()
{
    m_closed = true;
    // The service's handle before the manager's it was opened through. The
    // replies still due find the window shut and close what they bring.
    m_window.ServiceHandle.reset();
    m_window.ServiceManagerHandle.reset();
    // The log window goes with the main window: the application ends when
    // its last window closes.
    if (m_log)
        m_log->close();
}

void TForm3::OpenServiceMonitor()
{
    m_service.open();
}

void TForm3::RefreshServiceStatus()
{
    m_service.refresh();
}

void TForm3::ShowServiceStatus(ServiceDisplayState state)
{
    m_service.show(state);
}

void TForm3::Timer2Timer()
{
    RefreshServiceStatus();
    m_tray.timePassed(QDateTime::currentDateTime());
}

void TForm3::ShowLog_lblClick()
{
    m_service.showLog();
}

using namespace pageparts;

QWidget *TForm3::buildServicePage()
{
    TabSheet1MainService = named(new QWidget, "TabSheet1MainService");
    auto *page = TabSheet1MainService;
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    Image1 = named(new SvgPicture(QStringLiteral(":/pictures/banner.svg"), QSize(600, 70), page), "Image1");
    Image1->setStretchHorizontally(true);
    layout->addWidget(Image1);

    auto *columns = new QHBoxLayout;
    columns->setContentsMargins(9, 9, 9, 9);
    columns->setSpacing(9);
    layout->addLayout(columns, 1);

    // Left column: the service state and the users count.
    auto *left = new QVBoxLayout;
    left->setSpacing(9);
    columns->addLayout(left, 1);

    GroupBox1 = named(new QGroupBox(tr("Service Status"), page), "GroupBox1");
    left->addWidget(GroupBox1);
    auto *statusLayout = new QHBoxLayout(GroupBox1);
    Image2 = named(new SvgPicture(QStringLiteral(":/pictures/server.svg"), QSize(48, 48), GroupBox1), "Image2");
    statusLayout->addWidget(Image2, 0, Qt::AlignTop);
    auto *statusColumn = new QVBoxLayout;
    statusColumn->setSpacing(4);
    statusLayout->addLayout(statusColumn, 1);
    // The four state pictures share one spot; exactly one of them shows.
    auto *pictures = new QGridLayout;
    pictures->setContentsMargins(0, 0, 0, 0);
    const QSize gear(50, 50);
    StatusUnknown = named(new SvgPicture(QStringLiteral(":/pictures/gear-grey.svg"), gear, GroupBox1), "StatusUnknown");
    StatusRunning =
        named(new SvgPicture(QStringLiteral(":/pictures/gear-green.svg"), gear, GroupBox1), "StatusRunning");
    StatusStoped = named(new SvgPicture(QStringLiteral(":/pictures/gear-red.svg"), gear, GroupBox1), "StatusStoped");
    ServicePaused =
        named(new SvgPicture(QStringLiteral(":/pictures/gear-yellow.svg"), gear, GroupBox1), "ServicePaused");
    for (SvgPicture *picture : {StatusUnknown, StatusRunning, StatusStoped, ServicePaused})
        pictures->addWidget(picture, 0, 0, Qt::AlignCenter);
    StatusRunning->hide();
    StatusStoped->hide();
    ServicePaused->hide();
    statusColumn->addLayout(pictures);
    status_lbl = named(new QLabel(tr("Stopped"), GroupBox1), "status_lbl");
    // 200 pixels at the classic font; it grows rather than clip a caption
    // such as "Failed to get Vellamor service status" at larger fonts.
    status_lbl->setMinimumWidth(200);
    status_lbl->setAlignment(Qt::AlignCenter);
    status_lbl->setTextFormat(Qt::PlainText);
    statusColumn->addWidget(status_lbl, 0, Qt::AlignHCenter);

    GroupBox2 = named(new QGroupBox(tr("Users Status"), page), "GroupBox2");
    left->addWidget(GroupBox2);
    auto *usersLayout = new QHBoxLayout(GroupBox2);
    Image3 = named(new SvgPicture(QStringLiteral(":/pictures/users.svg"), QSize(48, 48), GroupBox2), "Image3");
    usersLayout->addWidget(Image3);
    TotalPorts_lbl = named(new QLabel(tr("? users are connected"), GroupBox2), "TotalPorts_lbl");
    // The count comes from the network: never interpret it as markup.
    TotalPorts_lbl->setTextFormat(Qt::PlainText);
    usersLayout->addWidget(TotalPorts_lbl, 1);
    left->addStretch(1);

    // Right column: the service commands.
    GroupBox3 = named(new QGroupBox(tr("Service Management"), page), "GroupBox3");
    columns->addWidget(GroupBox3);
    auto *manage = new QHBoxLayout(GroupBox3);
    manage->setSpacing(10);
    Image4 = named(new SvgPicture(QStringLiteral(":/pictures/strip.svg"), QSize(28, 180), GroupBox3), "Image4");
    manage->addWidget(Image4, 0, Qt::AlignTop);
    auto *links = new QVBoxLayout;
    links->setSpacing(6);
    manage->addLayout(links);
    StartService_lbl = named(new LinkLabel(tr("Start Service"), GroupBox3), "StartService_lbl");
    StopService_lbl = named(new LinkLabel(tr("Stop Service"), GroupBox3), "StopService_lbl");
    PauseService_lbl = named(new LinkLabel(tr("Pause Service"), GroupBox3), "PauseService_lbl");
    ResumeService_lbl = named(new LinkLabel(tr("Resume Service"), GroupBox3), "ResumeService_lbl");
    UninstallService_lbl = named(new LinkLabel(tr("Uninstall Service"), GroupBox3), "UninstallService_lbl");
    InstallService_lbl = named(new LinkLabel(tr("Reinstall Service"), GroupBox3), "InstallService_lbl");
    links->addWidget(StartService_lbl);
    links->addWidget(StopService_lbl);
    links->addSpacing(12);
    links->addWidget(PauseService_lbl);
    links->addWidget(ResumeService_lbl);
    links->addSpacing(12);
    links->addWidget(UninstallService_lbl);
    links->addWidget(InstallService_lbl);
    links->addSpacing(12);
    // The server's log, for the reason a command failed.
    ShowLog_lbl = named(new LinkLabel(tr("Show Log"), GroupBox3), "ShowLog_lbl");
    links->addWidget(ShowLog_lbl);
    links->addStretch(1);
    manage->addStretch(1);

    return page;
}

} // namespace vellamor
