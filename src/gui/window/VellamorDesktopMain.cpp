#include "VellamorDesktopMain.h"

#include "PageParts.h"
#include "common/AppInfo.h"
#include "common/Error.h"
#include "common/Paths.h"
#include "config/AtomicFile.h"
#include "dialogs/about.h"
#include "management/UsersStatusEvent.h"
#include "models/RuleFilterModel.h"
#include "rules/RuleListModel.h"
#include "widgets/HeaderBand.h"
#include "widgets/LinkLabel.h"
#include "widgets/PanelStyle.h"
#include "widgets/RuleListView.h"
#include "widgets/SvgIconEngine.h"
#include "widgets/SvgPicture.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QShortcut>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace vellamor {

namespace {

// The six configuration pages in the order of the page tree.
struct ConfigPage
{
    const char *node;
    const char *title;
    const char *subtitle;
};

// The one piece of state kept outside the server's directory: the user's own
// choices about this panel, under the user's configuration folder.
std::unique_ptr<QSettings> panelSettings()
{
    // Named here rather than through the application object, which a test or
    // a tool may have named otherwise.
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Vellamor"),
                                       kApplicationTitle);
}

const QString kKeepRunningKey = QStringLiteral("keepRunningInNotificationArea");

constexpr ConfigPage kConfigPages[] = {
    {"General", "General Options", "Configure various startup and general options"},
    {"Application Service", "Application Service", "Configure Application Service options"},
    {"Management Service", "Management Service", "Configure Management service options"},
    {"Security", "Security", "Security Rules"},
    {"SSL", "SSL Options", "Configure SSL options"},
    {"Database", "Database Settings", "Configure Database Server to use"},
};

} // namespace

using namespace pageparts;

TForm3::TForm3(platform::Platform platform, QWidget *parent)
    : QMainWindow(parent), m_platform(std::move(platform)), m_errors(m_platform.dialogs), m_loaded(*this),
      m_bindings(*this), m_config(*this, m_loaded), m_rules(*this, m_loaded), m_tray(m_platform.notifications),
      m_service(*this, m_tray), m_management(*this), m_unsaved(*this, m_loaded, m_management),
      m_history(*this, m_loaded, m_config, m_rules, m_unsaved),
      m_save(*this, m_loaded, m_rules, m_management, m_unsaved, m_history)
{
    // Every outside service has to be there before the first event can use it.
    if (!m_platform.dialogs || !m_platform.fileSystem || !m_platform.desktop || !m_platform.serviceManager ||
        !m_platform.serviceLogs || !m_platform.addressTable)
        throw Error(QStringLiteral("The panel is missing one of its system services and cannot start"));

    PanelStyle::install();
    setObjectName(QStringLiteral("Form3"));
    // The mark shows unsaved changes, the standard way of the desktop.
    setWindowTitle(QString(kMainWindowCaption) + QStringLiteral("[*]"));
    setWindowIcon(icon("app"));

    buildMenus();
    buildToolBar();

    PageControl1 = named(new QTabWidget(this), "PageControl1");
    PageControl1->setIconSize(QSize(16, 16));
    PageControl1->addTab(buildServicePage(), icon("service"), tr("Service"));
    PageControl1->addTab(buildConfigurationPage(), icon("configuration"), tr("Configuration"));
    PageControl1->setCurrentIndex(0);
    auto *pages = new QWidget(this);
    auto *pagesLayout = new QVBoxLayout(pages);
    pagesLayout->setContentsMargins(0, 0, 0, 0);
    pagesLayout->setSpacing(0);
    pagesLayout->addWidget(m_history.buildBar());
    pagesLayout->addWidget(PageControl1, 1);
    setCentralWidget(pages);

    StatusBar1 = named(new QStatusBar(this), "StatusBar1");
    StatusBar1->setFixedHeight(19);
    setStatusBar(StatusBar1);

    Timer1 = named(new QTimer(this), "Timer1");
    Timer1->setInterval(kUsersReloadDelay);
    Timer2 = named(new QTimer(this), "Timer2");
    Timer2->setInterval(kServiceRefreshInterval);
    Timer3 = named(new QTimer(this), "Timer3");
    Timer3->setInterval(kRulesReloadDelay);

    wireEvents();
    m_save.prepareFields();
    // The white groups, the navy links, the rules' colours: set here for the
    // palette in use.
    setUpAccessibility();
    m_unsaved.watch(m_rules.rules());
    m_unsaved.remember();

    // The window opens a little larger than its classic 507 x 384 client area:
    // today's default fonts need the room.
    const QSize minimum = minimumSizeHint();
    resize(qMax(620, minimum.width()), qMax(500, minimum.height()));

    // The service timer runs from the moment the window exists.
    Timer2->start();
    afterFirstPaint([this] { attachLayouts(); });
}

TForm3::~TForm3()
{
    shutDown();
    // The controls go after this body has run, and some of them signal on
    // their way (a list's model resets): nothing of this window may answer.
    for (QObject *child : findChildren<QObject *>())
        QObject::disconnect(child, nullptr, this, nullptr);
}

void TForm3::shutDown()
{
    if (m_shutDown)
        return;
    m_shutDown = true;
    // The last Save's record is written whole before the panel goes.
    m_history.finish();
    Timer1->stop();
    Timer2->stop();
    Timer3->stop();
    m_management.stop();
    m_service.close();
}

void TForm3::buildMenus()
{
    MainMenu1 = named(new QMenuBar(this), "MainMenu1");
    setMenuBar(MainMenu1);

    // A menu bar shows a menu's icon instead of its title, so the System menu
    // title stays text only; its items carry the icons.
    Intelligent1 = named(MainMenu1->addMenu(tr("System")), "Intelligent1");
    ReloadUsers1 = named(Intelligent1->addAction(icon("reload-users"), tr("Reload Users on Server")), "ReloadUsers1");
    ReloadUsers1->setEnabled(false);
    ConfigurationHistory1 =
        named(Intelligent1->addAction(icon("history"), tr("Configuration History...")), "ConfigurationHistory1");
    named(Intelligent1->addSeparator(), "TraySeparator1");
    KeepRunning1 = named(Intelligent1->addAction(tr("Keep Running in the Notification Area")), "KeepRunning1");
    KeepRunning1->setCheckable(true);
    KeepRunning1->setChecked(keepsRunning());
    StartAtLogin1 = named(Intelligent1->addAction(tr("Start at Login")), "StartAtLogin1");
    StartAtLogin1->setCheckable(true);
    StartAtLogin1->setEnabled(bool(m_platform.autostart));
    StartAtLogin1->setChecked(m_platform.autostart && m_platform.autostart->isEnabled());
    N1 = named(Intelligent1->addSeparator(), "N1");
    Exit1 = named(Intelligent1->addAction(icon("exit"), tr("Exit")), "Exit1");

    Help1 = named(MainMenu1->addMenu(tr("Help")), "Help1");
    IntelligentPorts1 = named(Help1->addAction(icon("update"), tr("Check for updates")), "IntelligentPorts1");
    N3 = named(Help1->addSeparator(), "N3");
    About1 = named(Help1->addAction(icon("about"), tr("About")), "About1");

    PopupMenu1 = named(new QMenu(this), "PopupMenu1");
    EditRule1 = named(PopupMenu1->addAction(icon("edit"), tr("Edit Rule")), "EditRule1");
    Delete1 = named(PopupMenu1->addAction(icon("delete"), tr("Delete Rule")), "Delete1");
    N2 = named(PopupMenu1->addSeparator(), "N2");
    MoveRuleUp1 = named(PopupMenu1->addAction(icon("move-up"), tr("Move Up")), "MoveRuleUp1");
    MoveRuleDown1 = named(PopupMenu1->addAction(icon("move-down"), tr("Move Down")), "MoveRuleDown1");
    named(PopupMenu1->addSeparator(), "ListsSeparator1");
    ImportRules1 = named(PopupMenu1->addAction(icon("import"), tr("Import...")), "ImportRules1");
    ExportRules1 = named(PopupMenu1->addAction(icon("export"), tr("Export...")), "ExportRules1");
    // The keys work in the rule list (added to it with the list); the menu
    // shows them beside the items.
    EditRule1->setShortcuts({QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)});
    MoveRuleUp1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Up));
    MoveRuleDown1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Down));
    for (QAction *action : {EditRule1, MoveRuleUp1, MoveRuleDown1})
        action->setShortcutContext(Qt::WidgetShortcut);
}

void TForm3::buildToolBar()
{
    ToolBar1 = named(new QToolBar(this), "ToolBar1");
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setIconSize(QSize(16, 16));
    ToolBar1->setMinimumHeight(22);
    ToolBar1->toggleViewAction()->setVisible(false);
    ToolButton9 = named(new QToolButton(ToolBar1), "ToolButton9");
    ToolButton9->setIcon(icon("exit"));
    ToolButton9->setToolTip(tr("Exit"));
    ToolButton9->setAutoRaise(true);
    ToolBar1->addWidget(ToolButton9);
    HistoryButton = named(new QToolButton(ToolBar1), "HistoryButton");
    HistoryButton->setIcon(icon("history"));
    HistoryButton->setToolTip(tr("Configuration History"));
    HistoryButton->setAutoRaise(true);
    ToolBar1->addWidget(HistoryButton);
    addToolBar(Qt::TopToolBarArea, ToolBar1);
}

QWidget *TForm3::buildConfigurationPage()
{
    TabSheet4Config = named(new QWidget, "TabSheet4Config");
    TabSheet4Config->installEventFilter(this);
    auto *layout = unattachedLayout<QHBoxLayout>(TabSheet4Config);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(6);

    TreeView1 = named(new QTreeWidget(TabSheet4Config), "TreeView1");
    TreeView1->setHeaderHidden(true);
    // Hidden, but still read out: it would say "1", the number of its column.
    TreeView1->setHeaderLabels({QString()});
    TreeView1->setRootIsDecorated(false);
    TreeView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TreeView1->setSelectionMode(QAbstractItemView::SingleSelection);
    TreeView1->setFixedWidth(150);
    for (const ConfigPage &page : kConfigPages)
        new QTreeWidgetItem(TreeView1, QStringList{tr(page.node)});
    TreeView1->setCurrentItem(nullptr);
    TreeView1->clearSelection();
    layout->addWidget(TreeView1);

    auto *right = new QVBoxLayout;
    right->setSpacing(6);
    layout->addLayout(right, 1);
    PageControl2 = named(new QTabWidget(TabSheet4Config), "PageControl2");
    // The tree is the only way between these pages.
    PageControl2->tabBar()->hide();
    PageControl2->setDocumentMode(true);
    PageControl2->setMinimumSize(337, 278);
    PageControl2->addTab(buildGeneralPage(), tr("General"));
    PageControl2->addTab(buildApplicationPage(), tr("Application Service"));
    PageControl2->addTab(buildManagementPage(), tr("Management Service"));
    PageControl2->addTab(buildSecurityPage(), tr("Security"));
    PageControl2->addTab(buildSslPage(), tr("SSL"));
    PageControl2->addTab(buildDatabasePage(), tr("Database"));
    PageControl2->setCurrentIndex(0);
    auto *frame = new QFrame(TabSheet4Config);
    frame->setFrameShape(QFrame::StyledPanel);
    auto *frameLayout = new QVBoxLayout(frame);
    frameLayout->setContentsMargins(1, 1, 1, 1);
    frameLayout->addWidget(PageControl2);
    right->addWidget(frame, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    Button1 = named(new QPushButton(icon("save"), tr("Save"), TabSheet4Config), "Button1");
    Button1->setMinimumWidth(90);
    buttons->addWidget(Button1);
    right->addLayout(buttons);
    return TabSheet4Config;
}

template<class Layout> Layout *TForm3::unattachedLayout(QWidget *page)
{
    auto *layout = new Layout;
    m_unattachedLayouts.emplace_back(page, layout);
    return layout;
}

void TForm3::attachLayouts()
{
    // The pages inside first (they were built last), so that each outer
    // layout measures finished pages.
    std::vector<std::pair<QWidget *, std::unique_ptr<QLayout>>> pending = std::exchange(m_unattachedLayouts, {});
    std::reverse(pending.begin(), pending.end());
    for (auto &[page, layout] : pending) {
        QLayout *attached = layout.release();
        page->setLayout(attached);
        if (page->isVisible())
            attached->activate();
    }
}

bool TForm3::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == TabSheet4Config && event->type() == QEvent::Show)
        attachLayouts();
    return QMainWindow::eventFilter(watched, event);
}

// A page of the configuration notebook: its header band, then its controls.
QWidget *TForm3::configPage(const char *name, int index, QVBoxLayout **body)
{
    auto *page = named(new QWidget, name);
    auto *layout = unattachedLayout<QVBoxLayout>(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    const ConfigPage &info = kConfigPages[index];
    auto *band = new HeaderBand(QLatin1StringView(info.title), QLatin1StringView(info.subtitle), page);
    band->setObjectName(QLatin1StringView(name) + QLatin1StringView("Header"));
    layout->addWidget(band);
    auto *content = new QVBoxLayout;
    content->setContentsMargins(9, 9, 9, 9);
    content->setSpacing(8);
    layout->addLayout(content, 1);
    *body = content;
    return page;
}

void TForm3::wireEvents()
{
    // Every handler runs guarded: what it raises and does not handle itself
    // ends in the standard error box, and the window carries on.
    auto wire = [this](auto *sender, auto signal, void (TForm3::*handler)()) {
        connect(sender, signal, this, [this, handler] { guarded([this, handler] { (this->*handler)(); }); });
    };

    connect(TreeView1, &QTreeWidget::itemSelectionChanged, this, [this] {
        const QList<QTreeWidgetItem *> selected = TreeView1->selectedItems();
        QTreeWidgetItem *node = selected.isEmpty() ? nullptr : selected.first();
        guarded([this, node] { TreeView1Change(node); });
    });

    wire(Exit1, &QAction::triggered, &TForm3::Exit1Click);
    wire(ReloadUsers1, &QAction::triggered, &TForm3::ReloadUsers1Click);
    // The target may have changed since the last load or save (a test, a tool).
    connect(Intelligent1, &QMenu::aboutToShow, this, [this] {
        m_management.updateUsersReloadAction();
        // The entry is the user's to remove by hand too.
        if (m_platform.autostart)
            StartAtLogin1->setChecked(m_platform.autostart->isEnabled());
    });
    wire(KeepRunning1, &QAction::triggered, &TForm3::KeepRunning1Click);
    wire(StartAtLogin1, &QAction::triggered, &TForm3::StartAtLogin1Click);
    wire(IntelligentPorts1, &QAction::triggered, &TForm3::IntelligentPorts1Click);
    wire(About1, &QAction::triggered, &TForm3::About1Click);
    wire(Delete1, &QAction::triggered, &TForm3::Delete1Click);
    wire(ToolButton9, &QToolButton::clicked, &TForm3::Exit1Click);
    wire(ConfigurationHistory1, &QAction::triggered, &TForm3::ConfigurationHistory1Click);
    wire(HistoryButton, &QToolButton::clicked, &TForm3::ConfigurationHistory1Click);

    wire(Button1, &QPushButton::clicked, &TForm3::Button1Click);
    wire(Button2, &QPushButton::clicked, &TForm3::Button2Click);
    wire(Button3, &QPushButton::clicked, &TForm3::Button3Click);
    wire(SpeedButton1, &QToolButton::clicked, &TForm3::SpeedButton1Click);
    wire(SpeedButton2, &QToolButton::clicked, &TForm3::SpeedButton2Click);
    wire(SpeedButton3, &QToolButton::clicked, &TForm3::SpeedButton3Click);
    wire(SpeedButton4, &QToolButton::clicked, &TForm3::SpeedButton4Click);
    wire(SpeedButton5, &QToolButton::clicked, &TForm3::SpeedButton5Click);
    wire(SpeedButton6, &QToolButton::clicked, &TForm3::SpeedButton6Click);
    wire(SpeedButton7, &QToolButton::clicked, &TForm3::SpeedButton7Click);
    wire(ActivateOnAll_chk, &QCheckBox::clicked, &TForm3::ActivateOnAll_chkClick);
    wire(ActivateOnAll_chk2, &QCheckBox::clicked, &TForm3::ActivateOnAll_chk2Click);

    wire(StartService_lbl, &LinkLabel::clicked, &TForm3::StartService_lblClick);
    wire(StopService_lbl, &LinkLabel::clicked, &TForm3::StopService_lblClick);
    wire(PauseService_lbl, &LinkLabel::clicked, &TForm3::PauseService_lblClick);
    wire(ResumeService_lbl, &LinkLabel::clicked, &TForm3::ResumeService_lblClick);
    wire(UninstallService_lbl, &LinkLabel::clicked, &TForm3::UninstallService_lblClick);
    wire(InstallService_lbl, &LinkLabel::clicked, &TForm3::InstallService_lblClick);
    wire(ShowLog_lbl, &LinkLabel::clicked, &TForm3::ShowLog_lblClick);

    wire(Timer1, &QTimer::timeout, &TForm3::Timer1Timer);
    wire(Timer2, &QTimer::timeout, &TForm3::Timer2Timer);
    wire(Timer3, &QTimer::timeout, &TForm3::Timer3Timer);

    wire(EditRule1, &QAction::triggered, &TForm3::EditRule1Click);
    wire(MoveRuleUp1, &QAction::triggered, &TForm3::MoveRuleUp1Click);
    wire(MoveRuleDown1, &QAction::triggered, &TForm3::MoveRuleDown1Click);
    wire(ImportRules1, &QAction::triggered, &TForm3::ImportRules1Click);
    wire(ExportRules1, &QAction::triggered, &TForm3::ExportRules1Click);
    wire(ImportRules_btn, &QPushButton::clicked, &TForm3::ImportRules1Click);
    wire(ExportRules_btn, &QPushButton::clicked, &TForm3::ExportRules1Click);
    wire(RulesFilter_txt, &QLineEdit::textChanged, &TForm3::RulesFilter_txtChange);
    connect(RulesList, &QAbstractItemView::doubleClicked, this, [this] { guarded([this] { EditRule1Click(); }); });
    connect(RulesList, &RuleListView::rowDropped, this,
            [this](int row, int before) { guarded([this, row, before] { m_rules.moveShown(row, before); }); });
    m_rules.connectPage();

    connect(RulesList, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { PopupMenu1->popup(RulesList->viewport()->mapToGlobal(pos)); });
    wireTray();
}

void TForm3::wireTray()
{
    connect(&m_tray, &TrayArea::openRequested, this, [this] {
        showNormal();
        raise();
        activateWindow();
    });
    // The page's own handlers: the same question, the same authorisation.
    connect(&m_tray, &TrayArea::commandRequested, this, [this](ServiceCommandKind command) {
        guarded([this, command] {
            switch (command) {
            case ServiceCommandKind::Start:
                StartService_lblClick();
                break;
            case ServiceCommandKind::Stop:
                StopService_lblClick();
                break;
            case ServiceCommandKind::Pause:
                PauseService_lblClick();
                break;
            case ServiceCommandKind::Resume:
                ResumeService_lblClick();
                break;
            }
        });
    });
    connect(&m_tray, &TrayArea::showLogRequested, this, [this] { guarded([this] { ShowLog_lblClick(); }); });
    connect(&m_tray, &TrayArea::exitRequested, this, [this] { guarded([this] { Exit1Click(); }); });
    connect(this, &TForm3::usersStatusShown, &m_tray, &TrayArea::setUsersCaption);
}

bool TForm3::keepsRunning() const
{
    return panelSettings()->value(kKeepRunningKey, false).toBool();
}

void TForm3::KeepRunning1Click()
{
    const std::unique_ptr<QSettings> settings = panelSettings();
    settings->setValue(kKeepRunningKey, KeepRunning1->isChecked());
    settings->sync();
    if (settings->status() != QSettings::NoError) {
        KeepRunning1->setChecked(!KeepRunning1->isChecked());
        throw Error(QStringLiteral("Could not save the setting in %1").arg(settings->fileName()));
    }
}

void TForm3::StartAtLogin1Click()
{
    const bool wanted = StartAtLogin1->isChecked();
    if (const std::optional<QString> failure = m_platform.autostart->setEnabled(wanted)) {
        // The entry is as it was: so is the check.
        StartAtLogin1->setChecked(!wanted);
        throw Error(*failure);
    }
}

void TForm3::startInTray()
{
    // Hidden, the window never gets painted or activated; a message box
    // closing while it is hidden must not end the program either.
    QGuiApplication::setQuitOnLastWindowClosed(false);
    QTimer::singleShot(0, this, [this] { guarded([this] { FormActivate(); }); });
    // The look-again tick comes first at the same delay: give it the time.
    QTimer::singleShot(TrayArea::kLookAgainMs + 1000, this, [this] {
        if (!m_tray.isShown() && !m_shutDown)
            showNormal();
    });
}

void TForm3::guarded(const std::function<void()> &handler)
{
    m_errors.run(handler, this);
}

void TForm3::FormCreate()
{
    // A step that fails ends the loading there: the rest is skipped, the error
    // is shown, and start-up goes on with what was filled so far.
    m_loaded.set(LoadedFiles::File::GlobalConfig, LoadedFiles::Shown::NotLoaded);
    m_loaded.set(LoadedFiles::File::Rules, LoadedFiles::Shown::NotLoaded);
    guarded([this] {
        FillSystemIPs(SystemIPS);
        FillSystemIPs(SystemIPS2);

        const QString dir = m_platform.fileSystem->executableDir();
        const QString logs = besideExecutable(dir, QStringLiteral("logs"));
        if (!m_platform.fileSystem->directoryExists(logs))
            m_platform.fileSystem->createDirectory(logs); // a failure shows up at Save, not here
        // A Save cut short by a kill or a power cut leaves its temporary file
        // (gc.xml's holds the password); the files themselves are whole.
        removeLeftoverTemporaries(dir, {QStringLiteral("gc.xml"), QStringLiteral("rules.txt")});

        LoadGlobalConfig();
        LoadRules();
    });
    m_management.updateUsersReloadAction();
    m_loaded.settleMissing();
    m_loaded.showNote();
    // What start-up loaded is what the files hold: no changes yet, unless a
    // file is shown only in part.
    m_unsaved.remember();
    m_history.start();
}

void TForm3::FormActivate()
{
    if (Activated || m_shutDown)
        return;
    m_management.startPoller();
    ServiceName = kServiceName;
    OpenServiceMonitor();
    Activated = true;
}

void TForm3::TreeView1Change(QTreeWidgetItem *node)
{
    if (!node)
        return;
    const QString text = node->text(0);
    for (int index = 0; index < int(std::size(kConfigPages)); ++index) {
        if (text == QLatin1StringView(kConfigPages[index].node)) {
            PageControl2->setCurrentIndex(index);
            return;
        }
    }
}

void TForm3::Exit1Click()
{
    // Exit ends the program even when the close box only hides the window;
    // a close the user called off leaves the close box as it was.
    m_exiting = true;
    if (!close())
        m_exiting = false;
}

void TForm3::ConfigurationHistory1Click()
{
    m_history.showWindow();
}

void TForm3::IntelligentPorts1Click()
{
    // Nothing is reported when the browser cannot be started.
    m_platform.desktop->openUrl(kUpdatePageUrl);
}

void TForm3::About1Click()
{
    TAboutBox box(this);
    box.exec();
}

bool TForm3::event(QEvent *event)
{
    if (event->type() == UsersStatusEvent::EventType) {
        const auto *status = static_cast<UsersStatusEvent *>(event);
        guarded([this, status] { ShowUsersStatus(status->line()); });
        return true;
    }
    if (event->type() == QEvent::WindowActivate) {
        // Activation comes from the window system; run it after the event so a
        // message box opened here does not nest inside the activation. The
        // poller and the service bus are not needed for the window's first
        // picture, so they wait for it.
        afterFirstPaint([this] { guarded([this] { FormActivate(); }); });
    }
    const bool handled = QMainWindow::event(event);
    if (event->type() == QEvent::Paint && !m_firstPainted) {
        // The whole window is painted and shown before the loop turns again.
        m_firstPainted = true;
        QTimer::singleShot(0, this, [this] {
            const std::vector<std::function<void()>> work = std::exchange(m_afterFirstPaint, {});
            for (const std::function<void()> &step : work)
                step();
        });
    }
    return handled;
}

void TForm3::afterFirstPaint(std::function<void()> work)
{
    if (m_firstPainted)
        QTimer::singleShot(0, this, std::move(work));
    else
        m_afterFirstPaint.push_back(std::move(work));
}

void TForm3::closeEvent(QCloseEvent *event)
{
    if (!m_exiting && !m_shutDown && m_tray.isShown() && keepsRunning()) {
        // Only the window goes: the tray keeps watching, and its Exit ends.
        QGuiApplication::setQuitOnLastWindowClosed(false);
        event->ignore();
        hide();
        return;
    }
    bool mayClose = true;
    guarded([this, &mayClose] { mayClose = m_shutDown || m_unsaved.confirmClose(); });
    if (!mayClose) {
        event->ignore();
        return;
    }
    shutDown();
    event->accept();
    // The window was hidden when it closed: nothing else ends the loop.
    if (!QGuiApplication::quitOnLastWindowClosed()) {
        QGuiApplication::setQuitOnLastWindowClosed(true);
        QCoreApplication::exit(0);
    }
}

} // namespace vellamor
