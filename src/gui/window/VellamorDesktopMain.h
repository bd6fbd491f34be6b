#pragma once

#include "LoadedFiles.h"
#include "Platform.h"
#include "config/ManagementSettings.h"
#include "dialogs/ErrorReporter.h"
#include "management/UsersStatusEvent.h"
#include "service/ServiceState.h"
#include "service/UniqueServiceHandle.h"
#include "widgets/RuleListView.h"

#include <QColor>
#include <QMainWindow>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QStringList>
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
class RuleFilterModel;
class LinkLabel;
class RuleListModel;
class ServiceLogWindow;
class StatusThread;
class SvgPicture;
struct ManagementCommand;

// The panel's main window. It owns every control, the window state shared by
// all areas of the panel, the timers, the service handles and the poller.
// Each area's operations are members defined in a file of their own beside
// this one, over the area's widget-free logic in the core library:
//   GlobalConfigForm.cpp   LoadGlobalConfig, SaveGlobalConfig (core: config/)
//   RulesPage.cpp          LoadRules, SaveRules, Add Rule / Clear / Delete (core: rules/)
//   BindingLists.cpp       FillSystemIPs, MoveSelectedIPs, the move buttons (core: bindings/)
//   ServicePage.cpp        the service monitor and its commands (core: service/)
//   ManagementPage.cpp     the poller hand-off and the reload commands (core: management/)
//   Save.cpp               Save, the digit filter, the browse buttons
//   UnsavedChanges.cpp     the modified mark and the question before closing
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
    // The Security page's rule lines, which RulesList shows.
    RuleListModel *rulesModel() const { return m_rules; }

    // Runs an event handler the way the window's own events run: an error it
    // raises and does not handle goes to the standard error box.
    void guarded(const std::function<void()> &handler);

    // --- Events wired to handlers -------------------------------------------
    void FormCreate();
    void FormActivate();
    void TreeView1Change(QTreeWidgetItem *node);
    void Exit1Click();
    void ReloadUsers1Click();
    void IntelligentPorts1Click();
    void About1Click();
    void Button1Click(); // Save
    void Button2Click(); // Add Rule
    void Button3Click(); // Clear
    void Delete1Click();
    void EditRule1Click();
    void MoveRuleUp1Click();
    void MoveRuleDown1Click();
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

    // --- Window state ---------------------------------------------------------
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
    QAction *ReloadUsers1 = nullptr; // "Reload Users on Server": starts Timer1
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

    QToolBar *ToolBar1 = nullptr;
    QToolButton *ToolButton9 = nullptr;
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
    void buildMenus();
    void buildToolBar();
    QWidget *buildServicePage();
    QWidget *buildConfigurationPage();
    QWidget *configPage(const char *name, int index, QVBoxLayout **body);
    QWidget *buildGeneralPage();
    QWidget *buildApplicationPage();
    QWidget *buildManagementPage();
    QWidget *buildSecurityPage();
    QWidget *buildSslPage();
    QWidget *buildDatabasePage();
    void wireEvents();
    // Stops the timers, the poller and the commands under way, and closes the
    // service handles; once, at close or at destruction, whichever comes first.
    void shutDown();

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

    // Area hooks defined beside their area's code.
    void installFieldHelpers(); // Save.cpp: the digit filter, no length limit
    void startStatusPoller();   // ManagementPage.cpp
    void stopBackgroundWork();  // ManagementPage.cpp: orderly stop at close
    void closeServiceMonitor(); // ServicePage.cpp

    platform::Platform m_platform;
    ErrorReporter m_errors;
    bool m_shutDown = false;

    // Members private to one area go in that area's block below.
    // -- config (gc.xml) ------------------------------------------------------
    // -- bindings -------------------------------------------------------------
    // -- rules ------------------------------------------------------------------
    RuleListModel *m_rules = nullptr;
    // What RulesList shows of m_rules: the filter and the warnings.
    RuleFilterModel *m_shownRules = nullptr;
    // The rule the user last selected, to select it again when a change of
    // the find text shows it again.
    QPersistentModelIndex m_keptRule;
    bool m_filtering = false;
    void ruleSelectionChanged();
    QModelIndex selectedRule() const; // in m_rules
    void moveShownRule(int row, int before);
    // Scrolls to a rule just added or edited, clearing a find that hides it.
    void scrollToRule(const QPersistentModelIndex &rule);
    void updateRuleActions();
    void showFindResult();
    void showRuleChecks();
    // -- service ----------------------------------------------------------------
    // The status caption's colour as the display table gives it; it is shown
    // in the nearest shade that reads well on the palette in use.
    QColor m_statusCaptionColour{Qt::black};
    struct ServiceCommand;
    void runServiceCommand(const ServiceCommand &command);
    void finishServiceCommand(const ServiceCommand &command, const platform::ServiceManager::Outcome &outcome);
    // The service may have changed its state: show it now.
    void serviceMayHaveChanged();
    platform::ServiceManager *serviceManager() const;
    template<class T> platform::ServiceManager::Reply<T> serviceReply(std::function<void(T)> then);
    platform::ServiceManager::Reply<platform::ServiceManager::Handle>
    serviceHandleReply(std::function<void(UniqueServiceHandle)> then);
    bool m_serviceOpening = false;     // the monitor's handles are on their way
    bool m_serviceQueryBusy = false;   // a status query is under way
    bool m_serviceQueryAgain = false;  // ...and the service changed since it was sent
    bool m_serviceCommandBusy = false; // a command waits for its answer
    QPointer<ServiceLogWindow> m_serviceLog;
    // -- management ---------------------------------------------------------------
    void showUsersStatusUnknown();
    // The users reload is offered while the window knows where to send it.
    void updateUsersReloadAction();
    // One management command with the current target, without waiting for it;
    // whenDone runs on this thread once it has been sent or has failed.
    void startManagementCommand(const ManagementCommand &command, std::function<void()> whenDone);
    // Parent of the commands still under way; deleting it abandons them.
    QObject *m_managementCommands = nullptr;
    // -- save ---------------------------------------------------------------------
    // How much of each file the window shows; a Save asks before it replaces
    // a file shown only in part, and the status bar says which.
    LoadedFiles m_loaded;
    QLabel *LoadNote_lbl = nullptr;
    bool fileOnDisk(LoadedFiles::File file) const;
    bool confirmReplacing();
    void showLoadNote();
    // -- unsaved changes ------------------------------------------------------
    // Everything a Save writes, as the controls hold it (the rule list keeps
    // its own mark).
    struct SavedState
    {
        QStringList texts;
        QList<QStringList> lists;
        QList<bool> choices;
    };
    static bool sameState(const SavedState &a, const SavedState &b);
    SavedState currentState() const;
    void watchForChanges();
    void rememberSavedState();
    void scheduleModifiedCheck();
    void updateModified();
    // Asks before unsaved changes are lost: true when the window may close now.
    bool confirmClose();
    SavedState m_savedState;
    bool m_modifiedCheckPending = false;
    bool m_closeConfirmed = false;
};

} // namespace vellamor

using vellamor::TForm3;
