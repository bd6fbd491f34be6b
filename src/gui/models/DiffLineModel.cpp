#include "DiffLineModel.h"

#include "colours/PanelColours.h"

#include <QFontDatabase>

namespace vellamor {

namespace {

// Wide enough for the line numbers of the largest rule set accepted.
constexpr int kNumberWidth = 7;

QString number(qsizetype n)
{
    return n > 0 ? QString::number(n) : QString();
}

} // namespace

DiffLineModel::DiffLineModel(QObject *parent) : QAbstractListModel(parent) {}

void DiffLineModel::setDiff(QList<FileDiff> diff)
{
    beginResetModel();
    m_diff = std::move(diff);
    m_rows.clear();
    m_note.clear();
    for (qint32 f = 0; f < m_diff.size(); ++f) {
        const QList<DiffHunk> &hunks = m_diff[f].hunks;
        if (hunks.isEmpty())
            continue;
        m_rows.append({f, -1, -1});
        for (qint32 h = 0; h < hunks.size(); ++h) {
            m_rows.append({f, h, -1});
            for (qint32 l = 0; l < hunks[h].lines.size(); ++l)
                m_rows.append({f, h, l});
        }
    }
    if (m_rows.isEmpty())
        m_note = tr("The two versions are the same.");
    endResetModel();
}

void DiffLineModel::setNote(const QString &note)
{
    beginResetModel();
    m_diff.clear();
    m_rows.clear();
    m_note = note;
    endResetModel();
}

void DiffLineModel::setPalette(const QPalette &palette)
{
    m_palette = palette;
    if (rowCount() > 0)
        Q_EMIT dataChanged(index(0), index(rowCount() - 1), {Qt::ForegroundRole});
}

DiffLineModel::RowKind DiffLineModel::kindOf(int row) const
{
    if (!m_note.isEmpty() || row < 0 || row >= m_rows.size())
        return RowKind::Note;
    const Row &r = m_rows[row];
    if (r.hunk < 0)
        return RowKind::File;
    if (r.line < 0)
        return RowKind::Hunk;
    switch (m_diff[r.file].hunks[r.hunk].lines[r.line].kind) {
    case DiffLine::Kind::Removed:
        return RowKind::Removed;
    case DiffLine::Kind::Added:
        return RowKind::Added;
    case DiffLine::Kind::Context:
        break;
    }
    return RowKind::Context;
}

QColor DiffLineModel::colour(RowKind kind, const QPalette &palette)
{
    // The hues a diff is known by, each taken only as far from the base as
    // legibility needs, so they stay recognisable in a dark palette too.
    const QColor base = palette.color(QPalette::Base);
    switch (kind) {
    case RowKind::Removed:
        return readableOn(QColor(176, 0, 32), base);
    case RowKind::Added:
        return readableOn(QColor(0, 120, 40), base);
    case RowKind::Hunk:
        return readableOn(QColor(0, 80, 170), base);
    case RowKind::Note:
    case RowKind::File:
    case RowKind::Context:
        break;
    }
    return readableOn(palette.color(QPalette::Text), base);
}

int DiffLineModel::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid())
        return 0;
    return m_note.isEmpty() ? int(m_rows.size()) : 1;
}

QString DiffLineModel::textOf(const Row &row) const
{
    const FileDiff &file = m_diff[row.file];
    if (row.hunk < 0)
        return file.fileName;
    const DiffHunk &hunk = file.hunks[row.hunk];
    if (row.line < 0)
        return QStringLiteral("@@ -%1,%2 +%3,%4 @@")
            .arg(hunk.oldStart)
            .arg(hunk.oldCount)
            .arg(hunk.newStart)
            .arg(hunk.newCount);
    const DiffLine &line = hunk.lines[row.line];
    const QChar sign = line.kind == DiffLine::Kind::Removed ? u'-' : line.kind == DiffLine::Kind::Added ? u'+' : u' ';
    return QStringLiteral("%1 %2 %3 %4")
        .arg(number(line.oldLine), kNumberWidth)
        .arg(number(line.newLine), kNumberWidth)
        .arg(sign)
        .arg(QString::fromUtf8(line.text));
}

QString DiffLineModel::spokenTextOf(const Row &row) const
{
    if (row.hunk < 0 || row.line < 0)
        return textOf(row);
    const DiffLine &line = m_diff[row.file].hunks[row.hunk].lines[row.line];
    const QString text = QString::fromUtf8(line.text);
    switch (line.kind) {
    case DiffLine::Kind::Removed:
        return tr("Removed, line %1: %2").arg(line.oldLine).arg(text);
    case DiffLine::Kind::Added:
        return tr("Added, line %1: %2").arg(line.newLine).arg(text);
    case DiffLine::Kind::Context:
        break;
    }
    return tr("Line %1: %2").arg(line.newLine).arg(text);
}

QVariant DiffLineModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    if (!m_note.isEmpty())
        return role == Qt::DisplayRole || role == Qt::AccessibleTextRole ? QVariant(m_note) : QVariant();
    const Row &row = m_rows[index.row()];
    switch (role) {
    case Qt::DisplayRole:
        return textOf(row);
    case Qt::AccessibleTextRole:
        return spokenTextOf(row);
    case Qt::ForegroundRole:
        return colour(kindOf(index.row()), m_palette);
    case Qt::FontRole:
        if (row.hunk < 0) {
            QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
            font.setBold(true);
            return font;
        }
        return {};
    default:
        return {};
    }
}

} // namespace vellamor
