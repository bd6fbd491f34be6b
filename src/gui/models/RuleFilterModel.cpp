#include "RuleFilterModel.h"

#include "rules/RuleListModel.h"
#include "widgets/RuleListView.h"
#include "widgets/SvgIconEngine.h"

#include <QMimeData>
#include <QPixmap>
#include <QTimer>

namespace vellamor {

RuleFilterModel::RuleFilterModel(RuleListModel *rules, QObject *parent)
    : QSortFilterProxyModel(parent), m_rules(rules),
      m_warning(SvgIconEngine::icon(QStringLiteral(":/icons/warning.svg")))
{
    // Rows without a warning keep the sign's room, so the texts stand in
    // one column.
    QPixmap blank(16, 16);
    blank.fill(Qt::transparent);
    m_blank = QIcon(blank);

    setSourceModel(rules);
    m_checkTimer.setSingleShot(true);
    connect(&m_checkTimer, &QTimer::timeout, this, [this] { refresh(); });
    connect(rules, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex &, int first, int last) { followRows(first, last, true); });
    connect(rules, &QAbstractItemModel::rowsRemoved, this,
            [this](const QModelIndex &, int first, int last) { followRows(first, last, false); });
    connect(rules, &QAbstractItemModel::rowsMoved, this,
            [this](const QModelIndex &, int start, int end, const QModelIndex &, int destination) {
                followMove(start, end, destination);
            });
    connect(rules, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex &topLeft, const QModelIndex &bottomRight) {
                for (int row = topLeft.row(); row <= bottomRight.row() && size_t(row) < m_signs.size(); ++row)
                    m_signs[size_t(row)] = 0;
                ruleSetChanged();
            });
    const auto reset = [this] {
        m_signs.assign(size_t(m_rules->rowCount()), 0);
        ruleSetChanged();
    };
    connect(rules, &QAbstractItemModel::modelReset, this, reset);
    connect(rules, &QAbstractItemModel::layoutChanged, this, reset);
    reset();
}

void RuleFilterModel::setFindText(const QString &text)
{
    const QString trimmed = text.trimmed();
    m_address = parseAddress(trimmed);
    m_text = m_address ? QString() : trimmed;
    // Most searches are plain ASCII: those compare with the line's bytes as
    // they stand, which for an ASCII needle gives the same answer as the
    // decoded text and costs no conversion per line.
    m_asciiText = std::all_of(m_text.cbegin(), m_text.cend(), [](QChar c) { return c.unicode() < 0x80; });
    m_asciiBytes = m_asciiText ? m_text.toLatin1() : QByteArray();
    invalidateFilter();
}

bool RuleFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const
{
    if (sourceParent.isValid() || !isFiltering())
        return true;
    const QByteArrayView line = m_rules->lines().at(sourceRow);
    if (m_address) {
        const std::optional<AddressSpan> span = ruleSpan(parseRuleLine(line));
        return span && span->contains(*m_address);
    }
    if (m_asciiText)
        return QLatin1StringView(line.data(), line.size())
            .contains(QLatin1StringView(m_asciiBytes), Qt::CaseInsensitive);
    return RuleListModel::textOf(line).contains(m_text, Qt::CaseInsensitive);
}

const RuleSetAnalysis &RuleFilterModel::analysis() const
{
    if (m_stale) {
        m_analysis = analyseRules(m_rules->lines());
        m_stale = false;
    }
    return m_analysis;
}

void RuleFilterModel::followRows(int first, int last, bool inserted)
{
    const auto at = m_signs.begin() + qBound(0, first, int(m_signs.size()));
    const int count = last - first + 1;
    if (inserted)
        m_signs.insert(at, size_t(count), 0);
    else
        m_signs.erase(at, at + qMin(count, int(m_signs.end() - at)));
    ruleSetChanged();
}

void RuleFilterModel::followMove(int start, int end, int destination)
{
    // As the rule list moves its lines: the block [start, end] lands before
    // the row that stood at destination.
    if (end < int(m_signs.size()) && destination <= int(m_signs.size())) {
        const auto begin = m_signs.begin();
        if (destination > start)
            std::rotate(begin + start, begin + end + 1, begin + destination);
        else
            std::rotate(begin + destination, begin + start, begin + end + 1);
    }
    ruleSetChanged();
}

void RuleFilterModel::ruleSetChanged()
{
    m_stale = true;
    m_checkTimer.start(m_rules->rowCount() > kChecksAtOnce ? kChecksPause : std::chrono::milliseconds(0));
}

void RuleFilterModel::refresh()
{
    const RuleSetAnalysis &checks = analysis();
    m_signs.resize(checks.findings.size());
    for (size_t row = 0; row < checks.findings.size(); ++row)
        m_signs[row] = checks.findings[row].problems;
    m_anySign = checks.needingAttention > 0;
    // A change to one rule can change another's warning (the first of two
    // duplicates removed, say): every shown row may need repainting.
    if (rowCount() > 0)
        Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, 0), {Qt::DecorationRole, Qt::ToolTipRole});
    Q_EMIT analysed();
}

QVariant RuleFilterModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DecorationRole && role != Qt::ToolTipRole && role != Qt::AccessibleDescriptionRole)
        return QSortFilterProxyModel::data(index, role);
    if (!index.isValid())
        return {};
    const int row = mapToSource(index).row();
    if (role == Qt::DecorationRole) {
        if (!m_anySign || row < 0 || size_t(row) >= m_signs.size())
            return {};
        return m_signs[size_t(row)] ? m_warning : m_blank;
    }
    const RuleSetAnalysis &checks = analysis();
    if (row < 0 || size_t(row) >= checks.findings.size() || !checks.findings[size_t(row)].problems)
        return {};
    return describeFinding(m_rules->lines(), row, checks.findings[size_t(row)]).join(u'\n');
}

bool RuleFilterModel::moveRule(int row, int before)
{
    const int shown = rowCount();
    if (row < 0 || row >= shown || before < 0 || before > shown || before == row || before == row + 1)
        return false;
    const int from = mapToSource(index(row, 0)).row();
    const int to = before < shown ? mapToSource(index(before, 0)).row() : mapToSource(index(shown - 1, 0)).row() + 1;
    return m_rules->moveRows({}, from, 1, {}, to);
}

Qt::ItemFlags RuleFilterModel::flags(const QModelIndex &index) const
{
    // The list itself takes drops (between rows); a row takes none on top.
    if (!index.isValid())
        return Qt::ItemIsDropEnabled;
    return QSortFilterProxyModel::flags(index) | Qt::ItemIsDragEnabled;
}

QStringList RuleFilterModel::mimeTypes() const
{
    return {RuleListView::rowMimeType()};
}

bool RuleFilterModel::canDropMimeData(const QMimeData *data, Qt::DropAction action, int, int, const QModelIndex &) const
{
    return action == Qt::MoveAction && data && data->hasFormat(RuleListView::rowMimeType());
}

Qt::DropActions RuleFilterModel::supportedDropActions() const
{
    return Qt::MoveAction;
}

} // namespace vellamor
