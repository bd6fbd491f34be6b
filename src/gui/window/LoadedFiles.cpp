#include "LoadedFiles.h"

#include <QCoreApplication>
#include <QLocale>

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

} // namespace vellamor
