#pragma once

#include <QString>

class QLabel;

namespace vellamor {

class TForm3;

// How much of gc.xml and rules.txt the window shows. A Save writes both files
// whole from the window, so a file that start-up skipped, could not read, or
// read as less than it holds would be replaced by what the window happens to
// show: the Save asks first, and the window never counts as saved meanwhile.
class LoadedFiles
{
public:
    enum class File { GlobalConfig, Rules };
    static constexpr File kFiles[] = {File::GlobalConfig, File::Rules}; // in the order a Save writes them
    enum class Shown {
        InFull,             // everything the file holds, or the file was missing
        NotLoaded,          // start-up stopped at an error before reading it
        LoadFailed,         // reading it raised an error
        Unreadable,         // it could not be opened or read
        LoneCarriageReturn, // lines ended by a carriage return alone
    };

    explicit LoadedFiles(TForm3 &window) : m_window(window) {}

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

    // Whether the file is there beside the executable; a directory in its
    // place holds nothing a Save could lose.
    bool onDisk(File file) const;
    // After start-up's loading: a file that is not there has nothing the
    // window could fail to show.
    void settleMissing();
    // Asks before a Save replaces a file shown only in part: true when the
    // Save may go on. `rules` is how many rules the window would write.
    bool confirmReplacing(qsizetype rules) const;
    // The note in the status bar that says which files are shown in part.
    void showNote();

private:
    TForm3 &m_window;
    QLabel *m_note = nullptr; // LoadNote_lbl, made the first time it is needed
    Shown m_config = Shown::InFull;
    Shown m_rules = Shown::InFull;
};

} // namespace vellamor
