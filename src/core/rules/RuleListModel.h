#pragma once

#include "RuleLines.h"

#include <QAbstractListModel>
#include <QByteArray>
#include <QList>

namespace vellamor {

// The rule lines of the Security page, one row per line, in file order.
//
// Each row holds the line's own bytes, exactly as rules.txt had them or as
// they will be written; the text shown is those bytes read in the system code
// page. Keeping the bytes rather than the text means a line the code page
// cannot show faithfully still goes back to the file unchanged. The lines of
// a loaded file stay in the file's own bytes, each row only a span into them,
// and new or edited lines are added to the end of that block: a file of any
// shape costs its size plus eight bytes a line, never an array per line.
//
// Every change goes through the model's own signals (inserts, removals,
// moves, data changes, resets), so views, proxies and selection models kept
// on top of it follow each edit without being rebuilt.
class RuleListModel : public QAbstractListModel
{
    Q_OBJECT

public:
    enum Role {
        // The line's bytes (QByteArray), as the file holds them.
        LineBytesRole = Qt::UserRole + 1,
    };

    explicit RuleListModel(QObject *parent = nullptr);

    // --- QAbstractItemModel -----------------------------------------------
    // The view asks for an index of every row each time it lays the list
    // out; this one answers without the generic checks' virtual calls.
    QModelIndex index(int row, int column = 0, const QModelIndex &parent = {}) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    // DisplayRole and EditRole: the line as text; LineBytesRole: its bytes.
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    // EditRole or DisplayRole: text, stored in the system code page;
    // LineBytesRole: bytes, stored as they are.
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QHash<int, QByteArray> roleNames() const override;
    // New rows are empty lines.
    bool insertRows(int row, int count, const QModelIndex &parent = {}) override;
    bool removeRows(int row, int count, const QModelIndex &parent = {}) override;
    // destinationChild is the row before which the block lands, counted in
    // the list as it stands before the move (Qt's convention).
    bool moveRows(const QModelIndex &sourceParent, int sourceRow, int count, const QModelIndex &destinationParent,
                  int destinationChild) override;

    // --- The rule set as lines ----------------------------------------------
    // Valid until the next change of the model.
    RuleLines lines() const { return {m_bytes, m_spans}; }
    QByteArray line(int row) const { return validRow(row) ? lines().at(row).toByteArray() : QByteArray(); }
    // Inserts the lines before `row` in one step: a million lines from the
    // file reach the view as one insertion, not a million.
    void insertLines(int row, const QByteArrayList &lines);
    void insertLine(int row, const QByteArray &line) { insertLines(row, {line}); }
    void appendLines(const QByteArrayList &lines) { insertLines(rowCount(), lines); }
    void appendLine(const QByteArray &line) { insertLines(rowCount(), {line}); }
    // Appends the lines of a file; into an empty list they come without a
    // copy, the file's bytes becoming the list's.
    void appendLines(RuleLineStore store);
    // Puts `line` in the place of the line at `row`.
    void replaceLine(int row, const QByteArray &line);
    void clear();

    // --- What was last saved or loaded ---------------------------------------
    // Remembers the lines as they stand; sameAsMarked() tells whether they
    // still hold the same bytes in the same order, however they got there.
    void markSaved();
    bool sameAsMarked() const;

    // The text shown for a line's bytes, and the bytes written for a text.
    static QString textOf(QByteArrayView line);
    static QByteArray bytesOf(const QString &text);

private:
    bool validRow(int row) const { return row >= 0 && row < m_spans.size(); }
    // Adds a line's bytes to the block and returns where they lie.
    LineSpan store(QByteArrayView line);
    // Rewrites the block with only the lines still listed or marked, once
    // edits have left it mostly unused.
    void compact();

    QByteArray m_bytes;
    QList<LineSpan> m_spans;
    QList<LineSpan> m_marked;
    qsizetype m_compactAt = qsizetype(16) << 20;
};

} // namespace vellamor
