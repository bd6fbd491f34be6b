#include "VellamorDesktopMain.h"

#include "common/Paths.h"
#include "config/AtomicFile.h"
#include "dialogs/Rule.h"
#include "rules/RuleListModel.h"
#include "rules/RuleSetFile.h"

#include <QAbstractProxyModel>
#include <QItemSelectionModel>
#include <QListView>
#include <QRadioButton>

namespace vellamor {

namespace {

QString rulesPath(const platform::FileSystem &fileSystem)
{
    return besideExecutable(fileSystem.executableDir(), QStringLiteral("rules.txt"));
}

// The list may show the rules through proxies (a filter, say); rows of the
// rule set itself are what the page's operations work on.
QModelIndex toRuleSet(QModelIndex index)
{
    while (const auto *proxy = qobject_cast<const QAbstractProxyModel *>(index.model()))
        index = proxy->mapToSource(index);
    return index;
}

QModelIndex inView(const QAbstractItemModel *viewModel, const QModelIndex &ruleSetIndex)
{
    if (const auto *proxy = qobject_cast<const QAbstractProxyModel *>(viewModel))
        return proxy->mapFromSource(inView(proxy->sourceModel(), ruleSetIndex));
    return ruleSetIndex;
}

} // namespace

void TForm3::LoadRules()
{
    // A rule set that cannot be read leaves the page as it is, without a word:
    // the next Save writes a fresh file. A FIFO, a device or a runaway file
    // raises instead, so the administrator learns why the page is empty.
    const std::optional<QByteArray> bytes = readRuleSetFile(rulesPath(*m_platform.fileSystem));
    if (!bytes)
        return;

    const RuleSetContent content = parseRuleSet(*bytes);
    if (content.policy == Policy::Accept)
        PolicyAccept_radio->setChecked(true);
    else if (content.policy == Policy::Reject)
        PolicyReject_radio->setChecked(true);
    m_rules->appendLines(content.rules);
}

const QList<QByteArray> &TForm3::ruleLines() const
{
    return m_rules->lines();
}

void TForm3::SaveRules()
{
    const Policy policy = PolicyAccept_radio->isChecked() ? Policy::Accept : Policy::Reject;
    // The server loads this file on the reload that follows a Save, so a file
    // that was not written raises and stops the Save rather than pass for
    // success. A new rules.txt is readable as the system's default allows.
    writeFileAtomically(rulesPath(*m_platform.fileSystem), composeRuleSet(policy, m_rules->lines()),
                        NewFileAccess::Default);
}

void TForm3::Button2Click()
{
    TForm33 dialog(*m_platform.dialogs, this);
    const QString line = dialog.GetRule();
    if (line.isEmpty())
        return;
    // The same rule may be listed twice: the order of rules is what counts.
    m_rules->appendLine(RuleListModel::bytesOf(line));
    const QModelIndex added = inView(RulesList->model(), m_rules->index(m_rules->rowCount() - 1));
    if (added.isValid())
        RulesList->scrollTo(added);
}

void TForm3::Button3Click()
{
    m_rules->clear();
}

void TForm3::Delete1Click()
{
    const QModelIndexList selected = RulesList->selectionModel()->selectedIndexes();
    if (selected.isEmpty())
        return;
    const QModelIndex rule = toRuleSet(selected.first());
    if (rule.isValid())
        m_rules->removeRows(rule.row(), 1);
}

} // namespace vellamor
