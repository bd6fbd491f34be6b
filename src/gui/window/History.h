#pragma once

#include "LoadedFiles.h"
#include "history/ConfigHistory.h"
#include "history/OutsideChangeWatcher.h"

#include <QObject>
#include <QPointer>
#include <QThreadPool>
#include <memory>

class QFrame;
class QLabel;
class QWidget;

namespace vellamor {

class GlobalConfigForm;
class HistoryWindow;
class RuleEditor;
class TForm3;
class UnsavedChanges;

// The configuration history and the files' outside changes: history.git
// beside the files, the watch on gc.xml and rules.txt, and the bar across the
// top of the pages that offers a changed file when the window holds edits of
// it. Recording runs on a worker of its own, one record at a time and in
// order, so a Save of a large rule set never waits on git; the window waits
// only at exit, for the last record.
class HistoryArea : public QObject
{
    Q_OBJECT

public:
    HistoryArea(TForm3 &window, LoadedFiles &loaded, GlobalConfigForm &config, RuleEditor &rules,
                UnsavedChanges &unsaved);
    ~HistoryArea() override;

    // The bar, hidden until a file changes under the window's edits.
    QWidget *buildBar();
    // After start-up's loading: records the files as found and watches them.
    void start();

    // Just before a Save writes: false when a file changed outside the panel
    // and the administrator keeps it; the Save then writes nothing.
    bool confirmOverwrite();
    // Just after a Save wrote the file: the panel's own write is no outside
    // change, even when the Save stops at the next file.
    void wrote(LoadedFiles::File file);
    // Just after a Save wrote both files.
    void saved();
    // Why the history of the last finished record was not written; empty
    // when it was.
    QString failure() const;

    // The history, once every queued record is in it.
    ConfigHistory &history();
    // System > "Configuration History...": one window at a time; asked
    // again, the open one comes forward.
    void showWindow();
    // An older version into the window, not onto disk: the window counts as
    // modified and the next Save's message names the entry.
    void restore(const ConfigSnapshot &snapshot, const HistoryEntry &entry);
    // Waits for the last record to finish.
    void finish();

private:
    QString path(LoadedFiles::File file) const;
    // Tells the watcher what the window now holds of the file: `content`,
    // or whatever is there when it could not be read.
    void know(LoadedFiles::File file, const std::optional<QByteArray> &content);
    void record(const ConfigSnapshot &files, bool found, const QString &note = QString());
    void recordFoundOnDisk();
    void changedOutside(const QString &path);
    void reload(LoadedFiles::File file);
    void showBar();

    TForm3 &m_window;
    LoadedFiles &m_loaded;
    GlobalConfigForm &m_config;
    RuleEditor &m_rules;
    UnsavedChanges &m_unsaved;
    std::unique_ptr<ConfigHistory> m_history;
    QThreadPool m_worker;
    OutsideChangeWatcher m_watcher;
    QString m_failure;
    QString m_restoredNote;
    QList<LoadedFiles::File> m_barFiles;
    QFrame *m_bar = nullptr;
    QPointer<HistoryWindow> m_historyWindow;
    QLabel *m_barText = nullptr;
};

} // namespace vellamor
