#pragma once

#include "history/ConfigHistory.h"

#include <QWidget>
#include <functional>

class QComboBox;
class QLabel;
class QListView;
class QPushButton;
class QTreeWidget;

namespace vellamor {

class DiffLineModel;

// The configuration history: every save, newest first, with "Unsaved
// changes" on top while the window differs from disk, and the selected
// entry's diff against the save before it or against the window now. A
// window of its own, never modal. The list costs one line per entry; an
// entry's files are read only once it is selected.
class HistoryWindow : public QWidget
{
    Q_OBJECT

public:
    // Both files as the main window would write them now, and whether that
    // differs from what is on disk.
    using CurrentFiles = std::function<ConfigSnapshot()>;
    using DiffersFromDisk = std::function<bool()>;

    HistoryWindow(ConfigHistory &history, CurrentFiles current, DiffersFromDisk differs, QWidget *parent = nullptr);
    ~HistoryWindow() override;

    // Reads the list again, keeping the selected entry where it still exists.
    void refresh();

    DiffLineModel *diffModel() const { return m_diff; }

    QLabel *HistoryProblem = nullptr;
    QTreeWidget *HistoryList = nullptr;
    QComboBox *HistoryCompare = nullptr; // against the save before, or the window now
    QListView *HistoryDiff = nullptr;
    QPushButton *HistoryRestore = nullptr;
    QPushButton *CloseHistory = nullptr;

Q_SIGNALS:
    // The selected entry's files, for the main window to load (not to write).
    void restoreRequested(const vellamor::ConfigSnapshot &files, const vellamor::HistoryEntry &entry);

protected:
    void changeEvent(QEvent *event) override;

private:
    void showSelected();
    void restoreSelected();
    void showProblem(const QString &problem);
    // The selected entry's index in m_entries; -1 for "Unsaved changes" or none.
    int selectedEntry() const;
    ConfigHistory::Files filesOf(int entry);

    ConfigHistory &m_history;
    CurrentFiles m_current;
    DiffersFromDisk m_differs;
    QList<HistoryEntry> m_entries;
    DiffLineModel *m_diff = nullptr;
    // The last entry read, as the compare choice and Restore ask for it again.
    QString m_cachedId;
    ConfigHistory::Files m_cached;
};

} // namespace vellamor
