#include "HistoryWindow.h"

#include "models/DiffLineModel.h"
#include "widgets/SvgIconEngine.h"

#include <QComboBox>
#include <QEvent>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListView>
#include <QLocale>
#include <QPushButton>
#include <QShortcut>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace vellamor {

namespace {

constexpr int kUnsavedRow = -1;
enum Compare { WithPrevious, WithWindow };

} // namespace

HistoryWindow::HistoryWindow(ConfigHistory &history, CurrentFiles current, DiffersFromDisk differs, QWidget *parent)
    : QWidget(parent, Qt::Window), m_history(history), m_current(std::move(current)), m_differs(std::move(differs))
{
    setObjectName(QStringLiteral("HistoryWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(tr("Configuration History"));
    setWindowIcon(SvgIconEngine::icon(QStringLiteral(":/icons/history.svg")));

    auto *layout = new QVBoxLayout(this);
    HistoryProblem = new QLabel(this);
    HistoryProblem->setObjectName(QStringLiteral("HistoryProblem"));
    HistoryProblem->setTextFormat(Qt::PlainText);
    HistoryProblem->setWordWrap(true);
    HistoryProblem->setTextInteractionFlags(Qt::TextSelectableByMouse);
    HistoryProblem->setFrameShape(QFrame::StyledPanel);
    HistoryProblem->setMargin(6);
    HistoryProblem->setStyleSheet(QStringLiteral("QLabel { background: #FFF6D5; color: #5A4500; }"));
    HistoryProblem->hide();
    layout->addWidget(HistoryProblem);

    auto *splitter = new QSplitter(Qt::Vertical, this);
    auto *top = new QWidget(splitter);
    auto *topLayout = new QVBoxLayout(top);
    topLayout->setContentsMargins(0, 0, 0, 0);
    auto *listLabel = new QLabel(tr("&Saves:"), top);
    topLayout->addWidget(listLabel);
    HistoryList = new QTreeWidget(top);
    HistoryList->setObjectName(QStringLiteral("HistoryList"));
    HistoryList->setAccessibleName(tr("Saves"));
    HistoryList->setHeaderLabels({tr("Time"), tr("Author"), tr("Changes")});
    HistoryList->setRootIsDecorated(false);
    HistoryList->setUniformRowHeights(true);
    HistoryList->setSelectionMode(QAbstractItemView::SingleSelection);
    HistoryList->header()->setStretchLastSection(true);
    HistoryList->setColumnWidth(0, 150);
    HistoryList->setColumnWidth(1, 110);
    listLabel->setBuddy(HistoryList);
    topLayout->addWidget(HistoryList);

    auto *bottom = new QWidget(splitter);
    auto *bottomLayout = new QVBoxLayout(bottom);
    bottomLayout->setContentsMargins(0, 0, 0, 0);
    auto *compareRow = new QHBoxLayout;
    auto *compareLabel = new QLabel(tr("Compare &with:"), bottom);
    HistoryCompare = new QComboBox(bottom);
    HistoryCompare->setObjectName(QStringLiteral("HistoryCompare"));
    HistoryCompare->setAccessibleName(tr("Compare with"));
    HistoryCompare->addItems({tr("The save before it"), tr("The window now")});
    compareLabel->setBuddy(HistoryCompare);
    compareRow->addWidget(compareLabel);
    compareRow->addWidget(HistoryCompare);
    compareRow->addStretch(1);
    bottomLayout->addLayout(compareRow);
    HistoryDiff = new QListView(bottom);
    HistoryDiff->setObjectName(QStringLiteral("HistoryDiff"));
    HistoryDiff->setAccessibleName(tr("Differences"));
    HistoryDiff->setUniformItemSizes(true);
    HistoryDiff->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    HistoryDiff->setEditTriggers(QAbstractItemView::NoEditTriggers);
    HistoryDiff->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_diff = new DiffLineModel(this);
    m_diff->setPalette(palette());
    HistoryDiff->setModel(m_diff);
    bottomLayout->addWidget(HistoryDiff, 1);
    splitter->setStretchFactor(1, 2);
    layout->addWidget(splitter, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    HistoryRestore = new QPushButton(tr("&Restore"), this);
    HistoryRestore->setObjectName(QStringLiteral("HistoryRestore"));
    HistoryRestore->setToolTip(tr("Load the selected save into the window, to review and Save"));
    HistoryRestore->setEnabled(false);
    CloseHistory = new QPushButton(tr("Close"), this);
    CloseHistory->setObjectName(QStringLiteral("CloseHistory"));
    buttons->addWidget(HistoryRestore);
    buttons->addWidget(CloseHistory);
    layout->addLayout(buttons);
    setTabOrder(HistoryList, HistoryCompare);
    setTabOrder(HistoryCompare, HistoryDiff);
    setTabOrder(HistoryDiff, HistoryRestore);
    setTabOrder(HistoryRestore, CloseHistory);

    connect(HistoryList, &QTreeWidget::currentItemChanged, this, &HistoryWindow::showSelected);
    connect(HistoryCompare, &QComboBox::currentIndexChanged, this, &HistoryWindow::showSelected);
    connect(HistoryRestore, &QPushButton::clicked, this, &HistoryWindow::restoreSelected);
    connect(CloseHistory, &QPushButton::clicked, this, &QWidget::close);
    connect(new QShortcut(QKeySequence::Cancel, this), &QShortcut::activated, this, &QWidget::close);
    resize(900, 600);
    refresh();
}

HistoryWindow::~HistoryWindow() = default;

void HistoryWindow::refresh()
{
    const QString selectedId = selectedEntry() >= 0 ? m_entries[selectedEntry()].id : QString();
    const bool unsavedSelected = HistoryList->currentItem() && selectedEntry() == kUnsavedRow;
    ConfigHistory::Listing listing = m_history.entries();
    m_entries = std::move(listing.entries);
    showProblem(listing.failure);

    const QSignalBlocker blocker(HistoryList);
    HistoryList->clear();
    QList<QTreeWidgetItem *> items;
    items.reserve(m_entries.size() + 1);
    if (m_differs()) {
        auto *item = new QTreeWidgetItem(QStringList{tr("Unsaved changes"), QString(), QString()});
        item->setData(0, Qt::UserRole, kUnsavedRow);
        QFont font = item->font(0);
        font.setItalic(true);
        item->setFont(0, font);
        items << item;
    }
    const QLocale userLocale;
    QTreeWidgetItem *current = nullptr;
    for (int i = 0; i < m_entries.size(); ++i) {
        const HistoryEntry &entry = m_entries[i];
        auto *item = new QTreeWidgetItem(QStringList{
            userLocale.toString(entry.time.toLocalTime(), QLocale::ShortFormat), entry.author, entry.message});
        item->setData(0, Qt::UserRole, i);
        item->setToolTip(2, entry.message);
        if (entry.id == selectedId)
            current = item;
        items << item;
    }
    HistoryList->addTopLevelItems(items);
    if (!current && !items.isEmpty() && (unsavedSelected || selectedId.isEmpty()))
        current = items.first();
    HistoryList->setCurrentItem(current);
    showSelected();
}

int HistoryWindow::selectedEntry() const
{
    const QTreeWidgetItem *item = HistoryList->currentItem();
    return item ? item->data(0, Qt::UserRole).toInt() : kUnsavedRow;
}

ConfigHistory::Files HistoryWindow::filesOf(int entry)
{
    if (entry < 0 || entry >= m_entries.size())
        return {};
    const QString &id = m_entries[entry].id;
    if (id == m_cachedId)
        return m_cached;
    ConfigHistory::Files files = m_history.files(id);
    if (files.failure.isEmpty()) {
        m_cachedId = id;
        m_cached = files;
    }
    return files;
}

void HistoryWindow::showSelected()
{
    HistoryRestore->setEnabled(false);
    if (!HistoryList->currentItem()) {
        m_diff->setNote(m_entries.isEmpty() ? tr("No save has been recorded yet.") : QString());
        return;
    }
    const int entry = selectedEntry();
    HistoryCompare->setEnabled(entry != kUnsavedRow);
    ConfigHistory::Files before, after;
    if (entry == kUnsavedRow) {
        before = filesOf(0);
        after.files = m_current();
    } else if (HistoryCompare->currentIndex() == WithWindow) {
        before = filesOf(entry);
        after.files = m_current();
    } else {
        // The previous entry first: the selected one stays the one cached,
        // for Restore and the other choice.
        before = filesOf(entry + 1);
        after = filesOf(entry);
    }
    const QString failure = !before.failure.isEmpty() ? before.failure : after.failure;
    if (!failure.isEmpty()) {
        m_diff->setNote(tr("This save cannot be read: %1").arg(failure));
        return;
    }
    m_diff->setDiff(diffSnapshots(before.files, after.files));
    HistoryRestore->setEnabled(entry != kUnsavedRow);
}

void HistoryWindow::restoreSelected()
{
    const int entry = selectedEntry();
    if (entry == kUnsavedRow)
        return;
    const ConfigHistory::Files files = filesOf(entry);
    if (!files.failure.isEmpty()) {
        showProblem(tr("This save cannot be read: %1").arg(files.failure));
        return;
    }
    Q_EMIT restoreRequested(files.files, m_entries[entry]);
}

void HistoryWindow::showProblem(const QString &problem)
{
    HistoryProblem->setText(problem);
    HistoryProblem->setVisible(!problem.isEmpty());
}

void HistoryWindow::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange && m_diff)
        m_diff->setPalette(palette());
    QWidget::changeEvent(event);
}

} // namespace vellamor
