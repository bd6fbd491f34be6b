#include "RulesPage.h"

#include "PageParts.h"
#include "VellamorDesktopMain.h"
#include "common/Error.h"
#include "common/Paths.h"
#include "config/AtomicFile.h"
#include "dialogs/ExportDialog.h"
#include "dialogs/ImportDialog.h"
#include "dialogs/Rule.h"
#include "dialogs/RuleTextEditor.h"
#include "models/RuleFilterModel.h"
#include "rules/RuleAnalysis.h"
#include "rules/RuleLine.h"
#include "rules/RuleListModel.h"
#include "rules/RuleSetFile.h"
#include "widgets/PanelStyle.h"
#include "widgets/RuleListView.h"
#include "widgets/SvgIconEngine.h"

#include <QAbstractProxyModel>
#include <QAction>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QToolButton>
#include <QVBoxLayout>

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

void RuleEditor::load()
{
    // A rule set that cannot be read leaves the page as it is, without a box;
    // the status bar says so and the next Save asks before it replaces the
    // file. A FIFO, a device or a runaway file raises instead, so the
    // administrator learns why the page is empty.
    using Shown = LoadedFiles::Shown;
    m_loaded.set(LoadedFiles::File::Rules, Shown::LoadFailed);
    std::optional<QByteArray> bytes = readRuleSetFile(rulesPath(*m_window.platform().fileSystem));
    if (!bytes) {
        m_loaded.set(LoadedFiles::File::Rules,
                     m_loaded.onDisk(LoadedFiles::File::Rules) ? Shown::Unreadable : Shown::InFull);
        return;
    }

    RuleSetContent content = parseRuleSet(std::move(*bytes));
    m_loaded.set(LoadedFiles::File::Rules, content.loneCarriageReturn ? Shown::LoneCarriageReturn : Shown::InFull);
    if (content.policy == Policy::Accept)
        m_window.PolicyAccept_radio->setChecked(true);
    else if (content.policy == Policy::Reject)
        m_window.PolicyReject_radio->setChecked(true);
    m_rules->appendLines(std::move(content.rules));
}

QString RuleEditor::reload(const std::optional<QByteArray> &content)
{
    std::optional<QByteArray> bytes = content;
    if (!bytes) {
        try {
            bytes = readRuleSetFile(rulesPath(*m_window.platform().fileSystem));
        } catch (const Error &e) {
            return e.message();
        }
        if (!bytes)
            return TForm3::tr("it cannot be read");
    }
    RuleSetContent parsed = parseRuleSet(std::move(*bytes));
    m_loaded.set(LoadedFiles::File::Rules,
                 parsed.loneCarriageReturn ? LoadedFiles::Shown::LoneCarriageReturn : LoadedFiles::Shown::InFull);
    if (parsed.policy == Policy::Accept)
        m_window.PolicyAccept_radio->setChecked(true);
    else if (parsed.policy == Policy::Reject)
        m_window.PolicyReject_radio->setChecked(true);
    m_rules->clear();
    m_rules->appendLines(std::move(parsed.rules));
    return {};
}

QByteArray RuleEditor::document() const
{
    const Policy policy = m_window.PolicyAccept_radio->isChecked() ? Policy::Accept : Policy::Reject;
    return composeRuleSet(policy, m_rules->lines());
}

void RuleEditor::save()
{
    const Policy policy = m_window.PolicyAccept_radio->isChecked() ? Policy::Accept : Policy::Reject;
    // The server loads this file on the reload that follows a Save, so a file
    // that was not written raises and stops the Save rather than pass for
    // success. A new rules.txt is readable as the system's default allows.
    writeFileAtomically(rulesPath(*m_window.platform().fileSystem), composeRuleSet(policy, m_rules->lines()),
                        NewFileAccess::Default);
    m_loaded.set(LoadedFiles::File::Rules, LoadedFiles::Shown::InFull);
}

void RuleEditor::add()
{
    TForm33 dialog(*m_window.platform().dialogs, &m_window);
    const QString line = dialog.GetRule();
    if (line.isEmpty())
        return;
    // The same rule may be listed twice: the order of rules is what counts.
    m_rules->appendLine(RuleListModel::bytesOf(line));
    scrollToRule(m_rules->index(m_rules->rowCount() - 1));
}

void RuleEditor::importList()
{
    // The imported rules stand unsaved like any other edit: the list's own
    // signals mark the window modified and run the checks.
    const int before = m_rules->rowCount();
    ImportDialog dialog(*m_rules, *m_window.platform().dialogs, &m_window);
    if (!dialog.Import(m_window.platform().fileSystem->executableDir()))
        return;
    if (const std::optional<Policy> policy = dialog.chosenPolicy())
        (*policy == Policy::Accept ? m_window.PolicyAccept_radio : m_window.PolicyReject_radio)->setChecked(true);
    // The first rule added comes into sight, before the old rules or after.
    if (m_rules->rowCount() > before)
        scrollToRule(m_rules->index(dialog.Before_radio->isChecked() ? 0 : before));
}

void RuleEditor::exportList()
{
    const QModelIndex selected = selectedRule();
    const Policy policy = m_window.PolicyAccept_radio->isChecked() ? Policy::Accept : Policy::Reject;
    ExportDialog dialog(*m_rules, selected.isValid() ? QList<int>{selected.row()} : QList<int>{}, policy,
                        *m_window.platform().dialogs, m_window.platform().fileSystem->executableDir(), &m_window);
    dialog.exec();
}

void RuleEditor::clear()
{
    m_rules->clear();
}

void RuleEditor::deleteSelected()
{
    const QModelIndexList selected = m_window.RulesList->selectionModel()->selectedIndexes();
    if (selected.isEmpty())
        return;
    const QModelIndex rule = toRuleSet(selected.first());
    if (rule.isValid())
        m_rules->removeRows(rule.row(), 1);
}

QModelIndex RuleEditor::selectedRule() const
{
    const QModelIndexList selected = m_window.RulesList->selectionModel()->selectedIndexes();
    return selected.isEmpty() ? QModelIndex() : toRuleSet(selected.first());
}

void RuleEditor::editSelected()
{
    const QPersistentModelIndex rule = selectedRule();
    if (!rule.isValid())
        return;
    const QString text = RuleListModel::textOf(m_rules->line(rule.row()));

    // A rule the Add Rule dialog could have written opens there, filled in;
    // any other line in a plain editor, since the file takes any text.
    QString edited;
    if (const std::optional<RuleEntry> entry = ruleEntryFromLine(text)) {
        TForm33 dialog(*m_window.platform().dialogs, &m_window);
        dialog.ShowRule(*entry);
        edited = dialog.GetRule();
        if (edited.isEmpty())
            return;
    } else {
        TRuleTextEditor editor(*m_window.platform().dialogs, &m_window);
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

void RuleEditor::scrollToRule(const QPersistentModelIndex &rule)
{
    // A rule the find text would hide is shown all the same: the find is
    // cleared rather than leave the user wondering where the rule went.
    if (!inView(m_window.RulesList->model(), rule).isValid())
        m_window.RulesFilter_txt->clear();
    const QModelIndex shown = inView(m_window.RulesList->model(), rule);
    if (shown.isValid())
        m_window.RulesList->scrollTo(shown);
}

void RuleEditor::moveSelected(int by)
{
    const QModelIndex current = m_window.RulesList->selectionModel()->selectedIndexes().value(0);
    // Before the row above, or before the one after the row below.
    if (current.isValid())
        moveShown(current.row(), by < 0 ? current.row() - 1 : current.row() + 2);
}

void RuleEditor::moveShown(int row, int before)
{
    const QPersistentModelIndex rule = toRuleSet(m_shown->index(row, 0));
    if (!m_shown->moveRule(row, before))
        return;
    // The moved rule stays selected and in sight.
    const QModelIndex shown = inView(m_window.RulesList->model(), rule);
    m_window.RulesList->setCurrentIndex(shown);
    m_window.RulesList->scrollTo(shown);
}

void RuleEditor::findTextChanged()
{
    // The rule the user selected stays selected while it shows, and is
    // selected again when it shows again; while it is hidden nothing is
    // selected, so that Delete never hits a rule the user did not choose.
    m_filtering = true;
    m_shown->setFindText(m_window.RulesFilter_txt->text());
    m_filtering = false;
    const QModelIndex shown = m_keptRule.isValid() ? inView(m_window.RulesList->model(), m_keptRule) : QModelIndex();
    if (shown.isValid()) {
        m_window.RulesList->setCurrentIndex(shown);
        m_window.RulesList->scrollTo(shown, QAbstractItemView::PositionAtCenter);
    } else {
        m_window.RulesList->clearSelection();
    }
    updateActions();
}

void RuleEditor::selectionChanged()
{
    if (m_filtering)
        return;
    const QModelIndex selected = selectedRule();
    if (selected.isValid() || !m_shown->isFiltering())
        m_keptRule = selected;
    updateActions();
}

void RuleEditor::updateActions()
{
    const QModelIndex current = m_window.RulesList->selectionModel()->selectedIndexes().value(0);
    const int shown = m_window.RulesList->model()->rowCount();
    m_window.EditRule1->setEnabled(current.isValid());
    m_window.MoveRuleUp1->setEnabled(current.isValid() && current.row() > 0);
    m_window.MoveRuleDown1->setEnabled(current.isValid() && current.row() < shown - 1);
    showFindResult();
}

void RuleEditor::showFindResult()
{
    m_window.RulesFound_lbl->setVisible(m_shown->isFiltering());
    if (!m_shown->isFiltering())
        return;
    const QLocale locale;
    const QString find = m_window.RulesFilter_txt->text().trimmed();
    const int shown = m_window.RulesList->model()->rowCount();
    const QString of = TForm3::tr("%1 of %2").arg(locale.toString(shown), locale.toString(m_rules->rowCount()));
    if (!parseAddress(find))
        m_window.RulesFound_lbl->setText(TForm3::tr("Rules holding \u201C%1\u201D: %2").arg(find, of));
    else if (shown > 0)
        m_window.RulesFound_lbl->setText(TForm3::tr("Rules covering %1: %2").arg(find, of));
    else
        m_window.RulesFound_lbl->setText(TForm3::tr("No rule covers %1: the default policy decides.").arg(find));
}

void RuleEditor::showChecks()
{
    const RuleSetAnalysis &checks = m_shown->analysis();
    const int count = checks.needingAttention;
    m_window.RulesAttention_lbl->setText(count == 1 ? TForm3::tr("1 rule needs attention")
                                                    : TForm3::tr("%1 rules need attention").arg(count));
    m_window.RulesAttention_lbl->setVisible(count > 0);
    // The sign is drawn the first time it is needed, at the screen's scale.
    if (count > 0 && m_window.RulesAttentionIcon_lbl->pixmap().isNull())
        m_window.RulesAttentionIcon_lbl->setPixmap(
            SvgIconEngine::icon(QStringLiteral(":/icons/warning.svg"))
                .pixmap(QSize(16, 16), m_window.RulesAttentionIcon_lbl->devicePixelRatioF()));
    m_window.RulesAttentionIcon_lbl->setVisible(count > 0);
    m_window.PolicyNote_lbl->setVisible(m_window.PolicyReject_radio->isChecked() && !checks.anyAccepting);
}

void RuleEditor::makeModels()
{
    m_rules = new RuleListModel(&m_window);
    m_shown = new RuleFilterModel(m_rules, &m_window);
}

void RuleEditor::connectPage()
{
    TForm3 &w = m_window;
    auto *find =
        new QShortcut(QKeySequence::Find, w.TabSheet2ConfigSecurity, nullptr, nullptr, Qt::WidgetWithChildrenShortcut);
    QObject::connect(find, &QShortcut::activated, &w, [&w] {
        w.RulesFilter_txt->setFocus(Qt::ShortcutFocusReason);
        w.RulesFilter_txt->selectAll();
    });
    // What can be done with the selected rule, and the checks of the rules.
    QObject::connect(w.RulesList->selectionModel(), &QItemSelectionModel::selectionChanged, &w,
                     [this] { selectionChanged(); });
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        QObject::connect(m_shown, signal, &w, [this] { updateActions(); });
    QObject::connect(m_shown, &QAbstractItemModel::layoutChanged, &w, [this] { updateActions(); });
    QObject::connect(m_shown, &QAbstractItemModel::modelReset, &w, [this] { updateActions(); });
    QObject::connect(m_shown, &RuleFilterModel::analysed, &w, [this] { showChecks(); });
    QObject::connect(w.PolicyReject_radio, &QRadioButton::toggled, &w, [this] { showChecks(); });
    updateActions();
    showChecks();
}

void TForm3::LoadRules()
{
    m_rules.load();
}

void TForm3::SaveRules()
{
    m_rules.save();
}

void TForm3::Button2Click()
{
    m_rules.add();
}

void TForm3::ImportRules1Click()
{
    m_rules.importList();
}

void TForm3::ExportRules1Click()
{
    m_rules.exportList();
}

void TForm3::Button3Click()
{
    m_rules.clear();
}

void TForm3::Delete1Click()
{
    m_rules.deleteSelected();
}

void TForm3::EditRule1Click()
{
    m_rules.editSelected();
}

void TForm3::MoveRuleUp1Click()
{
    m_rules.moveSelected(-1);
}

void TForm3::MoveRuleDown1Click()
{
    m_rules.moveSelected(+1);
}

void TForm3::RulesFilter_txtChange()
{
    m_rules.findTextChanged();
}

using namespace pageparts;

QWidget *TForm3::buildSecurityPage()
{
    QVBoxLayout *body = nullptr;
    TabSheet2ConfigSecurity = configPage("TabSheet2ConfigSecurity", 3, &body);
    auto *page = TabSheet2ConfigSecurity;

    auto *top = new QHBoxLayout;
    GroupBox10 = named(new QGroupBox(tr("Default Connection Policy"), page), "GroupBox10");
    auto *policyColumn = new QVBoxLayout(GroupBox10);
    auto *policy = new QHBoxLayout;
    PolicyReject_radio = named(new QRadioButton(tr("Reject All"), GroupBox10), "PolicyReject_radio");
    PolicyAccept_radio = named(new QRadioButton(tr("Accept All"), GroupBox10), "PolicyAccept_radio");
    PolicyReject_radio->setChecked(true);
    policy->addWidget(PolicyReject_radio);
    policy->addWidget(PolicyAccept_radio);
    policy->addStretch(1);
    policyColumn->addLayout(policy);
    PolicyNote_lbl =
        named(new QLabel(tr("No ACCEPT rule: with Reject All the server will refuse every client."), GroupBox10),
              "PolicyNote_lbl");
    PolicyNote_lbl->setWordWrap(true);
    PolicyNote_lbl->hide();
    policyColumn->addWidget(PolicyNote_lbl);
    top->addWidget(GroupBox10, 1);

    auto *actions = new QVBoxLayout;
    Button2 = named(new QPushButton(icon("add"), tr("Add Rule"), page), "Button2");
    ImportRules_btn = named(new QPushButton(icon("import"), tr("Import..."), page), "ImportRules_btn");
    ImportRules_btn->setToolTip(tr("Add the rules of an address list: CIDR, P2P, DAT or rules.txt"));
    ExportRules_btn = named(new QPushButton(icon("export"), tr("Export..."), page), "ExportRules_btn");
    ExportRules_btn->setToolTip(tr("Write the rules, all or the selected one, as an address list"));
    Button3 = named(new QPushButton(icon("clear"), tr("Clear"), page), "Button3");
    actions->addWidget(Button2);
    actions->addWidget(ImportRules_btn);
    actions->addWidget(ExportRules_btn);
    actions->addWidget(Button3);
    actions->addStretch(1);
    top->addLayout(actions);
    body->addLayout(top);

    GroupBox12 = named(new QGroupBox(tr("Rules (RuleSet file content)"), page), "GroupBox12");
    auto *rules = new QVBoxLayout(GroupBox12);
    rules->setSpacing(4);
    RulesFilter_txt = named(new QLineEdit(GroupBox12), "RulesFilter_txt");
    RulesFilter_txt->setPlaceholderText(tr("Find rules: an address, or any text"));
    RulesFilter_txt->setToolTip(tr("An address shows the rules that cover it; other text, the rules holding it."));
    RulesFilter_txt->setAccessibleName(tr("Find rules"));
    RulesFilter_txt->setClearButtonEnabled(true);
    // The magnifier says what the field is for; pressed, it puts the cursor there.
    QAction *find = RulesFilter_txt->addAction(icon("find"), QLineEdit::LeadingPosition);
    find->setText(tr("Find rules"));
    connect(find, &QAction::triggered, RulesFilter_txt, [this] { RulesFilter_txt->setFocus(Qt::OtherFocusReason); });
    rules->addWidget(RulesFilter_txt);

    auto *listRow = new QHBoxLayout;
    listRow->setSpacing(4);
    m_rules.makeModels();
    RulesList = named(new RuleListView(GroupBox12), "RulesList");
    RulesList->setModel(&m_rules.shownRules());
    // Block lists run to a million lines: with one height for every row the
    // view places rows by arithmetic instead of measuring each one.
    RulesList->setUniformItemSizes(true);
    // Scrolling by rows works out the page step from every row's position
    // on each change; by pixels it is a multiplication.
    RulesList->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    RulesList->setIconSize(QSize(16, 16)); // the warning sign
    RulesList->setSelectionMode(QAbstractItemView::SingleSelection);
    RulesList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    RulesList->setContextMenuPolicy(Qt::CustomContextMenu);
    RulesList->addActions({EditRule1, MoveRuleUp1, MoveRuleDown1});
    QFont mono = RulesList->font();
    mono.setFamilies({QStringLiteral("DejaVu Sans Mono"), QStringLiteral("Consolas"), QStringLiteral("monospace")});
    mono.setStyleHint(QFont::Monospace);
    RulesList->setFont(mono);
    PanelStyle::paintScrollBarsAlone(RulesList);
    listRow->addWidget(RulesList, 1);

    auto *moves = new QVBoxLayout;
    MoveRuleUp_btn = named(new QToolButton(GroupBox12), "MoveRuleUp_btn");
    MoveRuleDown_btn = named(new QToolButton(GroupBox12), "MoveRuleDown_btn");
    MoveRuleUp_btn->setDefaultAction(MoveRuleUp1);
    MoveRuleDown_btn->setDefaultAction(MoveRuleDown1);
    for (QToolButton *button : {MoveRuleUp_btn, MoveRuleDown_btn}) {
        button->setToolButtonStyle(Qt::ToolButtonIconOnly);
        button->setAccessibleName(button->defaultAction()->text());
        moves->addWidget(button);
    }
    MoveRuleUp_btn->setToolTip(tr("Move the selected rule up (Ctrl+Up)"));
    MoveRuleDown_btn->setToolTip(tr("Move the selected rule down (Ctrl+Down)"));
    moves->addStretch(1);
    listRow->addLayout(moves);
    rules->addLayout(listRow, 1);

    auto *attention = new QHBoxLayout;
    attention->setSpacing(4);
    RulesAttentionIcon_lbl = named(new QLabel(GroupBox12), "RulesAttentionIcon_lbl");
    RulesAttentionIcon_lbl->setAccessibleName(tr("Warning"));
    RulesAttention_lbl = named(new QLabel(GroupBox12), "RulesAttention_lbl");
    RulesAttention_lbl->setToolTip(tr("Point at a rule with the warning sign to read why."));
    RulesAttentionIcon_lbl->hide();
    RulesAttention_lbl->hide();
    RulesFound_lbl = named(new QLabel(GroupBox12), "RulesFound_lbl");
    RulesFound_lbl->setTextFormat(Qt::PlainText);
    RulesFound_lbl->hide();
    attention->addWidget(RulesAttentionIcon_lbl);
    attention->addWidget(RulesAttention_lbl);
    attention->addStretch(1);
    attention->addWidget(RulesFound_lbl);
    rules->addLayout(attention);
    body->addWidget(GroupBox12, 1);
    return page;
}

} // namespace vellamor
