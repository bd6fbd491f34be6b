#include "LoadedFiles.h"

#include "VellamorDesktopMain.h"
#include "common/Paths.h"

#include <QCoreApplication>
#include <QLabel>
#include <QLocale>
#include <QStatusBar>

namespace vellamor {

QString LoadedFiles::name(File file)
{
    return file == File::GlobalConfig ? QStringLiteral("gc.xml") : QStringLiteral("rules.txt");
}

QString LoadedFiles::replaceQuestion(File file, qsizetype rules) const
{
    if (file == File::GlobalConfig) {
        return QCoreApplication::translate("LoadedFiles", "gc.xml could not be loaded at start-up. Saving now replaces "
                                                          "it with the values shown here. Save anyway?");
    }
    const QString shown = rules == 0 ? QCoreApplication::translate("LoadedFiles", "none")
                          : rules == 1
                              ? QCoreApplication::translate("LoadedFiles", "1 rule")
                              : QCoreApplication::translate("LoadedFiles", "%1 rules").arg(QLocale().toString(rules));
    QString why;
    switch (m_rules) {
    case Shown::InFull:
        return {};
    case Shown::NotLoaded:
        why = QCoreApplication::translate("LoadedFiles",
                                          "rules.txt was not loaded, because gc.xml could not be read at start-up.");
        break;
    case Shown::LoadFailed:
        why = QCoreApplication::translate("LoadedFiles", "rules.txt could not be loaded at start-up.");
        break;
    case Shown::Unreadable:
        why = QCoreApplication::translate("LoadedFiles", "rules.txt could not be read at start-up.");
        break;
    case Shown::LoneCarriageReturn:
        why = QCoreApplication::translate(
            "LoadedFiles", "rules.txt holds text the panel cannot show (lines ended by a carriage return alone).");
        break;
    }
    return why + QCoreApplication::translate("LoadedFiles",
                                             " Saving now replaces it with the rules shown here (%1). Save anyway?")
                     .arg(shown);
}

QString LoadedFiles::reason(File file) const
{
    switch (shown(file)) {
    case Shown::InFull:
        return {};
    case Shown::NotLoaded:
        return file == File::GlobalConfig
                   ? QCoreApplication::translate("LoadedFiles", "gc.xml was not loaded")
                   : QCoreApplication::translate("LoadedFiles",
                                                 "rules.txt was not loaded, because gc.xml could not be read");
    case Shown::LoadFailed:
        return QCoreApplication::translate("LoadedFiles", "%1 could not be loaded").arg(name(file));
    case Shown::Unreadable:
        return QCoreApplication::translate("LoadedFiles", "%1 could not be read").arg(name(file));
    case Shown::LoneCarriageReturn:
        return QCoreApplication::translate("LoadedFiles",
                                           "rules.txt has lines ended by a carriage return alone, not shown here");
    }
    return {};
}

bool LoadedFiles::onDisk(File file) const
{
    const platform::FileSystem &fs = *m_window.platform().fileSystem;
    return fs.fileExists(besideExecutable(fs.executableDir(), name(file)));
}

void LoadedFiles::settleMissing()
{
    for (const File file : kFiles) {
        if (!onDisk(file))
            set(file, Shown::InFull);
    }
}

bool LoadedFiles::confirmReplacing(qsizetype rules) const
{
    // A file that is not there loses nothing.
    for (const File file : kFiles) {
        if (inFull(file) || !onDisk(file))
            continue;
        const platform::Answer answer = m_window.platform().dialogs->messageBox(
            &m_window, replaceQuestion(file, rules), QStringLiteral("Confirmation"), platform::Buttons::YesNo,
            platform::Icon::Question);
        if (answer != platform::Answer::Yes)
            return false;
    }
    return true;
}

void LoadedFiles::showNote()
{
    QStringList reasons;
    for (const File file : kFiles) {
        if (!inFull(file) && onDisk(file))
            reasons << reason(file);
    }
    if (reasons.isEmpty()) {
        if (m_note)
            m_note->hide();
        return;
    }
    if (!m_note) {
        m_note = new QLabel(m_window.StatusBar1);
        m_note->setObjectName(QStringLiteral("LoadNote_lbl"));
        m_window.StatusBar1->addWidget(m_note, 1);
    }
    const QString text =
        reasons.join(QStringLiteral("; ")) + (reasons.size() == 1 ? TForm3::tr(". A Save asks before replacing it.")
                                                                  : TForm3::tr(". A Save asks before replacing them."));
    m_note->setText(text);
    m_note->setToolTip(text);
    m_note->setAccessibleName(text);
    m_note->show();
}

} // namespace vellamor
