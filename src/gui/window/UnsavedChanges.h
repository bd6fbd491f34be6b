#pragma once

#include "LoadedFiles.h"

#include <QList>
#include <QStringList>

namespace vellamor {

class ManagementLink;
class RuleListModel;
class TForm3;

// The window's modified mark ("[*]" in the title): whether what the controls
// hold differs from what the files held at the last load or Save, and the
// question before the window closes over unsaved changes.
class UnsavedChanges
{
public:
    UnsavedChanges(TForm3 &window, LoadedFiles &loaded, ManagementLink &management)
        : m_window(window), m_loaded(loaded), m_management(management)
    {
    }

    // Watches every control a Save writes, and the rule lines.
    void watch(RuleListModel &rules);
    // What the controls hold now is what the files hold.
    void remember();
    // The same for one file only, after it was loaded anew: the other's
    // edits stay marked.
    void remember(LoadedFiles::File file);
    // Whether the window holds edits of that file.
    bool edited(LoadedFiles::File file) const;
    // Sets the mark from what the controls hold now.
    void update();
    // Asks before unsaved changes are lost: true when the window may close now.
    bool confirmClose();

private:
    // Everything a Save writes, as the controls hold it (the rule list keeps
    // its own mark).
    struct State
    {
        QStringList texts;
        QList<QStringList> lists;
        QList<bool> choices;
        bool operator==(const State &other) const = default;
    };
    State current() const;
    void scheduleCheck();

    TForm3 &m_window;
    LoadedFiles &m_loaded;
    ManagementLink &m_management;
    RuleListModel *m_rules = nullptr;
    State m_saved;
    bool m_checkPending = false;
    bool m_closeConfirmed = false;
};

} // namespace vellamor
