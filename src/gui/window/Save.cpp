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

void TForm3::Button1Click()
{
    auto refuse = [this](const QString &text) {
        m_platform.dialogs->messageBox(this, text, QStringLiteral("Error"), platform::Buttons::Ok,
                                       platform::Icon::None);
    };
    platform::FileSystem &fs = *m_platform.fileSystem;

    if (ServerPass_txt->text().isEmpty())
        return refuse(QStringLiteral("Invalid password"));
    if (ServerPass_txt->text() != ConfirmServerPass_txt->text())
        return refuse(QStringLiteral("Password confirmation failed"));
    // An empty log directory means the server's own; the field keeps that
    // path even when a later check refuses the save.
    if (DefaultLogFolder_txt->text().isEmpty())
        DefaultLogFolder_txt->setText(besideExecutable(fs.executableDir(), QStringLiteral("logs")));
    if (!fs.directoryExists(DefaultLogFolder_txt->text()))
        return refuse(QStringLiteral("Specified log directory dont exist"));
    if (!KeyFile_txt->text().isEmpty() && !fs.fileExists(KeyFile_txt->text()))
        return refuse(QStringLiteral("Specified key file dont exist"));
    if (!CertFile_txt->text().isEmpty() && !fs.fileExists(CertFile_txt->text()))
        return refuse(QStringLiteral("Specified certificate file dont exist"));

    // Ports that the next start could not load are refused before the window
    // leaves the page and before anything is written: the files keep what
    // they hold and the server is not asked to reload. An empty application
    // port would be saved as an empty element, at which the next start stops
    // loading, so that the panel loses the management target and its next
    // Save writes the defaults over the real settings. Any other text passes:
    // a hand-edited gc.xml may hold it, and it is stored as it stands.
    if (lport->text().isEmpty())
        throw Error(QStringLiteral("The Application Service Port is empty; enter the port the server listens on"));
    toInteger(mport->text());
    // The password goes on the management protocol's one request line: a
    // line break in it would end that line and start a second command.
    if (!fitsRequestLine(ServerPass_txt->text())) {
        throw Error(QStringLiteral("The management password holds a control character (such as a line break or a "
                                   "tab), which the server's request line cannot carry; remove it"));
    }
    if (!confirmReplacing())
        return;

    PageControl1->setCurrentIndex(0);
    // Either raises (the standard error box shows why) and ends the save here:
    // no reload is asked for and no success is reported for an unwritten file.
    SaveGlobalConfig();
    updateUsersReloadAction();
    // The users count follows the management service just saved, from the
    // poller's next cycle on, instead of polling the old target until restart.
    retargetStatusPoller();
    SaveRules();
    showLoadNote();
    rememberSavedState();
    Timer3->start();
    m_platform.dialogs->messageBox(this, kInformation, QStringLiteral("Information"), platform::Buttons::Ok,
                                   platform::Icon::None);
}

bool TForm3::fileOnDisk(LoadedFiles::File file) const
{
    // A directory in the file's place holds nothing a Save could lose.
    return m_platform.fileSystem->fileExists(
        besideExecutable(m_platform.fileSystem->executableDir(), LoadedFiles::name(file)));
}

bool TForm3::confirmReplacing()
{
    // In the order the Save writes them; a file that is not there loses nothing.
    for (const LoadedFiles::File file : {LoadedFiles::File::GlobalConfig, LoadedFiles::File::Rules}) {
        if (m_loaded.inFull(file) || !fileOnDisk(file))
            continue;
        const platform::Answer answer = m_platform.dialogs->messageBox(
            this, m_loaded.replaceQuestion(file, m_rules->rowCount()), QStringLiteral("Confirmation"),
            platform::Buttons::YesNo, platform::Icon::Question);
        if (answer != platform::Answer::Yes)
            return false;
    }
    return true;
}

void TForm3::showLoadNote()
{
    QStringList reasons;
    for (const LoadedFiles::File file : {LoadedFiles::File::GlobalConfig, LoadedFiles::File::Rules}) {
        if (!m_loaded.inFull(file) && fileOnDisk(file))
            reasons << m_loaded.reason(file);
    }
    if (reasons.isEmpty()) {
        if (LoadNote_lbl)
            LoadNote_lbl->hide();
        return;
    }
    if (!LoadNote_lbl) {
        LoadNote_lbl = new QLabel(StatusBar1);
        LoadNote_lbl->setObjectName(QStringLiteral("LoadNote_lbl"));
        StatusBar1->addWidget(LoadNote_lbl, 1);
    }
    const QString text =
        reasons.join(QStringLiteral("; ")) +
        (reasons.size() == 1 ? tr(". A Save asks before replacing it.") : tr(". A Save asks before replacing them."));
    LoadNote_lbl->setText(text);
    LoadNote_lbl->setToolTip(text);
    LoadNote_lbl->setAccessibleName(text);
    LoadNote_lbl->show();
}

void TForm3::installFieldHelpers()
{
    for (QLineEdit *field : {lport, mport, MaxCon_txt})
        new DigitFilter(field);
    // A line edit cuts its text at 32767 characters by default, and the next
    // Save would store the cut value without a word. A value from gc.xml,
    // however long, comes back whole.
    for (QLineEdit *field : {lport, MaxCon_txt, DefaultLogFolder_txt, CertFile_txt, KeyFile_txt, mport, ServerPass_txt,
                             ConfirmServerPass_txt})
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

void TForm3::SpeedButton5Click()
{
    const QString dir = m_platform.dialogs->existingDirectory(
        this, startFolder(DefaultLogFolder_txt->text(), m_platform.fileSystem->executableDir()));
    if (!dir.isEmpty())
        DefaultLogFolder_txt->setText(QDir::toNativeSeparators(dir));
}

void TForm3::SpeedButton6Click()
{
    const QString file =
        m_platform.dialogs->openFile(this, startFolder(KeyFile_txt->text(), m_platform.fileSystem->executableDir()));
    if (!file.isEmpty())
        KeyFile_txt->setText(QDir::toNativeSeparators(file));
}

void TForm3::SpeedButton7Click()
{
    const QString file =
        m_platform.dialogs->openFile(this, startFolder(CertFile_txt->text(), m_platform.fileSystem->executableDir()));
    if (!file.isEmpty())
        CertFile_txt->setText(QDir::toNativeSeparators(file));
}

} // namespace vellamor
