#include "VellamorDesktopMain.h"
#include "config/GlobalConfig.h"
#include "widgets/ListEntries.h"

#include <QLineEdit>
#include <QListWidget>

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

void TForm3::LoadGlobalConfig()
{
    GlobalConfigFields fields = fieldsOf(*this);
    m_loaded.set(LoadedFiles::File::GlobalConfig, LoadedFiles::Shown::LoadFailed);
    try {
        loadGlobalConfig(fields, *m_platform.fileSystem);
    } catch (...) {
        // A load that stops keeps what it set before the faulty element.
        showFields(*this, fields);
        throw;
    }
    showFields(*this, fields);
    m_loaded.set(LoadedFiles::File::GlobalConfig, LoadedFiles::Shown::InFull);
}

void TForm3::SaveGlobalConfig()
{
    GlobalConfigFields fields = fieldsOf(*this);
    saveGlobalConfig(fields, *m_platform.fileSystem);
    ManagementSettings = fields.management;
    m_loaded.set(LoadedFiles::File::GlobalConfig, LoadedFiles::Shown::InFull);
}

} // namespace vellamor
