#include "VellamorDesktopMain.h"

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
#include <QShortcut>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace vellamor {

namespace {

// The six configuration pages in the order of the page tree.
struct ConfigPage
{
    const char *node;
    const char *title;
    const char *subtitle;
};

constexpr ConfigPage kConfigPages[] = {
    {"General", "General Options", "Configure various startup and general options"},
    {"Application Service", "Application Service", "Configure Application Service options"},
    {"Management Service", "Management Service", "Configure Management service options"},
    {"Security", "Security", "Security Rules"},
    {"SSL", "SSL Options", "Configure SSL options"},
    {"Database", "Database Settings", "Configure Database Server to use"},
};

template<typename T> T *named(T *object, const char *name)
{
    object->setObjectName(QLatin1StringView(name));
    return object;
}

QIcon icon(const char *name)
{
    return SvgIconEngine::icon(QStringLiteral(":/icons/%1.svg").arg(QLatin1StringView(name)));
}

QLineEdit *narrowEdit(const char *name, const QString &text, QWidget *parent)
{
    auto *edit = named(new QLineEdit(text, parent), name);
    edit->setMaximumWidth(edit->fontMetrics().horizontalAdvance(QLatin1Char('0')) * 12 + 16);
    return edit;
}

QToolButton *browseButton(const char *name, QWidget *parent)
{
    auto *button = named(new QToolButton(parent), name);
    button->setAutoRaise(true);
    button->setIcon(icon("folder"));
    button->setToolTip(QObject::tr("Browse..."));
    button->setCursor(Qt::PointingHandCursor);
    return button;
}

QToolButton *moveButton(const char *name, const char *caption, QWidget *parent)
{
    auto *button = named(new QToolButton(parent), name);
    button->setText(QLatin1StringView(caption));
    button->setMinimumSize(32, 26);
    return button;
}

} // namespace

TForm3::TForm3(platform::Platform platform, QWidget *parent)
    : QMainWindow(parent), m_platform(std::move(platform)), m_errors(m_platform.dialogs)
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
    setCentralWidget(PageControl1);

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
    installFieldHelpers();
    // The white groups, the navy links, the rules' colours: set here for the
    // palette in use.
    setUpAccessibility();
    watchForChanges();
    rememberSavedState();

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
    Timer1->stop();
    Timer2->stop();
    Timer3->stop();
    stopBackgroundWork();
    closeServiceMonitor();
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
    addToolBar(Qt::TopToolBarArea, ToolBar1);
}

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

QWidget *TForm3::buildConfigurationPage()
{
    TabSheet4Config = named(new QWidget, "TabSheet4Config");
    TabSheet4Config->installEventFilter(this);
    auto *layout = unattachedLayout<QHBoxLayout>(TabSheet4Config);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(6);

    TreeView1 = named(new QTreeWidget(TabSheet4Config), "TreeView1");
    TreeView1->setHeaderHidden(true);
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
    for (auto it = pending.rbegin(); it != pending.rend(); ++it) {
        QLayout *attached = it->second.release();
        it->first->setLayout(attached);
        if (it->first->isVisible())
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

QWidget *TForm3::buildGeneralPage()
{
    QVBoxLayout *body = nullptr;
    TabSheet5ConfigGeneral = configPage("TabSheet5ConfigGeneral", 0, &body);
    auto *page = TabSheet5ConfigGeneral;

    GroupBox8 = named(new QGroupBox(tr("Maximum Allowed Connections"), page), "GroupBox8");
    auto *maxLayout = new QHBoxLayout(GroupBox8);
    MaxCon_txt = narrowEdit("MaxCon_txt", QStringLiteral("0"), GroupBox8);
    maxLayout->addWidget(MaxCon_txt);
    maxLayout->addStretch(1);
    body->addWidget(GroupBox8);

    GroupBox13 = named(new QGroupBox(tr("Log Directory"), page), "GroupBox13");
    auto *logLayout = new QHBoxLayout(GroupBox13);
    DefaultLogFolder_txt = named(new QLineEdit(GroupBox13), "DefaultLogFolder_txt");
    SpeedButton5 = browseButton("SpeedButton5", GroupBox13);
    logLayout->addWidget(DefaultLogFolder_txt, 1);
    logLayout->addWidget(SpeedButton5);
    body->addWidget(GroupBox13);
    body->addStretch(1);
    return page;
}

namespace {

// The two lists of a service's addresses with the move buttons between them.
// The window's fields that one binding group fills in.
struct AddressPair
{
    QLabel *&systemLabel;
    QListWidget *&system;
    QToolButton *&add;
    QToolButton *&remove;
    QLabel *&chosenLabel;
    QListWidget *&chosen;
    QCheckBox *&all;
};

QGroupBox *addressGroup(const char *name, const QString &title, const char *names[7], const AddressPair &out,
                        QWidget *parent)
{
    auto *group = named(new QGroupBox(title, parent), name);
    auto *grid = new QGridLayout(group);
    grid->setHorizontalSpacing(6);
    out.systemLabel = named(new QLabel(QObject::tr("IPs On this System"), group), names[0]);
    out.system = named(new QListWidget(group), names[1]);
    out.add = moveButton(names[2], ">", group);
    out.remove = moveButton(names[3], "<", group);
    out.chosenLabel = named(new QLabel(QObject::tr("IPs To use for this port"), group), names[4]);
    out.chosen = named(new QListWidget(group), names[5]);
    out.all = named(new QCheckBox(QObject::tr("Activate on all Ips"), group), names[6]);
    for (QListWidget *list : {out.system, out.chosen}) {
        list->setSelectionMode(QAbstractItemView::SingleSelection);
        // Every entry is one line of text: the list places a thousand of them
        // without measuring each one again after every move.
        list->setUniformItemSizes(true);
        list->setMinimumHeight(60);
        PanelStyle::paintScrollBarsAlone(list);
    }
    auto *moves = new QVBoxLayout;
    moves->addStretch(1);
    moves->addWidget(out.add);
    moves->addWidget(out.remove);
    moves->addStretch(1);
    grid->addWidget(out.systemLabel, 0, 0);
    grid->addWidget(out.chosenLabel, 0, 2);
    grid->addWidget(out.system, 1, 0);
    grid->addLayout(moves, 1, 1);
    grid->addWidget(out.chosen, 1, 2);
    grid->addWidget(out.all, 2, 2);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(2, 1);
    return group;
}

} // namespace

QWidget *TForm3::buildApplicationPage()
{
    QVBoxLayout *body = nullptr;
    TabSheet7ConfigApplication = configPage("TabSheet7ConfigApplication", 1, &body);
    auto *page = TabSheet7ConfigApplication;

    const char *names[7] = {"Label1", "SystemIPS",   "SpeedButton1",     "SpeedButton2",
                            "Label8", "SelectedIPs", "ActivateOnAll_chk"};
    GroupBox5 =
        addressGroup("GroupBox5", tr("Application Server"), names,
                     {Label1, SystemIPS, SpeedButton1, SpeedButton2, Label8, SelectedIPs, ActivateOnAll_chk}, page);
    body->addWidget(GroupBox5, 1);

    GroupBox7 = named(new QGroupBox(tr("Application Service Port"), page), "GroupBox7");
    auto *portLayout = new QHBoxLayout(GroupBox7);
    lport = narrowEdit("lport", QStringLiteral("88"), GroupBox7);
    portLayout->addWidget(lport);
    portLayout->addStretch(1);
    body->addWidget(GroupBox7);
    return page;
}

QWidget *TForm3::buildManagementPage()
{
    QVBoxLayout *body = nullptr;
    TabSheet8Management = configPage("TabSheet8Management", 2, &body);
    auto *page = TabSheet8Management;

    const char *names[7] = {"Label4", "SystemIPS2",   "SpeedButton3",      "SpeedButton4",
                            "Label2", "SelectedIPs2", "ActivateOnAll_chk2"};
    GroupBox4 =
        addressGroup("GroupBox4", tr("Management Server"), names,
                     {Label4, SystemIPS2, SpeedButton3, SpeedButton4, Label2, SelectedIPs2, ActivateOnAll_chk2}, page);
    body->addWidget(GroupBox4, 1);

    auto *row = new QHBoxLayout;
    row->setSpacing(8);
    GroupBox9 = named(new QGroupBox(tr("Port"), page), "GroupBox9");
    auto *portLayout = new QVBoxLayout(GroupBox9);
    mport = narrowEdit("mport", QStringLiteral("1011"), GroupBox9);
    portLayout->addWidget(mport);
    portLayout->addStretch(1);
    row->addWidget(GroupBox9);

    GroupBox6 = named(new QGroupBox(tr("Management Server Password"), page), "GroupBox6");
    auto *passLayout = new QGridLayout(GroupBox6);
    Label6 = named(new QLabel(tr("Password :"), GroupBox6), "Label6");
    ServerPass_txt = named(new QLineEdit(GroupBox6), "ServerPass_txt");
    Label7 = named(new QLabel(tr("Confirm Password :"), GroupBox6), "Label7");
    ConfirmServerPass_txt = named(new QLineEdit(GroupBox6), "ConfirmServerPass_txt");
    // One "*" per character, whatever the desktop style's is (PanelStyle).
    ServerPass_txt->setEchoMode(QLineEdit::Password);
    ConfirmServerPass_txt->setEchoMode(QLineEdit::Password);
    Label6->setBuddy(ServerPass_txt);
    Label7->setBuddy(ConfirmServerPass_txt);
    passLayout->addWidget(Label6, 0, 0);
    passLayout->addWidget(ServerPass_txt, 0, 1);
    passLayout->addWidget(Label7, 1, 0);
    passLayout->addWidget(ConfirmServerPass_txt, 1, 1);
    row->addWidget(GroupBox6, 1);
    body->addLayout(row);
    return page;
}

QWidget *TForm3::buildSecurityPage()
{
    QVBoxLayout *body = nullptr;
    TabSheet2ConfigSecurity = configPage("TabSheet2ConfigSecurity", 3, &body);
    auto *page = TabSheet2ConfigSecurity;

    auto *top = new QHBoxLayout;
    GroupBox10 = named(new QGroupBox(tr("Default Connection Policy"), page), "GroupBox10");
    auto *policyColumn = new QVBoxLayout(GroupBox10);
    auto *policy = new QHBoxLayout;
    PolicyReject_radio = named(new QRadioButton(tr("Reject All"), GroupBox10), "PolicyReject_radio");
    PolicyAccept_radio = named(new QRadioButton(tr("Accept All"), GroupBox10), "PolicyAccept_radio");
    PolicyReject_radio->setChecked(true);
    policy->addWidget(PolicyReject_radio);
    policy->addWidget(PolicyAccept_radio);
    policy->addStretch(1);
    policyColumn->addLayout(policy);
    PolicyNote_lbl =
        named(new QLabel(tr("No ACCEPT rule: with Reject All the server will refuse every client."), GroupBox10),
              "PolicyNote_lbl");
    PolicyNote_lbl->setWordWrap(true);
    PolicyNote_lbl->hide();
    policyColumn->addWidget(PolicyNote_lbl);
    top->addWidget(GroupBox10, 1);

    auto *actions = new QVBoxLayout;
    Button2 = named(new QPushButton(icon("add"), tr("Add Rule"), page), "Button2");
    Button3 = named(new QPushButton(icon("clear"), tr("Clear"), page), "Button3");
    actions->addWidget(Button2);
    actions->addWidget(Button3);
    actions->addStretch(1);
    top->addLayout(actions);
    body->addLayout(top);

    GroupBox12 = named(new QGroupBox(tr("Rules (RuleSet file content)"), page), "GroupBox12");
    auto *rules = new QVBoxLayout(GroupBox12);
    rules->setSpacing(4);
    RulesFilter_txt = named(new QLineEdit(GroupBox12), "RulesFilter_txt");
    RulesFilter_txt->setPlaceholderText(tr("Find rules: an address, or any text"));
    RulesFilter_txt->setToolTip(tr("An address shows the rules that cover it; other text, the rules holding it."));
    RulesFilter_txt->setAccessibleName(tr("Find rules"));
    RulesFilter_txt->setClearButtonEnabled(true);
    // The magnifier says what the field is for; pressed, it puts the cursor there.
    QAction *find = RulesFilter_txt->addAction(icon("find"), QLineEdit::LeadingPosition);
    find->setText(tr("Find rules"));
    connect(find, &QAction::triggered, RulesFilter_txt, [this] { RulesFilter_txt->setFocus(Qt::OtherFocusReason); });
    rules->addWidget(RulesFilter_txt);

    auto *listRow = new QHBoxLayout;
    listRow->setSpacing(4);
    m_rules = new RuleListModel(this);
    m_shownRules = new RuleFilterModel(m_rules, this);
    RulesList = named(new RuleListView(GroupBox12), "RulesList");
    RulesList->setModel(m_shownRules);
    // Block lists run to a million lines: with one height for every row the
    // view places rows by arithmetic instead of measuring each one.
    RulesList->setUniformItemSizes(true);
    // Scrolling by rows works out the page step from every row's position
    // on each change; by pixels it is a multiplication.
    RulesList->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    RulesList->setIconSize(QSize(16, 16)); // the warning sign
    RulesList->setSelectionMode(QAbstractItemView::SingleSelection);
    RulesList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    RulesList->setContextMenuPolicy(Qt::CustomContextMenu);
    RulesList->addActions({EditRule1, MoveRuleUp1, MoveRuleDown1});
    QFont mono = RulesList->font();
    mono.setFamilies({QStringLiteral("DejaVu Sans Mono"), QStringLiteral("Consolas"), QStringLiteral("monospace")});
    mono.setStyleHint(QFont::Monospace);
    RulesList->setFont(mono);
    PanelStyle::paintScrollBarsAlone(RulesList);
    listRow->addWidget(RulesList, 1);

    auto *moves = new QVBoxLayout;
    MoveRuleUp_btn = named(new QToolButton(GroupBox12), "MoveRuleUp_btn");
    MoveRuleDown_btn = named(new QToolButton(GroupBox12), "MoveRuleDown_btn");
    MoveRuleUp_btn->setDefaultAction(MoveRuleUp1);
    MoveRuleDown_btn->setDefaultAction(MoveRuleDown1);
    for (QToolButton *button : {MoveRuleUp_btn, MoveRuleDown_btn}) {
        button->setToolButtonStyle(Qt::ToolButtonIconOnly);
        button->setAccessibleName(button->defaultAction()->text());
        moves->addWidget(button);
    }
    MoveRuleUp_btn->setToolTip(tr("Move the selected rule up (Ctrl+Up)"));
    MoveRuleDown_btn->setToolTip(tr("Move the selected rule down (Ctrl+Down)"));
    moves->addStretch(1);
    listRow->addLayout(moves);
    rules->addLayout(listRow, 1);

    auto *attention = new QHBoxLayout;
    attention->setSpacing(4);
    RulesAttentionIcon_lbl = named(new QLabel(GroupBox12), "RulesAttentionIcon_lbl");
    RulesAttentionIcon_lbl->setAccessibleName(tr("Warning"));
    RulesAttention_lbl = named(new QLabel(GroupBox12), "RulesAttention_lbl");
    RulesAttention_lbl->setToolTip(tr("Point at a rule with the warning sign to read why."));
    RulesAttentionIcon_lbl->hide();
    RulesAttention_lbl->hide();
    RulesFound_lbl = named(new QLabel(GroupBox12), "RulesFound_lbl");
    RulesFound_lbl->setTextFormat(Qt::PlainText);
    RulesFound_lbl->hide();
    attention->addWidget(RulesAttentionIcon_lbl);
    attention->addWidget(RulesAttention_lbl);
    attention->addStretch(1);
    attention->addWidget(RulesFound_lbl);
    rules->addLayout(attention);
    body->addWidget(GroupBox12, 1);
    return page;
}

QWidget *TForm3::buildSslPage()
{
    QVBoxLayout *body = nullptr;
    TabSheet3ConfigSSL = configPage("TabSheet3ConfigSSL", 4, &body);
    auto *page = TabSheet3ConfigSSL;

    GroupBox14 = named(new QGroupBox(tr("Key File"), page), "GroupBox14");
    auto *keyLayout = new QHBoxLayout(GroupBox14);
    KeyFile_txt = named(new QLineEdit(GroupBox14), "KeyFile_txt");
    SpeedButton6 = browseButton("SpeedButton6", GroupBox14);
    keyLayout->addWidget(KeyFile_txt, 1);
    keyLayout->addWidget(SpeedButton6);
    body->addWidget(GroupBox14);

    GroupBox15 = named(new QGroupBox(tr("Certificate File"), page), "GroupBox15");
    auto *certLayout = new QHBoxLayout(GroupBox15);
    CertFile_txt = named(new QLineEdit(GroupBox15), "CertFile_txt");
    SpeedButton7 = browseButton("SpeedButton7", GroupBox15);
    certLayout->addWidget(CertFile_txt, 1);
    certLayout->addWidget(SpeedButton7);
    body->addWidget(GroupBox15);
    body->addStretch(1);
    return page;
}

QWidget *TForm3::buildDatabasePage()
{
    QVBoxLayout *body = nullptr;
    TabSheet6ConfigDatabase = configPage("TabSheet6ConfigDatabase", 5, &body);
    auto *page = TabSheet6ConfigDatabase;

    GroupBox11 = named(new QGroupBox(tr("Database Configuration"), page), "GroupBox11");
    auto *layout = new QVBoxLayout(GroupBox11);
    Label21 = named(new QLabel(tr("This version support only Embeded Firebird Database"), GroupBox11), "Label21");
    Label21->setWordWrap(true);
    layout->addWidget(Label21);
    body->addWidget(GroupBox11);
    body->addStretch(1);
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
    connect(Intelligent1, &QMenu::aboutToShow, this, [this] { updateUsersReloadAction(); });
    wire(IntelligentPorts1, &QAction::triggered, &TForm3::IntelligentPorts1Click);
    wire(About1, &QAction::triggered, &TForm3::About1Click);
    wire(Delete1, &QAction::triggered, &TForm3::Delete1Click);
    wire(ToolButton9, &QToolButton::clicked, &TForm3::Exit1Click);

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
    wire(RulesFilter_txt, &QLineEdit::textChanged, &TForm3::RulesFilter_txtChange);
    connect(RulesList, &QAbstractItemView::doubleClicked, this, [this] { guarded([this] { EditRule1Click(); }); });
    connect(RulesList, &RuleListView::rowDropped, this,
            [this](int row, int before) { guarded([this, row, before] { moveShownRule(row, before); }); });
    auto *find =
        new QShortcut(QKeySequence::Find, TabSheet2ConfigSecurity, nullptr, nullptr, Qt::WidgetWithChildrenShortcut);
    connect(find, &QShortcut::activated, this, [this] {
        RulesFilter_txt->setFocus(Qt::ShortcutFocusReason);
        RulesFilter_txt->selectAll();
    });
    // What can be done with the selected rule, and the checks of the rules.
    connect(RulesList->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { ruleSelectionChanged(); });
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(m_shownRules, signal, this, [this] { updateRuleActions(); });
    connect(m_shownRules, &QAbstractItemModel::layoutChanged, this, [this] { updateRuleActions(); });
    connect(m_shownRules, &QAbstractItemModel::modelReset, this, [this] { updateRuleActions(); });
    connect(m_shownRules, &RuleFilterModel::analysed, this, [this] { showRuleChecks(); });
    connect(PolicyReject_radio, &QRadioButton::toggled, this, [this] { showRuleChecks(); });
    updateRuleActions();
    showRuleChecks();

    connect(RulesList, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { PopupMenu1->popup(RulesList->viewport()->mapToGlobal(pos)); });
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
    updateUsersReloadAction();
    // A file that is not there has nothing the window could fail to show.
    for (const LoadedFiles::File file : {LoadedFiles::File::GlobalConfig, LoadedFiles::File::Rules}) {
        if (!fileOnDisk(file))
            m_loaded.set(file, LoadedFiles::Shown::InFull);
    }
    showLoadNote();
    // What start-up loaded is what the files hold: no changes yet, unless a
    // file is shown only in part.
    rememberSavedState();
}

void TForm3::FormActivate()
{
    if (Activated || m_shutDown)
        return;
    startStatusPoller();
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
    close();
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
    bool mayClose = true;
    guarded([this, &mayClose] { mayClose = confirmClose(); });
    if (!mayClose) {
        event->ignore();
        return;
    }
    shutDown();
    event->accept();
}

} // namespace vellamor
