#include "RuleListModel.h"

#include <algorithm>

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
    return parent.isValid() ? 0 : int(m_lines.size());
}

QVariant RuleListModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const QByteArray &line = m_lines.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return textOf(line);
    case LineBytesRole:
        return line;
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
    if (parent.isValid() || row < 0 || row > m_lines.size() || count <= 0)
        return false;
    beginInsertRows({}, row, row + count - 1);
    m_lines.insert(row, count, QByteArray());
    endInsertRows();
    return true;
}

bool RuleListModel::removeRows(int row, int count, const QModelIndex &parent)
{
    if (parent.isValid() || row < 0 || count <= 0 || row + count > m_lines.size())
        return false;
    beginRemoveRows({}, row, row + count - 1);
    m_lines.remove(row, count);
    endRemoveRows();
    return true;
}

bool RuleListModel::moveRows(const QModelIndex &sourceParent, int sourceRow, int count,
                             const QModelIndex &destinationParent, int destinationChild)
{
    if (sourceParent.isValid() || destinationParent.isValid() || count <= 0 || sourceRow < 0 ||
        sourceRow + count > m_lines.size() || destinationChild < 0 || destinationChild > m_lines.size())
        return false;
    // beginMoveRows refuses a move into the block itself and a move to where
    // the block already is.
    if (!beginMoveRows({}, sourceRow, sourceRow + count - 1, {}, destinationChild))
        return false;
    if (destinationChild > sourceRow) {
        // The block lands after rows that close up behind it.
        std::rotate(m_lines.begin() + sourceRow, m_lines.begin() + sourceRow + count,
                    m_lines.begin() + destinationChild);
    } else {
        std::rotate(m_lines.begin() + destinationChild, m_lines.begin() + sourceRow,
                    m_lines.begin() + sourceRow + count);
    }
    endMoveRows();
    return true;
}

void RuleListModel::insertLines(int row, const QList<QByteArray> &lines)
{
    if (lines.isEmpty())
        return;
    row = qBound(0, row, int(m_lines.size()));
    beginInsertRows({}, row, row + int(lines.size()) - 1);
    if (m_lines.isEmpty())
        m_lines = lines; // shares the loaded list instead of copying it
    else
        std::copy(lines.begin(), lines.end(), m_lines.insert(row, lines.size(), QByteArray()));
    endInsertRows();
}

void RuleListModel::replaceLine(int row, const QByteArray &line)
{
    if (!validRow(row))
        return;
    m_lines[row] = line;
    const QModelIndex changed = index(row);
    Q_EMIT dataChanged(changed, changed, {Qt::DisplayRole, Qt::EditRole, LineBytesRole});
}

void RuleListModel::clear()
{
    if (m_lines.isEmpty())
        return;
    beginResetModel();
    m_lines.clear();
    endResetModel();
}

QString RuleListModel::textOf(const QByteArray &line)
{
    return QString::fromLocal8Bit(line);
}

QByteArray RuleListModel::bytesOf(const QString &text)
{
    return text.toLocal8Bit();
}

} // namespace vellamor
