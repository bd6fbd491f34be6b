#include "History.h"

#include "GlobalConfigForm.h"
#include "RulesPage.h"
#include "UnsavedChanges.h"
#include "VellamorDesktopMain.h"
#include "common/Paths.h"
#include "dialogs/HistoryWindow.h"

#include <QFile>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>

namespace vellamor {

HistoryArea::HistoryArea(TForm3 &window, LoadedFiles &loaded, GlobalConfigForm &config, RuleEditor &rules,
                         UnsavedChanges &unsaved)
    : m_window(window), m_loaded(loaded), m_config(config), m_rules(rules), m_unsaved(unsaved)
{
    m_worker.setMaxThreadCount(1);
    connect(&m_watcher, &OutsideChangeWatcher::changedOutside, this,
            [this](const QString &file) { m_window.guarded([this, file] { changedOutside(file); }); });
}

HistoryArea::~HistoryArea()
{
    finish();
}

void HistoryArea::finish()
{
    m_worker.waitForDone();
}

QString HistoryArea::path(LoadedFiles::File file) const
{
    return QFileInfo(besideExecutable(m_window.platform().fileSystem->executableDir(), LoadedFiles::name(file)))
        .absoluteFilePath();
}

QWidget *HistoryArea::buildBar()
{
    m_bar = new QFrame(&m_window);
    m_bar->setObjectName(QStringLiteral("OutsideChange_bar"));
    m_bar->setAccessibleName(TForm3::tr("Changed outside the panel"));
    m_bar->setFrameShape(QFrame::StyledPanel);
    m_bar->setAutoFillBackground(true);
    // The roles of an input field, which every palette, light or dark, keeps
    // legible; a tool tip's pair is often left half-set by dark schemes.
    m_bar->setBackgroundRole(QPalette::Base);
    m_barText = new QLabel(m_bar);
    m_barText->setObjectName(QStringLiteral("OutsideChange_lbl"));
    m_barText->setForegroundRole(QPalette::Text);
    m_barText->setWordWrap(true);
    auto *reloadButton = new QPushButton(TForm3::tr("Reload"), m_bar);
    reloadButton->setObjectName(QStringLiteral("OutsideReload_btn"));
    auto *keepButton = new QPushButton(TForm3::tr("Keep my edits"), m_bar);
    keepButton->setObjectName(QStringLiteral("OutsideKeep_btn"));
    auto *layout = new QHBoxLayout(m_bar);
    layout->setContentsMargins(6, 3, 6, 3);
    layout->addWidget(m_barText, 1);
    layout->addWidget(reloadButton);
    layout->addWidget(keepButton);
    connect(reloadButton, &QPushButton::clicked, this, [this] {
        m_window.guarded([this] {
            const QList<LoadedFiles::File> files = std::exchange(m_barFiles, {});
            m_bar->hide();
            for (LoadedFiles::File file : files)
                reload(file);
        });
    });
    connect(keepButton, &QPushButton::clicked, this, [this] {
        // The edits stay, and so does the difference: the next Save asks
        // before it overwrites the file.
        m_barFiles.clear();
        m_bar->hide();
    });
    m_bar->hide();
    m_history = std::make_unique<ConfigHistory>(m_window.platform().fileSystem->executableDir());
    return m_bar;
}

void HistoryArea::start()
{
    const SnapshotRead found = readConfigSnapshot(m_window.platform().fileSystem->executableDir());
    record(found.snapshot, true);
    know(LoadedFiles::File::GlobalConfig, found.snapshot.globalConfig);
    know(LoadedFiles::File::Rules, found.snapshot.rules);
}

void HistoryArea::know(LoadedFiles::File file, const std::optional<QByteArray> &content)
{
    if (content)
        m_watcher.setKnown(path(file), content);
    else
        m_watcher.setKnownAsOnDisk(path(file));
}

void HistoryArea::record(const ConfigSnapshot &files, bool found, const QString &note)
{
    m_worker.start([this, files, found, note] {
        const HistoryOutcome outcome = found ? m_history->recordFound(files) : m_history->recordSave(files, note);
        const QString failure = outcome.failure;
        QMetaObject::invokeMethod(
            this,
            [this, failure] {
                m_failure = failure;
                if (!failure.isEmpty())
                    m_window.StatusBar1->showMessage(TForm3::tr("The history was not recorded: %1").arg(failure));
                if (m_historyWindow)
                    m_historyWindow->refresh();
            },
            Qt::QueuedConnection);
    });
}

void HistoryArea::recordFoundOnDisk()
{
    record(readConfigSnapshot(m_window.platform().fileSystem->executableDir()).snapshot, true);
}

void HistoryArea::wrote(LoadedFiles::File file)
{
    m_watcher.setKnownAsOnDisk(path(file));
}

void HistoryArea::changedOutside(const QString &changed)
{
    // Recorded before anything else, so that the version is kept whatever
    // the window does with it.
    recordFoundOnDisk();
    const LoadedFiles::File file =
        changed == path(LoadedFiles::File::Rules) ? LoadedFiles::File::Rules : LoadedFiles::File::GlobalConfig;
    if (!m_unsaved.edited(file))
        return reload(file);
    if (!m_barFiles.contains(file))
        m_barFiles << file;
    showBar();
}

void HistoryArea::reload(LoadedFiles::File file)
{
    const QString why = file == LoadedFiles::File::GlobalConfig ? m_config.reload() : m_rules.reload();
    if (!why.isEmpty()) {
        // The window keeps its values, and the next Save asks before it
        // replaces the file.
        m_window.StatusBar1->showMessage(
            TForm3::tr("%1 was changed outside the panel and cannot be loaded: %2").arg(LoadedFiles::name(file), why));
        return;
    }
    wrote(file);
    m_unsaved.remember(file);
    if (file == LoadedFiles::File::GlobalConfig)
        m_window.retargetStatusPoller();
    m_loaded.showNote();
    m_window.StatusBar1->showMessage(
        TForm3::tr("%1 was changed outside the panel and has been reloaded.").arg(LoadedFiles::name(file)));
}

void HistoryArea::showBar()
{
    QStringList lines;
    for (LoadedFiles::File file : m_barFiles)
        lines << TForm3::tr("%1 was changed outside the panel.").arg(LoadedFiles::name(file));
    m_barText->setText(lines.join(QLatin1Char(' ')));
    m_bar->show();
}

bool HistoryArea::confirmOverwrite()
{
    bool changed = false;
    for (LoadedFiles::File file : LoadedFiles::kFiles) {
        if (!m_watcher.changedOnDisk(path(file)))
            continue;
        const platform::Answer answer = m_window.platform().dialogs->messageBox(
            &m_window,
            TForm3::tr("%1 was changed outside the panel since it was loaded. Overwrite it with the panel's version?")
                .arg(LoadedFiles::name(file)),
            TForm3::tr("Confirmation"), platform::Buttons::YesNo, platform::Icon::Question);
        if (answer != platform::Answer::Yes)
            return false;
        changed = true;
    }
    if (changed)
        recordFoundOnDisk();
    return true;
}

void HistoryArea::saved()
{
    // Known before the window returns to the event loop, so that the Save's
    // own writes are no outside change.
    const SnapshotRead written = readConfigSnapshot(m_window.platform().fileSystem->executableDir());
    know(LoadedFiles::File::GlobalConfig, written.snapshot.globalConfig);
    know(LoadedFiles::File::Rules, written.snapshot.rules);
    m_barFiles.clear();
    m_bar->hide();
    record(written.snapshot, false, std::exchange(m_restoredNote, {}));
}

QString HistoryArea::failure() const
{
    return m_failure;
}

ConfigHistory &HistoryArea::history()
{
    finish();
    return *m_history;
}

void HistoryArea::showWindow()
{
    if (m_historyWindow) {
        m_historyWindow->raise();
        m_historyWindow->activateWindow();
        return;
    }
    auto *window = new HistoryWindow(
        history(),
        [this] {
            return ConfigSnapshot{m_config.document(), m_rules.document()};
        },
        [this] { return m_window.isWindowModified(); }, &m_window);
    connect(window, &HistoryWindow::restoreRequested, this,
            [this](const ConfigSnapshot &files, const HistoryEntry &entry) {
                m_window.guarded([this, &files, &entry] { restore(files, entry); });
            });
    m_historyWindow = window;
    window->show();
}

void HistoryArea::restore(const ConfigSnapshot &snapshot, const HistoryEntry &entry)
{
    // The older gc.xml is read as the file would be, from a private copy;
    // an entry without one brings back the first run's defaults.
    QTemporaryDir dir;
    if (!dir.isValid())
        throw Error(TForm3::tr("The older gc.xml could not be prepared: %1").arg(dir.errorString()));
    QFile copy(dir.filePath(QStringLiteral("gc.xml")));
    if (snapshot.globalConfig &&
        (!copy.open(QIODevice::WriteOnly) || copy.write(*snapshot.globalConfig) < 0 || !copy.flush()))
        throw Error(TForm3::tr("The older gc.xml could not be prepared: %1").arg(copy.errorString()));
    copy.close();
    const QString why = m_config.reload(copy.fileName());
    if (!why.isEmpty())
        throw Error(TForm3::tr("The older gc.xml cannot be loaded: %1").arg(why));
    const QString rulesWhy = m_rules.reload(snapshot.rules.value_or(QByteArray()));
    if (!rulesWhy.isEmpty())
        throw Error(TForm3::tr("The older rules.txt cannot be loaded: %1").arg(rulesWhy));
    m_restoredNote = ConfigHistory::restoredNote(entry);
    m_unsaved.update();
    m_window.setWindowModified(true);
    if (m_historyWindow)
        m_historyWindow->refresh();
}

} // namespace vellamor
