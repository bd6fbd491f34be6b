#pragma once

#include "history/ConfigSnapshot.h"

#include <QAbstractListModel>
#include <QPalette>

namespace vellamor {

// The unified diff of both files, one row a line: each file's name, each
// hunk's "@@" line, and the lines with their numbers in the old and the new
// version. The rows are made as the view asks for them, so a diff of two
// unrelated 100,000-rule sets costs a small index, not 200,000 strings.
class DiffLineModel : public QAbstractListModel
{
    Q_OBJECT

public:
    enum class RowKind { Note, File, Hunk, Context, Removed, Added };

    explicit DiffLineModel(QObject *parent = nullptr);

    // Replaces the rows; an empty diff shows "The two versions are the same."
    void setDiff(QList<FileDiff> diff);
    // A single row saying why there is no diff.
    void setNote(const QString &note);
    void setPalette(const QPalette &palette);

    RowKind kindOf(int row) const;
    // The text colour of a kind of row, readable on the palette's base.
    static QColor colour(RowKind kind, const QPalette &palette);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    // hunk < 0: the file's name; line < 0: the hunk's header.
    struct Row
    {
        qint32 file = 0, hunk = -1, line = -1;
    };
    QString textOf(const Row &row) const;
    QString spokenTextOf(const Row &row) const;

    QList<FileDiff> m_diff;
    QList<Row> m_rows;
    QString m_note;
    QPalette m_palette;
};

} // namespace vellamor
