// The main window as the administrator meets it: its controls and their
// defaults, the page tree, start-up loading, first activation, the menus.

#include "Controls.h"
#include "FakePlatform.h"
#include "FakeServiceManager.h"
#include "artwork/SvgFrame.h"
#include "common/Error.h"
#include "common/Paths.h"
#include "dialogs/about.h"
#include "widgets/SvgPicture.h"
#include "window/VellamorDesktopMain.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QProxyStyle>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#if VELLAMOR_HAVE_QTSVG
#include <QSvgRenderer>
#endif
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QWindow>

#include <functional>

using namespace vellamor;
using namespace vellamor::test;

namespace {

// A file system whose checks can be made to fail, to break start-up at the
// logs step, and which records the directories it was asked to create.
class BrokenFileSystem final : public platform::FileSystem
{
public:
    explicit BrokenFileSystem(QString dir) : m_real(std::move(dir)) {}
    QString executableDir() const override { return m_real.executableDir(); }
    bool directoryExists(const QString &path) const override
    {
        if (failDirectoryCheck)
            throw Error(QStringLiteral("Cannot look at %1!").arg(path));
        return m_real.directoryExists(path);
    }
    bool fileExists(const QString &path) const override { return m_real.fileExists(path); }
    bool createDirectory(const QString &path) override
    {
        created.append(path);
        return m_real.createDirectory(path);
    }

    bool failDirectoryCheck = false;
    QStringList created;

private:
    platform::LocalFileSystem m_real;
};

QString captionOf(QObject *object)
{
    if (auto *label = qobject_cast<QLabel *>(object))
        return label->text();
    if (auto *button = qobject_cast<QAbstractButton *>(object))
        return button->text();
    if (auto *group = qobject_cast<QGroupBox *>(object))
        return group->title();
    if (auto *edit = qobject_cast<QLineEdit *>(object))
        return edit->text();
    if (auto *action = qobject_cast<QAction *>(object))
        return action->text();
    if (auto *menu = qobject_cast<QMenu *>(object))
        return menu->title();
    return QStringLiteral("<no caption>");
}

// Closes the window the way a user would: System > Exit, the tool bar
// button, or the window's close box.
void closeBy(TForm3 &form, const QString &how)
{
    if (how == QLatin1String("menu"))
        control<QAction>(form, "Exit1")->trigger();
    else if (how == QLatin1String("toolbar"))
        QTest::mouseClick(control<QToolButton>(form, "ToolButton9"), Qt::LeftButton);
    else
        form.close();
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void controlsHaveTheirCaptionsAndDefaults_data();
    void controlsHaveTheirCaptionsAndDefaults();
    void startsOnTheServicePageWithNoNodeSelected();
    void firstPagePicturesHaveFramesAsDrawn_data();
    void firstPagePicturesHaveFramesAsDrawn();
    void listScrollBarsPaintedAlonePaintEveryPixel();
    void pageTreeSwitchesPages_data();
    void pageTreeSwitchesPages();
    void timersHaveTheirIntervals();
    void logsDirectoryIsCreatedWhenMissing();
    void logsDirectoryIsLeftAloneWhenPresent();
    void logsDirectoryThatCannotBeMadeIsSilent();
    void errorInStartupSkipsTheLaterSteps_data();
    void errorInStartupSkipsTheLaterSteps();
    void firstActivationRunsOnce();
    void handlerErrorsGoToTheStandardErrorBox();
    void checkForUpdatesOpensTheUpdatePage();
    void aboutOpensAFreshBoxEachTime();
    void exitAndToolButtonCloseTheWindow_data();
    void exitAndToolButtonCloseTheWindow();
    void editsMarkTheWindowModified_data();
    void editsMarkTheWindowModified();
    void unsavedChangesAskBeforeClosing_data();
    void unsavedChangesAskBeforeClosing();
};

void TestMainWindow::controlsHaveTheirCaptionsAndDefaults_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");

    const std::pair<const char *, const char *> rows[] = {
        {"Intelligent1", "System"},
        {"Exit1", "Exit"},
        {"ReloadUsers1", "Reload Users on Server"},
        {"ConfigurationHistory1", "Configuration History..."},
        {"Help1", "Help"},
        {"IntelligentPorts1", "Check for updates"},
        {"About1", "About"},
        {"Delete1", "Delete Rule"},
        {"GroupBox1", "Service Status"},
        {"status_lbl", "Stopped"},
        {"GroupBox2", "Users Status"},
        {"TotalPorts_lbl", "? users are connected"},
        {"GroupBox3", "Service Management"},
        {"StartService_lbl", "Start Service"},
        {"StopService_lbl", "Stop Service"},
        {"PauseService_lbl", "Pause Service"},
        {"ResumeService_lbl", "Resume Service"},
        {"UninstallService_lbl", "Uninstall Service"},
        {"InstallService_lbl", "Reinstall Service"},
        {"Button1", "Save"},
        {"GroupBox8", "Maximum Allowed Connections"},
        {"MaxCon_txt", "0"},
        {"GroupBox13", "Log Directory"},
        {"DefaultLogFolder_txt", ""},
        {"GroupBox5", "Application Server"},
        {"Label1", "IPs On this System"},
        {"SpeedButton1", ">"},
        {"SpeedButton2", "<"},
        {"Label8", "IPs To use for this port"},
        {"ActivateOnAll_chk", "Activate on all Ips"},
        {"GroupBox7", "Application Service Port"},
        {"lport", "88"},
        {"GroupBox4", "Management Server"},
        {"Label4", "IPs On this System"},
        {"SpeedButton3", ">"},
        {"SpeedButton4", "<"},
        {"Label2", "IPs To use for this port"},
        {"ActivateOnAll_chk2", "Activate on all Ips"},
        {"GroupBox9", "Port"},
        {"mport", "1011"},
        {"GroupBox6", "Management Server Password"},
        {"Label6", "Password :"},
        {"ServerPass_txt", ""},
        {"Label7", "Confirm Password :"},
        {"ConfirmServerPass_txt", ""},
        {"GroupBox10", "Default Connection Policy"},
        {"PolicyReject_radio", "Reject All"},
        {"PolicyAccept_radio", "Accept All"},
        {"Button2", "Add Rule"},
        {"Button3", "Clear"},
        {"GroupBox12", "Rules (RuleSet file content)"},
        {"GroupBox14", "Key File"},
        {"KeyFile_txt", ""},
        {"GroupBox15", "Certificate File"},
        {"CertFile_txt", ""},
        {"GroupBox11", "Database Configuration"},
        {"Label21", "This version support only Embeded Firebird Database"},
    };
    for (const auto &[name, caption] : rows)
        QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(caption);
}

void TestMainWindow::controlsHaveTheirCaptionsAndDefaults()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    FakePlatform fake;
    TForm3 form(fake.platform());
    auto *control = form.findChild<QObject *>(name);
    QVERIFY2(control, qPrintable(name));
    QCOMPARE(captionOf(control), caption);
}

void TestMainWindow::startsOnTheServicePageWithNoNodeSelected()
{
    FakePlatform fake;
    TForm3 form(fake.platform());
    // The caption as the desktop shows it: no mark of unsaved changes yet.
    form.winId();
    QCOMPARE(form.windowHandle()->title(), QStringLiteral("Vellamor Cloud Server"));
    QCOMPARE(control<QTabWidget>(form, "PageControl1")->currentWidget(),
             control<QWidget>(form, "TabSheet1MainService"));
    QCOMPARE(control<QTabWidget>(form, "PageControl1")->tabText(0), QStringLiteral("Service"));
    QCOMPARE(control<QTabWidget>(form, "PageControl1")->tabText(1), QStringLiteral("Configuration"));
    QCOMPARE(control<QTabWidget>(form, "PageControl2")->currentWidget(),
             control<QWidget>(form, "TabSheet5ConfigGeneral"));
    QVERIFY(control<QTreeWidget>(form, "TreeView1")->selectedItems().isEmpty());
    QCOMPARE(control<QTreeWidget>(form, "TreeView1")->topLevelItemCount(), 6);
    QVERIFY(control<QRadioButton>(form, "PolicyReject_radio")->isChecked());
    QVERIFY(!control<QCheckBox>(form, "ActivateOnAll_chk")->isChecked());
    QVERIFY(!control<QCheckBox>(form, "ActivateOnAll_chk2")->isChecked());
    QCOMPARE(control<QLineEdit>(form, "ServerPass_txt")->echoMode(), QLineEdit::Password);
    QCOMPARE(control<QLineEdit>(form, "ConfirmServerPass_txt")->echoMode(), QLineEdit::Password);
    QTest::keyClicks(control<QLineEdit>(form, "ServerPass_txt"), QStringLiteral("pw1"));
    QCOMPARE(control<QLineEdit>(form, "ServerPass_txt")->displayText(), QStringLiteral("***"));
    QVERIFY(control<QTabWidget>(form, "PageControl1")->tabBar()->tabRect(0).width() >= 100);
    QCOMPARE(control<QToolButton>(form, "ToolButton9")->toolTip(), QStringLiteral("Exit"));
    QVERIFY(control<QToolButton>(form, "ToolButton9")->text().isEmpty() ||
            control<QToolButton>(form, "ToolButton9")->toolButtonStyle() == Qt::ToolButtonIconOnly);
    QVERIFY(control<QAction>(form, "N3")->isSeparator());

    // Exactly the grey picture shows before anything is known about the service.
    form.show();
    QVERIFY(control<SvgPicture>(form, "StatusUnknown")->isVisible());
    QVERIFY(!control<SvgPicture>(form, "StatusRunning")->isVisible());
    QVERIFY(!control<SvgPicture>(form, "StatusStoped")->isVisible());
    QVERIFY(!control<SvgPicture>(form, "ServicePaused")->isVisible());
    // The configuration pages change only through the tree.
    QVERIFY(!control<QTabWidget>(form, "PageControl2")->tabBar()->isVisible());

    QCOMPARE(form.ManagementSettings, ManagementSettingsRecord{});
    QVERIFY(form.ServiceName.isEmpty());
    QVERIFY(!form.Activated);
}

void TestMainWindow::firstPagePicturesHaveFramesAsDrawn_data()
{
    QTest::addColumn<qreal>("ratio");
    QTest::addColumn<int>("extraWidth");
    QTest::newRow("100 %") << 1.0 << 0;
    QTest::newRow("200 %") << 2.0 << 0;
    // The banner follows the window's width.
    QTest::newRow("100 %, window wider") << 1.0 << 233;
    QTest::newRow("200 %, window wider") << 2.0 << 401;
#if !VELLAMOR_HAVE_QTSVG
    // Where the frames are all the artwork, the other scale factors Windows offers too.
    QTest::newRow("125 %") << 1.25 << 0;
    QTest::newRow("150 %, window wider") << 1.5 << 301;
#endif
}

// The first paint copies these frames instead of drawing the pictures: a
// frame that is missing, out of date or read wrongly shows here, as does a
// picture whose size changed without its frame.
void TestMainWindow::firstPagePicturesHaveFramesAsDrawn()
{
    QFETCH(qreal, ratio);
    QFETCH(int, extraWidth);
    FakePlatform fake;
    TForm3 form(fake.platform());
    form.resize(form.size() + QSize(extraWidth, 0));
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    struct Shown
    {
        QString art, frame;
        QSize size;
        qreal ratio;
        bool stretch;
    };
    QList<Shown> shown;
    const QList<SvgPicture *> pictures = control<QWidget>(form, "TabSheet1MainService")->findChildren<SvgPicture *>();
    QCOMPARE(pictures.size(), 8);
    for (SvgPicture *picture : pictures) {
        const QString name = picture->resource().section(QLatin1Char('/'), -1).section(QLatin1Char('.'), 0, 0);
        shown.append({picture->resource(), QStringLiteral(":/frames/%1x/%2.frame").arg(ratio).arg(name),
                      picture->size(), ratio, picture == control<SvgPicture>(form, "Image1")});
    }
    // The tabs' and the tool bar's icons, by their size in pixels.
    const int pixels = qRound(control<QTabWidget>(form, "PageControl1")->iconSize().width() * ratio);
    for (const char *icon : {"service", "configuration", "exit"}) {
        shown.append({QStringLiteral(":/icons/%1.svg").arg(QLatin1StringView(icon)),
                      QStringLiteral(":/frames/icons/%1-%2.frame").arg(QLatin1StringView(icon)).arg(pixels),
                      QSize(pixels, pixels), 1.0, false});
    }
    for (const Shown &picture : std::as_const(shown)) {
        const std::optional<QImage> copied = readFrame(picture.frame, picture.size, picture.ratio, picture.stretch);
        QVERIFY2(copied, qPrintable(picture.frame));
#if !VELLAMOR_HAVE_QTSVG
        QCOMPARE(copied->size(), picture.size * picture.ratio);
        QCOMPARE(copied->devicePixelRatio(), picture.ratio);
#else
        QSvgRenderer art(picture.art);
        const QImage drawn = drawSvg(art, picture.size, picture.ratio, picture.stretch);
        QCOMPARE(copied->size(), drawn.size());
        QCOMPARE(copied->devicePixelRatio(), picture.ratio);
        // Drawn whole and cut, a path's edge can land one level apart from
        // the same edge drawn into the narrower picture.
        for (int y = 0; y < drawn.height(); ++y) {
            for (int x = 0; x < drawn.width(); ++x) {
                const QRgb a = copied->pixel(x, y), b = drawn.pixel(x, y);
                const int most = qMax(qMax(qAbs(qRed(a) - qRed(b)), qAbs(qGreen(a) - qGreen(b))),
                                      qMax(qAbs(qBlue(a) - qBlue(b)), qAbs(qAlpha(a) - qAlpha(b))));
                if (most > 1)
                    QFAIL(qPrintable(QStringLiteral("%1 differs at %2,%3").arg(picture.frame).arg(x).arg(y)));
            }
        }
#endif
    }
}

// A scroll bar marked as painting every pixel is repainted without what lies
// behind it: a pixel it left out would keep whatever was there before.
void TestMainWindow::listScrollBarsPaintedAlonePaintEveryPixel()
{
    FakePlatform fake;
    TForm3 form(fake.platform());
    int checked = 0;
    const QList<QAbstractScrollArea *> lists{
        control<QListWidget>(form, "SystemIPS"), control<QListWidget>(form, "SelectedIPs"),
        control<QListWidget>(form, "SystemIPS2"), control<QListWidget>(form, "SelectedIPs2"),
        control<RuleListView>(form, "RulesList")};
    for (QAbstractScrollArea *list : lists) {
        for (QScrollBar *bar : {list->verticalScrollBar(), list->horizontalScrollBar()}) {
            if (!bar->testAttribute(Qt::WA_OpaquePaintEvent))
                continue;
            ++checked;
            // The list's own bar may be hidden and is sized by the list: one
            // like it, in the list's style and colours, shown at a list's size.
            QScrollBar probe(bar->orientation());
            probe.setStyle(bar->style());
            probe.setPalette(bar->palette());
            probe.setRange(0, 100);
            probe.setValue(37);
            probe.resize(bar->orientation() == Qt::Vertical ? QSize(14, 133) : QSize(133, 14));
            probe.setAttribute(Qt::WA_DontShowOnScreen);
            probe.show();
            QImage shown(probe.size(), QImage::Format_ARGB32_Premultiplied);
            shown.fill(Qt::magenta);
            probe.render(&shown, QPoint(), QRegion(), QWidget::RenderFlags());
            for (int y = 0; y < shown.height(); ++y) {
                for (int x = 0; x < shown.width(); ++x)
                    QVERIFY2(shown.pixel(x, y) != QColor(Qt::magenta).rgba() && qAlpha(shown.pixel(x, y)) == 255,
                             qPrintable(list->objectName()));
            }
        }
    }
    // Fusion, the panel's style where the desktop gives none, paints them whole.
    const auto *style = qobject_cast<const QProxyStyle *>(form.style());
    if (style && style->baseStyle()->name() == QLatin1String("fusion"))
        QCOMPARE(checked, 10);
}

void TestMainWindow::pageTreeSwitchesPages_data()
{
    QTest::addColumn<int>("node");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("page");

    QTest::newRow("General") << 0 << "General"
                             << "TabSheet5ConfigGeneral";
    QTest::newRow("Application Service") << 1 << "Application Service"
                                         << "TabSheet7ConfigApplication";
    QTest::newRow("Management Service") << 2 << "Management Service"
                                        << "TabSheet8Management";
    QTest::newRow("Security") << 3 << "Security"
                              << "TabSheet2ConfigSecurity";
    QTest::newRow("SSL") << 4 << "SSL"
                         << "TabSheet3ConfigSSL";
    QTest::newRow("Database") << 5 << "Database"
                              << "TabSheet6ConfigDatabase";
    // The match is exact and case-sensitive: these leave the page where it was.
    QTest::newRow("lower case") << 4 << "ssl"
                                << "TabSheet2ConfigSecurity";
    QTest::newRow("trailing blank") << 5 << "Database "
                                    << "TabSheet2ConfigSecurity";
    QTest::newRow("unknown") << 0 << "Logging"
                             << "TabSheet2ConfigSecurity";
}

void TestMainWindow::pageTreeSwitchesPages()
{
    QFETCH(int, node);
    QFETCH(QString, text);
    QFETCH(QString, page);
    FakePlatform fake;
    TForm3 form(fake.platform());
    control<QTabWidget>(form, "PageControl1")->setCurrentWidget(control<QWidget>(form, "TabSheet4Config"));
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    // Shown before the window's first paint, the tab is laid out as it shows.
    QVERIFY(control<QPushButton>(form, "Button1")->geometry().top() >
            control<QWidget>(form, "TabSheet4Config")->height() / 2);

    // Start from the Security page, chosen the way a user does.
    QTreeWidgetItem *security = control<QTreeWidget>(form, "TreeView1")->topLevelItem(3);
    QTest::mouseClick(control<QTreeWidget>(form, "TreeView1")->viewport(), Qt::LeftButton, {},
                      control<QTreeWidget>(form, "TreeView1")->visualItemRect(security).center());
    QCOMPARE(control<QTabWidget>(form, "PageControl2")->currentWidget()->objectName(),
             QStringLiteral("TabSheet2ConfigSecurity"));

    QTreeWidgetItem *item = control<QTreeWidget>(form, "TreeView1")->topLevelItem(node);
    item->setText(0, text);
    QTest::mouseClick(control<QTreeWidget>(form, "TreeView1")->viewport(), Qt::LeftButton, {},
                      control<QTreeWidget>(form, "TreeView1")->visualItemRect(item).center());
    QCOMPARE(control<QTabWidget>(form, "PageControl2")->currentWidget()->objectName(), page);
    QVERIFY(fake.dialogs->boxes.isEmpty());
}

void TestMainWindow::timersHaveTheirIntervals()
{
    FakePlatform fake;
    TForm3 form(fake.platform());
    QCOMPARE(control<QTimer>(form, "Timer1")->interval(), 10);
    QVERIFY(!control<QTimer>(form, "Timer1")->isActive());
    QCOMPARE(control<QTimer>(form, "Timer2")->interval(), 5000);
    QVERIFY(control<QTimer>(form, "Timer2")->isActive());
    QCOMPARE(control<QTimer>(form, "Timer3")->interval(), 10);
    QVERIFY(!control<QTimer>(form, "Timer3")->isActive());
}

void TestMainWindow::logsDirectoryIsCreatedWhenMissing()
{
    FakePlatform fake;
    TForm3 form(fake.platform());
    form.FormCreate();
    QVERIFY(QFileInfo(fake.path(QStringLiteral("logs"))).isDir());
    QVERIFY(fake.dialogs->boxes.isEmpty());
}

void TestMainWindow::logsDirectoryIsLeftAloneWhenPresent()
{
    FakePlatform fake;
    QVERIFY(QDir(fake.dir()).mkdir(QStringLiteral("logs")));
    QFile old(fake.path(QStringLiteral("logs")) + QStringLiteral("/server.log"));
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("yesterday\n");
    old.close();

    auto fs = std::make_shared<BrokenFileSystem>(fake.dir());
    fake.fileSystem = fs;
    TForm3 form(fake.platform());
    form.FormCreate();
    QVERIFY(fs->created.isEmpty());
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), QByteArray("yesterday\n"));
}

void TestMainWindow::logsDirectoryThatCannotBeMadeIsSilent()
{
    // /proc refuses new directories even to root; a read-only parent does the
    // same for everyone else.
    FakePlatform fake;
    auto fs = std::make_shared<BrokenFileSystem>(QStringLiteral("/proc"));
    fake.fileSystem = fs;
    TForm3 form(fake.platform());
    form.FormCreate();
    QCOMPARE(fs->created.size(), 1);
    QVERIFY(!QFileInfo(QStringLiteral("/proc/logs")).exists());
    QVERIFY(fake.dialogs->boxes.isEmpty());
}

void TestMainWindow::errorInStartupSkipsTheLaterSteps_data()
{
    QTest::addColumn<bool>("brokenLogsStep");
    QTest::addColumn<QString>("message");
    QTest::newRow("the logs step fails") << true << QString();
    QTest::newRow("gc.xml is not well-formed") << false << "\r\nLine: 1\r\n<global><ACC><port>99</port></ACC>";
}

void TestMainWindow::errorInStartupSkipsTheLaterSteps()
{
    QFETCH(bool, brokenLogsStep);
    QFETCH(QString, message);

    FakePlatform fake;
    fake.addressTable->addresses = {"127.0.0.1", "10.1.2.3"};
    QFile rules(fake.path(QStringLiteral("rules.txt")));
    QVERIFY(rules.open(QIODevice::WriteOnly));
    rules.write("POLICY ACCEPT\r\nREJECT 10.0.0.0/8\r\n");
    rules.close();
    QFile config(fake.path(QStringLiteral("gc.xml")));
    QVERIFY(config.open(QIODevice::WriteOnly));
    config.write("<global><ACC><port>99</port></ACC><Management><port>2222</port></Management></global>");
    if (!brokenLogsStep)
        config.write("<trailing>");
    config.close();

    auto fs = std::make_shared<BrokenFileSystem>(fake.dir());
    fs->failDirectoryCheck = brokenLogsStep;
    fake.fileSystem = fs;
    TForm3 form(fake.platform());
    form.FormCreate();

    // One standard error box...
    QCOMPARE(fake.dialogs->boxes.size(), 1);
    const ShownBox &box = fake.dialogs->boxes.first();
    QCOMPARE(box.caption, QStringLiteral("Vellamor Application Server Desktop"));
    QCOMPARE(box.icon, platform::Icon::Error);
    QCOMPARE(box.buttons, platform::Buttons::Ok);
    if (brokenLogsStep)
        QCOMPARE(box.text, QStringLiteral("Cannot look at %1!").arg(fake.path(QStringLiteral("logs"))));
    else
        QVERIFY2(box.text.contains(message), qPrintable(box.text));
    // ...the steps before the failing one ran, and none after it.
    QCOMPARE(control<QListWidget>(form, "SystemIPS")->count() + control<QListWidget>(form, "SelectedIPs")->count(), 2);
    QCOMPARE(control<QLineEdit>(form, "lport")->text(), QStringLiteral("88"));
    QCOMPARE(control<QLineEdit>(form, "mport")->text(), QStringLiteral("1011"));
    QCOMPARE(control<RuleListView>(form, "RulesList")->model()->rowCount(), 0);
    QVERIFY(control<QRadioButton>(form, "PolicyReject_radio")->isChecked());
    QCOMPARE(fs->created.isEmpty(), brokenLogsStep);
}

void TestMainWindow::firstActivationRunsOnce()
{
    FakePlatform fake;
    auto manager = std::make_shared<FakeServiceManager>();
    fake.serviceManager = manager;
    TForm3 form(fake.platform());
    form.FormCreate();
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    QTRY_VERIFY(form.Activated);
    QCOMPARE(form.ServiceName, QStringLiteral("VellamorServer"));
    QCOMPARE(manager->calls.count(QStringLiteral("openManager")), 1);
    StatusThread *poller = form.StatusPoller;
    QVERIFY(poller);

    // Away and back, and after the about box: no second hand-off.
    QWidget other;
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    QTimer::singleShot(0, &form, [] {
        if (QWidget *box = QApplication::activeModalWidget())
            box->close();
    });
    control<QAction>(form, "About1")->trigger();
    form.FormActivate();
    QApplication::processEvents();
    QCOMPARE(manager->calls.count(QStringLiteral("openManager")), 1);
    QCOMPARE(form.StatusPoller, poller);
}

void TestMainWindow::handlerErrorsGoToTheStandardErrorBox()
{
    FakePlatform fake;
    TForm3 form(fake.platform());
    form.show();
    bool after = false;
    form.guarded([] { throw Error(QStringLiteral("Disk on fire")); });
    form.guarded([&after] { after = true; });
    QVERIFY(after);
    QCOMPARE(fake.dialogs->boxes.size(), 1);
    QCOMPARE(fake.dialogs->boxes.first().text, QStringLiteral("Disk on fire."));
    QCOMPARE(fake.dialogs->boxes.first().owner.data(), &form);
}

void TestMainWindow::checkForUpdatesOpensTheUpdatePage()
{
    FakePlatform fake;
    fake.desktop->succeed = false;
    TForm3 form(fake.platform());
    control<QAction>(form, "IntelligentPorts1")->trigger();
    QCOMPARE(fake.desktop->opened.size(), 1);
    QVERIFY(fake.desktop->opened.first().startsWith(QStringLiteral("https://")));
    // A browser that does not start is not reported.
    QVERIFY(fake.dialogs->boxes.isEmpty());
}

void TestMainWindow::aboutOpensAFreshBoxEachTime()
{
    FakePlatform fake;
    TForm3 form(fake.platform());
    form.show();
    for (int i = 0; i < 3; ++i) {
        QPointer<TAboutBox> shown;
        bool timerRunning = true;
        QString name, version;
        QTimer::singleShot(0, &form, [&] {
            shown = qobject_cast<TAboutBox *>(QApplication::activeModalWidget());
            if (!shown)
                return;
            // It does not close by itself: its timer is not running.
            timerRunning = control<QTimer>(*shown, "Timer1")->isActive();
            name = control<QLabel>(*shown, "ProductName")->text();
            version = control<QLabel>(*shown, "Version")->text();
            shown->close();
        });
        control<QAction>(form, "About1")->trigger();
        QCOMPARE(name, QStringLiteral("Vellamor"));
        QCOMPARE(version, QStringLiteral("Cloud Server Version 0.1 (beta)"));
        QVERIFY(!timerRunning);
        // The box is gone once closed: the next one is a new window.
        QVERIFY(shown.isNull());
    }
}

void TestMainWindow::exitAndToolButtonCloseTheWindow_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("System > Exit") << "menu";
    QTest::newRow("tool bar button") << "toolbar";
    QTest::newRow("close box") << "close";
}

void TestMainWindow::exitAndToolButtonCloseTheWindow()
{
    QFETCH(QString, how);
    FakePlatform fake;
    TForm3 form(fake.platform());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    closeBy(form, how);
    QVERIFY(!form.isVisible());
    // Nothing keeps ticking behind a closed window.
    QVERIFY(!control<QTimer>(form, "Timer2")->isActive());
}

void TestMainWindow::editsMarkTheWindowModified_data()
{
    using Step = std::function<void(TForm3 &)>;
    QTest::addColumn<Step>("edit");
    QTest::addColumn<Step>("undo"); // brings the window back to what was loaded
    QTest::newRow("field") << Step([](TForm3 &f) {
        QTest::keyClicks(control<QLineEdit>(f, "lport"), QStringLiteral("9"));
    }) << Step([](TForm3 &f) { QTest::keyClick(control<QLineEdit>(f, "lport"), Qt::Key_Backspace); });
    QTest::newRow("policy") << Step([](TForm3 &f) { control<QRadioButton>(f, "PolicyAccept_radio")->click(); })
                            << Step([](TForm3 &f) { control<QRadioButton>(f, "PolicyReject_radio")->click(); });
    QTest::newRow("address list") << Step([](TForm3 &f) { control<QCheckBox>(f, "ActivateOnAll_chk2")->click(); })
                                  << Step();
    QTest::newRow("rules") << Step([](TForm3 &f) { control<QPushButton>(f, "Button3")->click(); }) << Step();
}

void TestMainWindow::editsMarkTheWindowModified()
{
    using Step = std::function<void(TForm3 &)>;
    QFETCH(Step, edit);
    QFETCH(Step, undo);
    FakePlatform fake;
    QFile rules(fake.path(QStringLiteral("rules.txt")));
    QVERIFY(rules.open(QIODevice::WriteOnly) && rules.write("POLICY REJECT\r\nACCEPT 10.0.0.1\r\n") > 0);
    rules.close();
    TForm3 form(fake.platform());
    form.FormCreate();
    control<QLineEdit>(form, "lport")->setCursorPosition(int(control<QLineEdit>(form, "lport")->text().size()));
    QVERIFY(!form.isWindowModified());

    edit(form);
    QTRY_VERIFY(form.isWindowModified());
    if (undo) {
        undo(form);
        QTRY_VERIFY(!form.isWindowModified());
    }
}

// Closing with unsaved changes, by each of the three ways, and each answer.
void TestMainWindow::unsavedChangesAskBeforeClosing_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("edit");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("password"); // null: the default stays
    QTest::addColumn<bool>("closes");
    QTest::addColumn<QString>("savedPort"); // in gc.xml afterwards; empty: no gc.xml

    using A = platform::Answer;
    QTest::newRow("no changes") << "close" << false << 0 << QString() << true << "";
    QTest::newRow("Discard, Exit") << "menu" << true << int(A::Discard) << QString() << true << "";
    QTest::newRow("Cancel, tool button") << "toolbar" << true << int(A::Cancel) << QString() << false << "";
    QTest::newRow("Save, close box") << "close" << true << int(A::Save) << QString() << true << "889";
    QTest::newRow("Save refused") << "menu" << true << int(A::Save) << "" << false << "";
}

void TestMainWindow::unsavedChangesAskBeforeClosing()
{
    QFETCH(QString, how);
    QFETCH(bool, edit);
    QFETCH(int, answer);
    QFETCH(QString, password);
    QFETCH(bool, closes);
    QFETCH(QString, savedPort);

    FakePlatform fake;
    for (const char *name : {"default.key", "default.cer"}) {
        QFile file(fake.path(QLatin1StringView(name)));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    TForm3 form(fake.platform());
    form.FormCreate();
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    if (!password.isNull())
        control<QLineEdit>(form, "ServerPass_txt")->setText(password);
    if (edit) {
        control<QLineEdit>(form, "lport")->setText(QStringLiteral("889"));
        QTRY_VERIFY(form.isWindowModified());
        QCOMPARE(form.windowHandle()->title(), QStringLiteral("Vellamor Cloud Server*"));
    }
    if (answer)
        fake.dialogs->answerNext(platform::Answer(answer));

    closeBy(form, how);

    if (!edit) {
        QVERIFY(fake.dialogs->boxes.isEmpty());
    } else {
        const ShownBox &question = fake.dialogs->boxes.first();
        QCOMPARE(question.text, QStringLiteral("The settings have unsaved changes. Save them before closing?"));
        QCOMPARE(question.caption, QStringLiteral("Confirmation"));
        QCOMPARE(question.buttons, platform::Buttons::SaveDiscardCancel);
        QCOMPARE(question.owner.data(), &form);
    }
    // A Save sends its rules reload before the window goes.
    QTRY_COMPARE(form.isVisible(), !closes);
    QCOMPARE(form.isWindowModified(), edit && savedPort.isEmpty());
    QFile config(fake.path(QStringLiteral("gc.xml")));
    QCOMPARE(config.exists(), !savedPort.isEmpty());
    if (config.open(QIODevice::ReadOnly))
        QVERIFY(config.readAll().contains("<port>" + savedPort.toLatin1() + "</port>"));
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
