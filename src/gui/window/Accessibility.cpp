#include "VellamorDesktopMain.h"

#include "colours/Colours.h"
#include "colours/PanelColours.h"
#include "widgets/LinkLabel.h"
#include "widgets/SvgPicture.h"

#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QShortcut>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeWidget>

namespace vellamor {

namespace {

void describe(QWidget *widget, const QString &name, const QString &description = QString())
{
    widget->setAccessibleName(name);
    if (!description.isEmpty())
        widget->setAccessibleDescription(description);
}

void setColour(QWidget *widget, QPalette::ColorRole role, const QColor &colour)
{
    QPalette p = widget->palette();
    p.setColor(role, colour);
    widget->setPalette(p);
}

} // namespace

void TForm3::setUpAccessibility()
{
    // Controls whose caption says nothing, or that have no caption of their
    // own: the group around them names them for a sighted user only.
    describe(ToolButton9, tr("Exit"), tr("Closes the panel"));
    describe(HistoryButton, tr("Configuration History"), tr("Shows every saved configuration, to compare and restore"));
    describe(TreeView1, tr("Configuration pages"), tr("Choose a page with the arrow keys"));
    describe(Button1, Button1->text(), tr("Saves gc.xml and rules.txt (Ctrl+S)"));

    describe(MaxCon_txt, GroupBox8->title());
    describe(DefaultLogFolder_txt, GroupBox13->title());
    describe(SpeedButton5, tr("Choose the log directory"));
    describe(SystemIPS, Label1->text(), tr("Addresses of this machine the application service does not listen on"));
    describe(SelectedIPs, Label8->text(), tr("Addresses the application service listens on"));
    describe(SpeedButton1, tr("Use the selected address"), tr("Moves it to the addresses to use for this port"));
    describe(SpeedButton2, tr("Stop using the selected address"), tr("Moves it back to the addresses of this system"));
    describe(lport, GroupBox7->title());
    describe(SystemIPS2, Label4->text(), tr("Addresses of this machine the management service does not listen on"));
    describe(SelectedIPs2, Label2->text(), tr("Addresses the management service listens on"));
    describe(SpeedButton3, tr("Use the selected address"), tr("Moves it to the addresses to use for this port"));
    describe(SpeedButton4, tr("Stop using the selected address"), tr("Moves it back to the addresses of this system"));
    describe(mport, tr("Management Service Port"));
    describe(ServerPass_txt, tr("Management Server Password"));
    describe(ConfirmServerPass_txt, tr("Confirm Password"));
    describe(RulesList, GroupBox12->title(),
             tr("The rules in the order the server applies them; Enter edits the selected rule, Ctrl+Up and "
                "Ctrl+Down move it; Delete Rule is in the context menu"));
    describe(ImportRules_btn, tr("Import rules"), ImportRules_btn->toolTip());
    describe(ExportRules_btn, tr("Export rules"), ExportRules_btn->toolTip());
    describe(KeyFile_txt, GroupBox14->title());
    describe(SpeedButton6, tr("Choose the key file"));
    describe(CertFile_txt, GroupBox15->title());
    describe(SpeedButton7, tr("Choose the certificate file"));

    // The pictures that say something; the gears beside the groups and the
    // strip beside the commands are decoration.
    describe(Image1, tr("Vellamor Application Server"));
    describe(StatusUnknown, tr("Service state unknown"));
    describe(StatusRunning, tr("Service running"));
    describe(StatusStoped, tr("Service stopped"));
    describe(ServicePaused, tr("Service paused or changing state"));

    // The notebook of the configuration pages shows no tabs: the tree is the
    // way between its pages. Tab must not stop on it (it would hand the focus
    // to its hidden tab bar, and the focus would stay where it was).
    PageControl2->setFocusPolicy(Qt::NoFocus);
    PageControl2->tabBar()->setFocusPolicy(Qt::NoFocus);

    // The tool bar is read first: its buttons come before the tabs.
    setTabOrder(ToolButton9, HistoryButton);
    setTabOrder(HistoryButton, PageControl1);

    // Save from any page, as everywhere else; the checks of a click run.
    auto *save = new QShortcut(QKeySequence::Save, this);
    save->setObjectName(QStringLiteral("SaveShortcut"));
    connect(save, &QShortcut::activated, Button1, &QPushButton::click);
    Button1->setToolTip(tr("Save (%1)").arg(QKeySequence(QKeySequence::Save).toString(QKeySequence::NativeText)));

    applyColours();
}

void TForm3::applyColours()
{
    const PanelColours colours = PanelColours::forPalette(palette());
    for (QGroupBox *group : {GroupBox1, GroupBox2, GroupBox3}) {
        group->setAutoFillBackground(true);
        QPalette p = group->palette();
        p.setColor(QPalette::Window, colours.panel);
        p.setColor(QPalette::WindowText, colours.panelText);
        group->setPalette(p);
    }
    setColour(TotalPorts_lbl, QPalette::WindowText, colours.link);
    setColour(status_lbl, QPalette::WindowText, colours.caption(m_service.captionColour()));
    for (LinkLabel *link : findChildren<LinkLabel *>())
        link->setLinkColours(colours.link, colours.disabledLink);

    GroupBox12->setAutoFillBackground(true);
    setColour(GroupBox12, QPalette::Window, colours.rulesGroup);
    setColour(RulesList, QPalette::Base, colours.rulesList);
    setColour(PolicyNote_lbl, QPalette::WindowText,
              readableOn(QColor(kWarningText), GroupBox10->palette().color(QPalette::Window)));
}

void TForm3::changeEvent(QEvent *event)
{
    // A desktop that changes its colour scheme while the panel is open.
    if (event->type() == QEvent::ApplicationPaletteChange)
        applyColours();
    QMainWindow::changeEvent(event);
}

} // namespace vellamor
