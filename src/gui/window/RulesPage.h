#pragma once

#include <QByteArray>
#include <QModelIndex>
#include <QPersistentModelIndex>
#include <QString>
#include <optional>

namespace vellamor {

class LoadedFiles;
class RuleFilterModel;
class RuleListModel;
class TForm3;

// The Security page as an editor of rules.txt: the rule lines (RulesList
// shows them through a filter that also carries the warnings), adding,
// editing, deleting and moving a rule, finding rules, and what the checks of
// the rules say.
class RuleEditor
{
public:
    RuleEditor(TForm3 &window, LoadedFiles &loaded) : m_window(window), m_loaded(loaded) {}

    // Makes the models, as the page is built (they go with the window, after
    // the list that shows them).
    void makeModels();

    // The rule lines as rules.txt holds them, and as a Save writes them.
    RuleListModel &rules() const { return *m_rules; }
    // rules.txt as a Save would write it now.
    QByteArray document() const;
    // What RulesList shows of them.
    RuleFilterModel &shownRules() const { return *m_shown; }

    // Connects the page's controls once they are built.
    void connectPage();

    void load();
    void save();
    // Takes rules.txt anew (nothing given) or the content of an older
    // version, all or nothing: a file that cannot be read leaves the page as
    // it is, and the reason is returned.
    QString reload(const std::optional<QByteArray> &content = std::nullopt);
    void add();
    // An address list read into the rules, and the rules written out as one.
    void importList();
    void exportList();
    void clear();
    void deleteSelected();
    void editSelected();
    // The selected rule one row up (-1) or down (+1) among those shown.
    void moveSelected(int by);
    // The shown row `row` moved before the shown row `before` (a drop).
    void moveShown(int row, int before);
    void findTextChanged();

private:
    QModelIndex selectedRule() const; // in rules()
    void selectionChanged();
    // Scrolls to a rule just added or edited, clearing a find that hides it.
    void scrollToRule(const QPersistentModelIndex &rule);
    void updateActions();
    void showFindResult();
    void showChecks();

    TForm3 &m_window;
    LoadedFiles &m_loaded;
    RuleListModel *m_rules = nullptr;
    RuleFilterModel *m_shown = nullptr;
    // The rule the user last selected, to select it again when a change of
    // the find text shows it again.
    QPersistentModelIndex m_keptRule;
    bool m_filtering = false;
};

} // namespace vellamor
