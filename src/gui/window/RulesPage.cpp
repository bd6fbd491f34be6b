#include "VellamorDesktopMain.h"

#include "common/Paths.h"
#include "config/AtomicFile.h"
#include "dialogs/Rule.h"
#include "dialogs/RuleTextEditor.h"
#include "models/RuleFilterModel.h"
#include "rules/RuleAnalysis.h"
#include "rules/RuleLine.h"
#include "rules/RuleListModel.h"
#include "rules/RuleSetFile.h"
#include "widgets/RuleListView.h"
#include "widgets/SvgIconEngine.h"

#include <QAbstractProxyModel>
#include <QAction>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
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
    // A rule set that cannot be read leaves the page as it is, without a box;
    // the status bar says so and the next Save asks before it replaces the
    // file. A FIFO, a device or a runaway file raises instead, so the
    // administrator learns why the page is empty.
    using Shown = LoadedFiles::Shown;
    m_loaded.set(LoadedFiles::File::Rules, Shown::LoadFailed);
    std::optional<QByteArray> bytes = readRuleSetFile(rulesPath(*m_platform.fileSystem));
    if (!bytes) {
        m_loaded.set(LoadedFiles::File::Rules,
                     fileOnDisk(LoadedFiles::File::Rules) ? Shown::Unreadable : Shown::InFull);
        return;
    }

    RuleSetContent content = parseRuleSet(std::move(*bytes));
    m_loaded.set(LoadedFiles::File::Rules, content.loneCarriageReturn ? Shown::LoneCarriageReturn : Shown::InFull);
    if (content.policy == Policy::Accept)
        PolicyAccept_radio->setChecked(true);
    else if (content.policy == Policy::Reject)
        PolicyReject_radio->setChecked(true);
    m_rules->appendLines(std::move(content.rules));
}

void TForm3::SaveRules()
{
    const Policy policy = PolicyAccept_radio->isChecked() ? Policy::Accept : Policy::Reject;
    // The server loads this file on the reload that follows a Save, so a file
    // that was not written raises and stops the Save rather than pass for
    // success. A new rules.txt is readable as the system's default allows.
    writeFileAtomically(rulesPath(*m_platform.fileSystem), composeRuleSet(policy, m_rules->lines()),
                        NewFileAccess::Default);
    m_loaded.set(LoadedFiles::File::Rules, LoadedFiles::Shown::InFull);
}

void TForm3::Button2Click()
{
    TForm33 dialog(*m_platform.dialogs, this);
    const QString line = dialog.GetRule();
    if (line.isEmpty())
        return;
    // The same rule may be listed twice: the order of rules is what counts.
    m_rules->appendLine(RuleListModel::bytesOf(line));
    scrollToRule(m_rules->index(m_rules->rowCount() - 1));
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

QModelIndex TForm3::selectedRule() const
{
    const QModelIndexList selected = RulesList->selectionModel()->selectedIndexes();
    return selected.isEmpty() ? QModelIndex() : toRuleSet(selected.first());
}

void TForm3::EditRule1Click()
{
    const QPersistentModelIndex rule = selectedRule();
    if (!rule.isValid())
        return;
    const QString text = RuleListModel::textOf(m_rules->line(rule.row()));

    // A rule the Add Rule dialog could have written opens there, filled in;
    // any other line in a plain editor, since the file takes any text.
    QString edited;
    if (const std::optional<RuleEntry> entry = ruleEntryFromLine(text)) {
        TForm33 dialog(*m_platform.dialogs, this);
        dialog.ShowRule(*entry);
        edited = dialog.GetRule();
        if (edited.isEmpty())
            return;
    } else {
        TRuleTextEditor editor(*m_platform.dialogs, this);
        const std::optional<QString> line = editor.EditLine(text);
        if (!line)
            return;
        edited = *line;
    }
    // An unchanged text keeps the file's own bytes.
    if (!rule.isValid() || edited == text)
        return;
    m_rules->replaceLine(rule.row(), RuleListModel::bytesOf(edited));
    scrollToRule(rule);
}

void TForm3::scrollToRule(const QPersistentModelIndex &rule)
{
    // A rule the find text would hide is shown all the same: the find is
    // cleared rather than leave the user wondering where the rule went.
    if (!inView(RulesList->model(), rule).isValid())
        RulesFilter_txt->clear();
    const QModelIndex shown = inView(RulesList->model(), rule);
    if (shown.isValid())
        RulesList->scrollTo(shown);
}

void TForm3::MoveRuleUp1Click()
{
    const QModelIndex current = RulesList->selectionModel()->selectedIndexes().value(0);
    if (current.isValid())
        moveShownRule(current.row(), current.row() - 1);
}

void TForm3::MoveRuleDown1Click()
{
    const QModelIndex current = RulesList->selectionModel()->selectedIndexes().value(0);
    if (current.isValid())
        moveShownRule(current.row(), current.row() + 2);
}

void TForm3::moveShownRule(int row, int before)
{
    const QPersistentModelIndex rule = toRuleSet(m_shownRules->index(row, 0));
    if (!m_shownRules->moveRule(row, before))
        return;
    // The moved rule stays selected and in sight.
    const QModelIndex shown = inView(RulesList->model(), rule);
    RulesList->setCurrentIndex(shown);
    RulesList->scrollTo(shown);
}

void TForm3::RulesFilter_txtChange()
{
    // The rule the user selected stays selected while it shows, and is
    // selected again when it shows again; while it is hidden nothing is
    // selected, so that Delete never hits a rule the user did not choose.
    m_filtering = true;
    m_shownRules->setFindText(RulesFilter_txt->text());
    m_filtering = false;
    const QModelIndex shown = m_keptRule.isValid() ? inView(RulesList->model(), m_keptRule) : QModelIndex();
    if (shown.isValid()) {
        RulesList->setCurrentIndex(shown);
        RulesList->scrollTo(shown, QAbstractItemView::PositionAtCenter);
    } else {
        RulesList->clearSelection();
    }
    updateRuleActions();
}

void TForm3::ruleSelectionChanged()
{
    if (m_filtering)
        return;
    const QModelIndex selected = selectedRule();
    if (selected.isValid() || !m_shownRules->isFiltering())
        m_keptRule = selected;
    updateRuleActions();
}

void TForm3::updateRuleActions()
{
    const QModelIndex current = RulesList->selectionModel()->selectedIndexes().value(0);
    const int shown = RulesList->model()->rowCount();
    EditRule1->setEnabled(current.isValid());
    MoveRuleUp1->setEnabled(current.isValid() && current.row() > 0);
    MoveRuleDown1->setEnabled(current.isValid() && current.row() < shown - 1);
    showFindResult();
}

void TForm3::showFindResult()
{
    RulesFound_lbl->setVisible(m_shownRules->isFiltering());
    if (!m_shownRules->isFiltering())
        return;
    const QLocale locale;
    const QString find = RulesFilter_txt->text().trimmed();
    const int shown = RulesList->model()->rowCount();
    const QString of = tr("%1 of %2").arg(locale.toString(shown), locale.toString(m_rules->rowCount()));
    if (!parseAddress(find))
        RulesFound_lbl->setText(tr("Rules holding \u201C%1\u201D: %2").arg(find, of));
    else if (shown > 0)
        RulesFound_lbl->setText(tr("Rules covering %1: %2").arg(find, of));
    else
        RulesFound_lbl->setText(tr("No rule covers %1: the default policy decides.").arg(find));
}

void TForm3::showRuleChecks()
{
    const RuleSetAnalysis &checks = m_shownRules->analysis();
    const int count = checks.needingAttention;
    RulesAttention_lbl->setText(count == 1 ? tr("1 rule needs attention") : tr("%1 rules need attention").arg(count));
    RulesAttention_lbl->setVisible(count > 0);
    // The sign is drawn the first time it is needed, at the screen's scale.
    if (count > 0 && RulesAttentionIcon_lbl->pixmap().isNull())
        RulesAttentionIcon_lbl->setPixmap(SvgIconEngine::icon(QStringLiteral(":/icons/warning.svg"))
                                              .pixmap(QSize(16, 16), RulesAttentionIcon_lbl->devicePixelRatioF()));
    RulesAttentionIcon_lbl->setVisible(count > 0);
    PolicyNote_lbl->setVisible(PolicyReject_radio->isChecked() && !checks.anyAccepting);
}

} // namespace vellamor
