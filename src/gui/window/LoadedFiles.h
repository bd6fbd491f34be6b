#pragma once

#include <QString>

namespace vellamor {

// How much of gc.xml and rules.txt the window shows. A Save writes both files
// whole from the window, so a file that start-up skipped, could not read, or
// read as less than it holds would be replaced by what the window happens to
// show: the Save asks first, and the window never counts as saved meanwhile.
class LoadedFiles
{
public:
    enum class File { GlobalConfig, Rules };
    enum class Shown {
        InFull,             // everything the file holds, or the file was missing
        NotLoaded,          // start-up stopped at an error before reading it
        LoadFailed,         // reading it raised an error
        Unreadable,         // it could not be opened or read
        LoneCarriageReturn, // lines ended by a carriage return alone
    };

    void set(File file, Shown shown) { (file == File::GlobalConfig ? m_config : m_rules) = shown; }
    Shown shown(File file) const { return file == File::GlobalConfig ? m_config : m_rules; }
    bool inFull(File file) const { return shown(file) == Shown::InFull; }
    bool allInFull() const { return m_config == Shown::InFull && m_rules == Shown::InFull; }

    static QString name(File file);
    // The question before a Save replaces the file; `rules` is how many rules
    // the window would write in place of rules.txt.
    QString replaceQuestion(File file, qsizetype rules) const;
    // Why the file is not shown in full, as a clause for the status bar.
    QString reason(File file) const;

private:
    Shown m_config = Shown::InFull;
    Shown m_rules = Shown::InFull;
};

} // namespace vellamor
