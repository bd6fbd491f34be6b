#pragma once

class QLineEdit;

namespace vellamor {

class HistoryArea;
class LoadedFiles;
class ManagementLink;
class RuleEditor;
class TForm3;
class UnsavedChanges;

// The Save button: the checks that refuse a Save before anything is written,
// the writing of gc.xml then rules.txt, and what follows a Save that wrote
// both; and the fields a Save takes its values from, with their pickers.
class SaveCommand
{
public:
    SaveCommand(TForm3 &window, LoadedFiles &loaded, RuleEditor &rules, ManagementLink &management,
                UnsavedChanges &unsaved, HistoryArea &history)
        : m_window(window), m_loaded(loaded), m_rules(rules), m_management(management), m_unsaved(unsaved),
          m_history(history)
    {
    }

    void run();
    // The digit filter of the number fields, and no length limit on any field.
    void prepareFields();
    // A browse button: a picker for the directory or file its field names.
    void chooseDirectory(QLineEdit *field);
    void chooseFile(QLineEdit *field);

private:
    TForm3 &m_window;
    LoadedFiles &m_loaded;
    RuleEditor &m_rules;
    ManagementLink &m_management;
    UnsavedChanges &m_unsaved;
    HistoryArea &m_history;
};

} // namespace vellamor
