#include "Save.h"

#include "History.h"
#include "VellamorDesktopMain.h"

#include "common/Error.h"
#include "common/Paths.h"
#include "config/IntegerConversion.h"
#include "management/ManagementProtocol.h"
#include "rules/RuleListModel.h"
#include "widgets/DigitFilter.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <limits>

namespace vellamor {

namespace {
const QString kInformation = QStringLiteral(
    "If you modified server wide configuration then you must restart Vellamor Service. You dont need to restart FTP "
    "Service if you only modified Security rules.");
}

void SaveCommand::run()
{
    TForm3 &w = m_window;
    auto refuse = [&w](const QString &text) {
        w.platform().dialogs->messageBox(&w, text, QStringLiteral("Error"), platform::Buttons::Ok,
                                         platform::Icon::None);
    };
    platform::FileSystem &fs = *w.platform().fileSystem;

    if (w.ServerPass_txt->text().isEmpty())
        return refuse(QStringLiteral("Invalid password"));
    if (w.ServerPass_txt->text() != w.ConfirmServerPass_txt->text())
        return refuse(QStringLiteral("Password confirmation failed"));
    // An empty log directory means the server's own; the field keeps that
    // path even when a later check refuses the save.
    if (w.DefaultLogFolder_txt->text().isEmpty())
        w.DefaultLogFolder_txt->setText(besideExecutable(fs.executableDir(), QStringLiteral("logs")));
    if (!fs.directoryExists(w.DefaultLogFolder_txt->text()))
        return refuse(QStringLiteral("Specified log directory dont exist"));
    if (!w.KeyFile_txt->text().isEmpty() && !fs.fileExists(w.KeyFile_txt->text()))
        return refuse(QStringLiteral("Specified key file dont exist"));
    if (!w.CertFile_txt->text().isEmpty() && !fs.fileExists(w.CertFile_txt->text()))
        return refuse(QStringLiteral("Specified certificate file dont exist"));

    // Ports that the next start could not load are refused before the window
    // leaves the page and before anything is written: the files keep what
    // they hold and the server is not asked to reload. An empty application
    // port would be saved as an empty element, at which the next start stops
    // loading, so that the panel loses the management target and its next
    // Save writes the defaults over the real settings. Any other text passes:
    // a hand-edited gc.xml may hold it, and it is stored as it stands.
    if (w.lport->text().isEmpty())
        throw Error(QStringLiteral("The Application Service Port is empty; enter the port the server listens on"));
    toInteger(w.mport->text());
    // The password goes on the management protocol's one request line: a
    // line break in it would end that line and start a second command.
    if (!fitsRequestLine(w.ServerPass_txt->text())) {
        throw Error(QStringLiteral("The management password holds a control character (such as a line break or a "
                                   "tab), which the server's request line cannot carry; remove it"));
    }
    if (!m_loaded.confirmReplacing(m_rules.rules().rowCount()))
        return;
    if (!m_history.confirmOverwrite())
        return;

    w.PageControl1->setCurrentIndex(0);
    // Either raises (the standard error box shows why) and ends the save here:
    // no reload is asked for and no success is reported for an unwritten file.
    w.SaveGlobalConfig();
    m_history.wrote(LoadedFiles::File::GlobalConfig);
    m_management.updateUsersReloadAction();
    // The users count follows the management service just saved, from the
    // poller's next cycle on, instead of polling the old target until restart.
    w.retargetStatusPoller();
    w.SaveRules();
    m_history.saved();
    m_loaded.showNote();
    m_unsaved.remember();
    w.Timer3->start();
    // The record of this Save runs on while the box is open; a history that
    // could not be written before is said here too.
    QString information = kInformation;
    if (!m_history.failure().isEmpty())
        information += TForm3::tr("\n\nThe history was not recorded: %1").arg(m_history.failure());
    w.platform().dialogs->messageBox(&w, information, QStringLiteral("Information"), platform::Buttons::Ok,
                                     platform::Icon::None);
}

void SaveCommand::prepareFields()
{
    TForm3 &w = m_window;
    for (QLineEdit *field : {w.lport, w.mport, w.MaxCon_txt})
        new DigitFilter(field);
    // A line edit cuts its text at 32767 characters by default, and the next
    // Save would store the cut value without a word. A value from gc.xml,
    // however long, comes back whole.
    for (QLineEdit *field : {w.lport, w.MaxCon_txt, w.DefaultLogFolder_txt, w.CertFile_txt, w.KeyFile_txt, w.mport,
                             w.ServerPass_txt, w.ConfirmServerPass_txt})
        field->setMaxLength(std::numeric_limits<int>::max());
}

namespace {

// Where a picker opens: the folder of what the field names, else the server's.
QString startFolder(const QString &field, const QString &executableDir)
{
    if (!field.isEmpty()) {
        const QFileInfo info(field);
        if (info.isDir())
            return info.absoluteFilePath();
        if (info.dir().exists())
            return info.dir().absolutePath();
    }
    return executableDir;
}

} // namespace

void SaveCommand::chooseDirectory(QLineEdit *field)
{
    const platform::Platform &platform = m_window.platform();
    const QString dir = platform.dialogs->existingDirectory(
        &m_window, startFolder(field->text(), platform.fileSystem->executableDir()));
    if (!dir.isEmpty())
        field->setText(QDir::toNativeSeparators(dir));
}

void SaveCommand::chooseFile(QLineEdit *field)
{
    const platform::Platform &platform = m_window.platform();
    const QString file =
        platform.dialogs->openFile(&m_window, startFolder(field->text(), platform.fileSystem->executableDir()));
    if (!file.isEmpty())
        field->setText(QDir::toNativeSeparators(file));
}

void TForm3::Button1Click()
{
    m_save.run();
}

void TForm3::SpeedButton5Click()
{
    m_save.chooseDirectory(DefaultLogFolder_txt);
}

void TForm3::SpeedButton6Click()
{
    m_save.chooseFile(KeyFile_txt);
}

void TForm3::SpeedButton7Click()
{
    m_save.chooseFile(CertFile_txt);
}

} // namespace vellamor
