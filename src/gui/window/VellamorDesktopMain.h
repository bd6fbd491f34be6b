#pragma once

#include "BindingLists.h"
#include "GlobalConfigForm.h"
#include "History.h"
#include "LoadedFiles.h"
#include "ManagementPage.h"
#include "Platform.h"
#include "RulesPage.h"
#include "Save.h"
#include "ServicePage.h"
#include "Tray.h"
#include "UnsavedChanges.h"
#include "config/ManagementSettings.h"
#include "dialogs/ErrorReporter.h"
#include "management/UsersStatusEvent.h"
#include "service/ServiceState.h"
#include "service/UniqueServiceHandle.h"
#include "widgets/RuleListView.h"

#include <QMainWindow>
#include <chrono>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLayout;
class QLineEdit;
class QListView;
class QListWidget;
class QMenu;
class QMenuBar;
class QPushButton;
class QRadioButton;
class QStatusBar;
class QTabWidget;
class QTimer;
class QToolBar;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;
class QVBoxLayout;

namespace vellamor {

class HeaderBand;
class LinkLabel;
class StatusThread;
class SvgPicture;

// The panel's main window, kept as a shell. It holds what the panel's users
// and the server know it by: every control, under its given name (also its
// objectName), every event handler, the operations and window state the
// product names. Everything else belongs to one area of the window and lives
// in that area's file pair beside this one, as one class that the handlers
// call, and the area's file also builds the area's page and defines its
// handlers:
//   GlobalConfigForm    gc.xml and the pages of its fields (core: config/)
//   BindingLists        the address lists and their move buttons (core: bindings/)
//   RulesPage           RuleEditor: rules.txt, the Security page (core: rules/)
//   ServicePage         ServiceMonitor: the service's state and commands (core: service/)
//   ManagementPage      ManagementLink: the poller and the reload commands (core: management/)
//   Save                SaveCommand: the checks and order of a Save, the browse buttons
//   LoadedFiles         how much of each file the window shows, and the load note
//   UnsavedChanges      the modified mark and the question before closing
//   Tray                TrayArea: the notification area's icon, menu and notices (core: service/ServiceWatch)
//   HistoryArea         history.git, the files' outside changes and their bar (core: history/)
// A new area adds its file pair, one member below, and its page builder.
// An area gets the window and the other areas it uses at construction, and
// keeps its state private: a test reaches the window through the objectNames.
class TForm3 : public QMainWindow
{
    Q_OBJECT

public:
    // The private message that carries a status line from the poller.
    static constexpr int WM_USERSSTATUS = UsersStatusEvent::EventType;

    // The window's timers: Timer1 sends the users reload (nothing starts it),
    // Timer2 refreshes the service status, Timer3 sends the rules reload after
    // a save.
    static constexpr std::chrono::milliseconds kUsersReloadDelay{10};
    static constexpr std::chrono::milliseconds kServiceRefreshInterval{5000};
    static constexpr std::chrono::milliseconds kRulesReloadDelay{10};

    explicit TForm3(platform::Platform platform, QWidget *parent = nullptr);
    ~TForm3() override;

    const platform::Platform &platform() const { return m_platform; }
    // The Security page's rule lines, which RulesList shows (for tests and tools).
    RuleListModel *rulesModel() const { return &m_rules.rules(); }
    // The icon in the notification area, told what the Service page shows.
    TrayArea &tray() { return m_tray; }

    // Started with `--tray`: nothing is shown, and what the window's first
    // activation starts (the poller, the service monitor) starts now. Where
    // no notification area turns up in time, the window is shown after all.
    void startInTray();
    // The configuration history and the restore of an older version.
    HistoryArea &historyArea() { return m_history; }

    // Runs an event handler the way the window's own events run: an error it
    // raises and does not handle goes to the standard error box.
    void guarded(const std::function<void()> &handler);

    // --- Events wired to handlers -------------------------------------------
    void FormCreate();
    void FormActivate();
    void TreeView1Change(QTreeWidgetItem *node);
    void Exit1Click();
    void ReloadUsers1Click();
    void ConfigurationHistory1Click();
    void IntelligentPorts1Click();
    void About1Click();
    void Button1Click(); // Save
    void Button2Click(); // Add Rule
    void Button3Click(); // Clear
    void Delete1Click();
    void EditRule1Click();
    void MoveRuleUp1Click();
    void MoveRuleDown1Click();
    void ImportRules1Click(); // "Import...", beside Add Rule and in PopupMenu1
    void ExportRules1Click(); // "Export..."
    void RulesFilter_txtChange();
    void SpeedButton1Click();
    void SpeedButton2Click();
    void SpeedButton3Click();
    void SpeedButton4Click();
    void SpeedButton5Click();
    void SpeedButton6Click();
    void SpeedButton7Click();
    void ActivateOnAll_chkClick();
    void ActivateOnAll_chk2Click();
    void StartService_lblClick();
    void StopService_lblClick();
    void PauseService_lblClick();
    void ResumeService_lblClick();
    void UninstallService_lblClick();
    void InstallService_lblClick();
    void ShowLog_lblClick();
    void Timer1Timer();
    void Timer2Timer();
    void Timer3Timer();

    // --- Operations of the areas --------------------------------------------
    void LoadGlobalConfig();
    void SaveGlobalConfig();
    void LoadRules();
    void SaveRules();
    void FillSystemIPs(QListWidget *list);
    void MoveSelectedIPs(QListWidget *source, QListWidget *target);
    void OpenServiceMonitor();
    void RefreshServiceStatus();
    void ShowServiceStatus(ServiceDisplayState state);
    void ShowUsersStatus(const QByteArray &message);
    void SendRulesReload();
    void SendUsersReload();
    // After a successful Save: the poller asks the saved host, port and
    // password from its next cycle on.
    void retargetStatusPoller();

    // --- Window state -------------------------------------------------------
    ManagementSettingsRecord ManagementSettings;
    QString ServiceName;
    StatusThread *StatusPoller = nullptr;
    bool Activated = false;
    // Closed when the window closes, the service's before the manager's.
    UniqueServiceHandle ServiceManagerHandle;
    UniqueServiceHandle ServiceHandle;

    // --- Controls ---------------------------------------------------------------
    QMenuBar *MainMenu1 = nullptr;
    QMenu *Intelligent1 = nullptr;
    QAction *ReloadUsers1 = nullptr;          // "Reload Users on Server": starts Timer1
    QAction *ConfigurationHistory1 = nullptr; // "Configuration History..."
    QAction *KeepRunning1 = nullptr;          // "Keep Running in the Notification Area", off by default
    QAction *StartAtLogin1 = nullptr;         // "Start at Login": the user's autostart entry
    QAction *N1 = nullptr;
    QAction *Exit1 = nullptr;
    QMenu *Help1 = nullptr;
    QAction *IntelligentPorts1 = nullptr;
    QAction *N3 = nullptr;
    QAction *About1 = nullptr;
    QMenu *PopupMenu1 = nullptr;
    QAction *EditRule1 = nullptr; // "Edit Rule", also Enter and a double click in RulesList
    QAction *Delete1 = nullptr;
    QAction *N2 = nullptr;
    QAction *MoveRuleUp1 = nullptr;   // "Move Up", also Ctrl+Up in RulesList
    QAction *MoveRuleDown1 = nullptr; // "Move Down", also Ctrl+Down in RulesList
    QAction *ImportRules1 = nullptr;
    QAction *ExportRules1 = nullptr;

    QToolBar *ToolBar1 = nullptr;
    QToolButton *ToolButton9 = nullptr;
    QToolButton *HistoryButton = nullptr; // opens the configuration history
    QTabWidget *PageControl1 = nullptr;
    QStatusBar *StatusBar1 = nullptr;

    // Service page
    QWidget *TabSheet1MainService = nullptr;
    SvgPicture *Image1 = nullptr;
    QGroupBox *GroupBox1 = nullptr;
    SvgPicture *Image2 = nullptr;
    SvgPicture *StatusUnknown = nullptr;
    SvgPicture *StatusRunning = nullptr;
    SvgPicture *StatusStoped = nullptr;
    SvgPicture *ServicePaused = nullptr;
    QLabel *status_lbl = nullptr;
    QGroupBox *GroupBox2 = nullptr;
    SvgPicture *Image3 = nullptr;
    QLabel *TotalPorts_lbl = nullptr;
    QGroupBox *GroupBox3 = nullptr;
    SvgPicture *Image4 = nullptr;
    LinkLabel *StartService_lbl = nullptr;
    LinkLabel *StopService_lbl = nullptr;
    LinkLabel *PauseService_lbl = nullptr;
    LinkLabel *ResumeService_lbl = nullptr;
    LinkLabel *UninstallService_lbl = nullptr;
    LinkLabel *InstallService_lbl = nullptr;
    LinkLabel *ShowLog_lbl = nullptr;

    // Configuration page
    QWidget *TabSheet4Config = nullptr;
    QTreeWidget *TreeView1 = nullptr;
    QTabWidget *PageControl2 = nullptr;
    QPushButton *Button1 = nullptr;

    QWidget *TabSheet5ConfigGeneral = nullptr;
    QGroupBox *GroupBox8 = nullptr;
    QLineEdit *MaxCon_txt = nullptr;
    QGroupBox *GroupBox13 = nullptr;
    QLineEdit *DefaultLogFolder_txt = nullptr;
    QToolButton *SpeedButton5 = nullptr;

    QWidget *TabSheet7ConfigApplication = nullptr;
    QGroupBox *GroupBox5 = nullptr;
    QLabel *Label1 = nullptr;
    QListWidget *SystemIPS = nullptr;
    QToolButton *SpeedButton1 = nullptr;
    QToolButton *SpeedButton2 = nullptr;
    QLabel *Label8 = nullptr;
    QListWidget *SelectedIPs = nullptr;
    QCheckBox *ActivateOnAll_chk = nullptr;
    QGroupBox *GroupBox7 = nullptr;
    QLineEdit *lport = nullptr;

    QWidget *TabSheet8Management = nullptr;
    QGroupBox *GroupBox4 = nullptr;
    QLabel *Label4 = nullptr;
    QListWidget *SystemIPS2 = nullptr;
    QToolButton *SpeedButton3 = nullptr;
    QToolButton *SpeedButton4 = nullptr;
    QLabel *Label2 = nullptr;
    QListWidget *SelectedIPs2 = nullptr;
    QCheckBox *ActivateOnAll_chk2 = nullptr;
    QGroupBox *GroupBox9 = nullptr;
    QLineEdit *mport = nullptr;
    QGroupBox *GroupBox6 = nullptr;
    QLabel *Label6 = nullptr;
    QLineEdit *ServerPass_txt = nullptr;
    QLabel *Label7 = nullptr;
    QLineEdit *ConfirmServerPass_txt = nullptr;

    QWidget *TabSheet2ConfigSecurity = nullptr;
    QGroupBox *GroupBox10 = nullptr;
    QRadioButton *PolicyReject_radio = nullptr;
    QRadioButton *PolicyAccept_radio = nullptr;
    QPushButton *Button2 = nullptr;
    QPushButton *Button3 = nullptr;
    QPushButton *ImportRules_btn = nullptr;
    QPushButton *ExportRules_btn = nullptr;
    QGroupBox *GroupBox12 = nullptr;
    // The rule lines, shown through the rule set model below.
    QLabel *PolicyNote_lbl = nullptr; // shown while no rule accepts anyone under "Reject All"
    QLineEdit *RulesFilter_txt = nullptr;
    RuleListView *RulesList = nullptr;
    QToolButton *MoveRuleUp_btn = nullptr;
    QToolButton *MoveRuleDown_btn = nullptr;
    QLabel *RulesAttentionIcon_lbl = nullptr;
    QLabel *RulesAttention_lbl = nullptr; // "N rules need attention", hidden when none
    QLabel *RulesFound_lbl = nullptr;     // what the find field found, hidden without a find text

    QWidget *TabSheet3ConfigSSL = nullptr;
    QGroupBox *GroupBox14 = nullptr;
    QLineEdit *KeyFile_txt = nullptr;
    QToolButton *SpeedButton6 = nullptr;
    QGroupBox *GroupBox15 = nullptr;
    QLineEdit *CertFile_txt = nullptr;
    QToolButton *SpeedButton7 = nullptr;

    QWidget *TabSheet6ConfigDatabase = nullptr;
    QGroupBox *GroupBox11 = nullptr;
    QLabel *Label21 = nullptr;

    QTimer *Timer1 = nullptr;
    QTimer *Timer2 = nullptr;
    QTimer *Timer3 = nullptr;

Q_SIGNALS:
    // Emitted whenever the users-status caption is set, from a status line or
    // back to "? users are connected" (for tests and tools).
    void usersStatusShown(const QString &caption);

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    // The shell: the menus, the tool bar, the notebook and its Configuration
    // tab, the wiring of the handlers, and the order of start and close.
    void buildMenus();
    void buildToolBar();
    QWidget *buildConfigurationPage();
    // A page of the configuration notebook: its header band, then `body`.
    QWidget *configPage(const char *name, int index, QVBoxLayout **body);
    void wireEvents();
    void wireTray();
    void KeepRunning1Click();
    void StartAtLogin1Click();
    // Whether the close box hides the window to the notification area.
    bool keepsRunning() const;
    // Stops the timers, the poller and the commands under way, and closes the
    // service handles; once, at close or at destruction, whichever comes first.
    void shutDown();

    // Each page is built in its area's file.
    QWidget *buildServicePage();     // ServicePage.cpp
    QWidget *buildGeneralPage();     // GlobalConfigForm.cpp
    QWidget *buildApplicationPage(); // GlobalConfigForm.cpp
    QWidget *buildManagementPage();  // GlobalConfigForm.cpp
    QWidget *buildSslPage();         // GlobalConfigForm.cpp
    QWidget *buildDatabasePage();    // GlobalConfigForm.cpp
    QWidget *buildSecurityPage();    // RulesPage.cpp

    // Accessibility.cpp: names and descriptions for assistive technology, the
    // Save shortcut, and the panel's own colours for the palette in use.
    void setUpAccessibility();
    void applyColours();

    // Runs `work` on this thread once the window has been painted for the
    // first time, or on the next turn of the loop when it already has: the
    // start-up steps that the first picture does not need (the poller, the
    // service bus) go here, in the order they are handed in.
    void afterFirstPaint(std::function<void()> work);
    std::vector<std::function<void()>> m_afterFirstPaint;
    bool m_firstPainted = false;

    // The Configuration tab's layouts, built but not yet attached to their
    // pages: attaching one measures every control of its page, which the first
    // picture (the Service page) does not show. They are attached once the
    // window has been painted, or as soon as the tab is shown if that comes
    // first; the controls themselves exist and hold their values all along.
    template<class Layout> Layout *unattachedLayout(QWidget *page);
    void attachLayouts();
    std::vector<std::pair<QWidget *, std::unique_ptr<QLayout>>> m_unattachedLayouts;

    platform::Platform m_platform;
    ErrorReporter m_errors;
    bool m_shutDown = false;
    // Set by Exit: that close ends the program even with Keep Running on.
    bool m_exiting = false;

    // --- The areas, in the order they are made ------------------------------
    LoadedFiles m_loaded;
    BindingLists m_bindings;
    GlobalConfigForm m_config;
    RuleEditor m_rules;
    TrayArea m_tray;
    ServiceMonitor m_service;
    ManagementLink m_management;
    UnsavedChanges m_unsaved;
    HistoryArea m_history;
    SaveCommand m_save;
};

} // namespace vellamor

using vellamor::TForm3;
