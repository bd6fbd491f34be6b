#include "GlobalConfigForm.h"

#include "PageParts.h"
#include "VellamorDesktopMain.h"
#include "bindings/SystemAddresses.h"
#include "common/Error.h"
#include "config/GlobalConfig.h"
#include "widgets/ListEntries.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QVBoxLayout>

namespace vellamor {

namespace {

// Only what changed is touched, so an untouched field keeps its cursor and
// undo history and an untouched list its selection.
void show(QLineEdit *edit, const QString &text)
{
    if (edit->text() != text)
        edit->setText(text);
}

void show(QListWidget *list, const QStringList &entries)
{
    if (entriesOf(list) == entries)
        return;
    list->clear();
    list->addItems(entries);
}

GlobalConfigFields fieldsOf(const TForm3 &w)
{
    GlobalConfigFields f;
    f.applicationPort = w.lport->text();
    f.maxConnections = w.MaxCon_txt->text();
    f.logDirectory = w.DefaultLogFolder_txt->text();
    f.certFile = w.CertFile_txt->text();
    f.keyFile = w.KeyFile_txt->text();
    f.applicationSystem = entriesOf(w.SystemIPS);
    f.applicationChosen = entriesOf(w.SelectedIPs);
    f.managementPort = w.mport->text();
    f.password = w.ServerPass_txt->text();
    f.passwordConfirmation = w.ConfirmServerPass_txt->text();
    f.managementSystem = entriesOf(w.SystemIPS2);
    f.managementChosen = entriesOf(w.SelectedIPs2);
    f.management = w.ManagementSettings;
    return f;
}

void showFields(TForm3 &w, const GlobalConfigFields &f)
{
    show(w.lport, f.applicationPort);
    show(w.MaxCon_txt, f.maxConnections);
    show(w.DefaultLogFolder_txt, f.logDirectory);
    show(w.CertFile_txt, f.certFile);
    show(w.KeyFile_txt, f.keyFile);
    show(w.SystemIPS, f.applicationSystem);
    show(w.SelectedIPs, f.applicationChosen);
    show(w.mport, f.managementPort);
    show(w.ServerPass_txt, f.password);
    show(w.ConfirmServerPass_txt, f.passwordConfirmation);
    show(w.SystemIPS2, f.managementSystem);
    show(w.SelectedIPs2, f.managementChosen);
    w.ManagementSettings = f.management;
}

} // namespace

void GlobalConfigForm::load()
{
    GlobalConfigFields fields = fieldsOf(m_window);
    m_loaded.set(LoadedFiles::File::GlobalConfig, LoadedFiles::Shown::LoadFailed);
    try {
        loadGlobalConfig(fields, *m_window.platform().fileSystem);
    } catch (...) {
        // A load that stops keeps what it set before the faulty element.
        showFields(m_window, fields);
        throw;
    }
    showFields(m_window, fields);
    m_loaded.set(LoadedFiles::File::GlobalConfig, LoadedFiles::Shown::InFull);
}

void GlobalConfigForm::save()
{
    GlobalConfigFields fields = fieldsOf(m_window);
    saveGlobalConfig(fields, *m_window.platform().fileSystem);
    m_window.ManagementSettings = fields.management;
    m_loaded.set(LoadedFiles::File::GlobalConfig, LoadedFiles::Shown::InFull);
}

QString GlobalConfigForm::reload(const QString &path)
{
    GlobalConfigFields fields = fieldsOf(m_window);
    // The lists start as at start-up: every machine address offered, none
    // chosen, for the file's choices to be taken out of them again.
    const QStringList machine =
        m_window.platform().addressTable ? systemAddresses(*m_window.platform().addressTable) : QStringList();
    fields.applicationSystem = fields.managementSystem = machine;
    fields.applicationChosen.clear();
    fields.managementChosen.clear();
    const platform::FileSystem &fs = *m_window.platform().fileSystem;
    try {
        loadGlobalConfig(fields, fs, path.isEmpty() ? globalConfigPath(fs) : path);
    } catch (const Error &e) {
        return e.message();
    }
    showFields(m_window, fields);
    m_loaded.set(LoadedFiles::File::GlobalConfig, LoadedFiles::Shown::InFull);
    return {};
}

QByteArray GlobalConfigForm::document() const
{
    return globalConfigDocument(fieldsOf(m_window));
}

void TForm3::LoadGlobalConfig()
{
    m_config.load();
}

void TForm3::SaveGlobalConfig()
{
    m_config.save();
}

// The pages of gc.xml's fields, and the Database page beside them.

using namespace pageparts;

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

QWidget *TForm3::buildApplicationPage()
{
    QVBoxLayout *body = nullptr;
    TabSheet7ConfigApplication = configPage("TabSheet7ConfigApplication", 1, &body);
    auto *page = TabSheet7ConfigApplication;

    const char *const names[7] = {"Label1", "SystemIPS",   "SpeedButton1",     "SpeedButton2",
                                  "Label8", "SelectedIPs", "ActivateOnAll_chk"};
    GroupBox5 = BindingLists::buildGroup(
        "GroupBox5", tr("Application Server"), names,
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

    const char *const names[7] = {"Label4", "SystemIPS2",   "SpeedButton3",      "SpeedButton4",
                                  "Label2", "SelectedIPs2", "ActivateOnAll_chk2"};
    GroupBox4 = BindingLists::buildGroup(
        "GroupBox4", tr("Management Server"), names,
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

} // namespace vellamor
