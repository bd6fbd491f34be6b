#include "RuleListModel.h"

#include "common/Error.h"

#include <algorithm>
#include <limits>
#include <vector>

namespace vellamor {

RuleListModel::RuleListModel(QObject *parent) : QAbstractListModel(parent) {}

QModelIndex RuleListModel::index(int row, int column, const QModelIndex &parent) const
{
    if (column != 0 || parent.isValid() || !validRow(row))
        return {};
    return createIndex(row, 0);
}

int RuleListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_spans.size());
}

QVariant RuleListModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const QByteArrayView line = lines().at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return textOf(line);
    case LineBytesRole:
        return line.toByteArray();
    default:
        return {};
    }
}

bool RuleListModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return false;
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        replaceLine(index.row(), bytesOf(value.toString()));
        return true;
    case LineBytesRole:
        replaceLine(index.row(), value.toByteArray());
        return true;
    default:
        return false;
    }
}

Qt::ItemFlags RuleListModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
}

QHash<int, QByteArray> RuleListModel::roleNames() const
{
    QHash<int, QByteArray> names = QAbstractListModel::roleNames();
    names.insert(LineBytesRole, QByteArrayLiteral("lineBytes"));
    return names;
}

bool RuleListModel::insertRows(int row, int count, const QModelIndex &parent)
{
    if (parent.isValid() || row < 0 || row > m_spans.size() || count <= 0)
        return false;
    beginInsertRows({}, row, row + count - 1);
    m_spans.insert(row, count, LineSpan{quint32(m_bytes.size()), 0});
    endInsertRows();
    return true;
}

bool RuleListModel::removeRows(int row, int count, const QModelIndex &parent)
{
    if (parent.isValid() || row < 0 || count <= 0 || row + count > m_spans.size())
        return false;
    beginRemoveRows({}, row, row + count - 1);
    m_spans.remove(row, count);
    endRemoveRows();
    return true;
}

bool RuleListModel::moveRows(const QModelIndex &sourceParent, int sourceRow, int count,
                             const QModelIndex &destinationParent, int destinationChild)
{
    if (sourceParent.isValid() || destinationParent.isValid() || count <= 0 || sourceRow < 0 ||
        sourceRow + count > m_spans.size() || destinationChild < 0 || destinationChild > m_spans.size())
        return false;
    // beginMoveRows refuses a move into the block itself and a move to where
    // the block already is.
    if (!beginMoveRows({}, sourceRow, sourceRow + count - 1, {}, destinationChild))
        return false;
    if (destinationChild > sourceRow) {
        // The block lands after rows that close up behind it.
        std::rotate(m_spans.begin() + sourceRow, m_spans.begin() + sourceRow + count,
                    m_spans.begin() + destinationChild);
    } else {
        std::rotate(m_spans.begin() + destinationChild, m_spans.begin() + sourceRow,
                    m_spans.begin() + sourceRow + count);
    }
    endMoveRows();
    return true;
}

void RuleListModel::insertLines(int row, const QByteArrayList &lines)
{
    if (lines.isEmpty())
        return;
    row = qBound(0, row, int(m_spans.size()));
    // Stored before the view hears of them: a failure leaves the list as it was.
    QList<LineSpan> spans;
    spans.reserve(lines.size());
    for (const QByteArray &line : lines)
        spans.append(store(line));
    beginInsertRows({}, row, row + int(lines.size()) - 1);
    std::copy(spans.cbegin(), spans.cend(), m_spans.insert(row, spans.size(), LineSpan()));
    endInsertRows();
}

void RuleListModel::appendLines(RuleLineStore lines)
{
    if (lines.spans.isEmpty())
        return;
    const int first = int(m_spans.size());
    if (m_spans.isEmpty() && m_marked.isEmpty()) {
        // A file into an empty list: its bytes become the list's.
        beginInsertRows({}, first, first + int(lines.spans.size()) - 1);
        m_bytes = std::move(lines.bytes);
        m_spans = std::move(lines.spans);
        m_compactAt = qMax(qsizetype(16) << 20, 2 * m_bytes.size());
        endInsertRows();
        return;
    }
    if (quint64(m_bytes.size()) + quint64(lines.bytes.size()) > std::numeric_limits<quint32>::max())
        compact();
    const auto base = quint64(m_bytes.size());
    if (base + quint64(lines.bytes.size()) > std::numeric_limits<quint32>::max())
        throw Error(QStringLiteral("The rule list cannot hold more than 4 GiB of rules"));
    for (LineSpan &span : lines.spans)
        span.offset += quint32(base);
    beginInsertRows({}, first, first + int(lines.spans.size()) - 1);
    m_bytes += lines.bytes;
    m_spans += lines.spans;
    endInsertRows();
}

void RuleListModel::replaceLine(int row, const QByteArray &line)
{
    if (!validRow(row))
        return;
    m_spans[row] = store(line);
    const QModelIndex changed = index(row);
    Q_EMIT dataChanged(changed, changed, {Qt::DisplayRole, Qt::EditRole, LineBytesRole});
}

void RuleListModel::clear()
{
    if (m_spans.isEmpty())
        return;
    beginResetModel();
    m_spans.clear();
    if (m_marked.isEmpty())
        m_bytes.clear();
    endResetModel();
}

void RuleListModel::markSaved()
{
    m_marked = m_spans;
}

bool RuleListModel::sameAsMarked() const
{
    if (m_spans.size() != m_marked.size())
        return false;
    // Unchanged since the mark: the same list, shared.
    if (m_spans.constData() == m_marked.constData())
        return true;
    // Lines moved or edited and put back compare by their bytes; most rows
    // still lie where they did.
    const char *bytes = m_bytes.constData();
    for (qsizetype row = 0; row < m_spans.size(); ++row) {
        const LineSpan now = m_spans.at(row);
        const LineSpan then = m_marked.at(row);
        if (now != then &&
            QByteArrayView(bytes + now.offset, now.length) != QByteArrayView(bytes + then.offset, then.length))
            return false;
    }
    return true;
}

LineSpan RuleListModel::store(QByteArrayView line)
{
    if (m_bytes.size() + line.size() > m_compactAt)
        compact();
    if (quint64(m_bytes.size()) + quint64(line.size()) > std::numeric_limits<quint32>::max())
        throw Error(QStringLiteral("The rule list cannot hold more than 4 GiB of rules"));
    const LineSpan span{quint32(m_bytes.size()), quint32(line.size())};
    m_bytes.append(line);
    return span;
}

void RuleListModel::compact()
{
    // Every span still listed or marked, once: a line both listed and marked
    // keeps one copy of its bytes.
    std::vector<LineSpan> used(m_spans.cbegin(), m_spans.cend());
    const bool markShared = m_marked.constData() == m_spans.constData();
    if (!markShared)
        used.insert(used.end(), m_marked.cbegin(), m_marked.cend());
    const auto byPlace = [](LineSpan a, LineSpan b) {
        return a.offset != b.offset ? a.offset < b.offset : a.length < b.length;
    };
    std::sort(used.begin(), used.end(), byPlace);
    used.erase(std::unique(used.begin(), used.end()), used.end());

    QByteArray bytes;
    qsizetype size = 0;
    for (const LineSpan span : used)
        size += span.length;
    bytes.reserve(size);
    std::vector<quint32> moved(used.size());
    for (size_t i = 0; i < used.size(); ++i) {
        moved[i] = quint32(bytes.size());
        bytes.append(m_bytes.constData() + used[i].offset, used[i].length);
    }
    const auto remap = [&](QList<LineSpan> &spans) {
        for (LineSpan &span : spans)
            span.offset = moved[size_t(std::lower_bound(used.begin(), used.end(), span, byPlace) - used.begin())];
    };
    remap(m_spans);
    if (markShared)
        m_marked = m_spans;
    else
        remap(m_marked);
    m_bytes = std::move(bytes);
    m_compactAt = qMax(qsizetype(16) << 20, 2 * m_bytes.size());
}

QString RuleListModel::textOf(QByteArrayView line)
{
    return QString::fromLocal8Bit(line);
}

QByteArray RuleListModel::bytesOf(const QString &text)
{
    return text.toLocal8Bit();
}

} // namespace vellamor
