#pragma once

#include <QListView>
#include <optional>

class QMimeData;

namespace vellamor {

// The list of rules. A row dragged within the list drops between two rows;
// the list then asks for the move (rowDropped) instead of moving anything
// itself, so the move goes the same way as the Move Up and Move Down
// buttons. A drag from anywhere else is not taken.
class RuleListView : public QListView
{
    Q_OBJECT

public:
    explicit RuleListView(QWidget *parent = nullptr);

    // The drag data of a row: its number, and a mark of this list so that a
    // drop from another list or another program is refused.
    QMimeData *dragData(int row) const;
    static QString rowMimeType();

Q_SIGNALS:
    // The row shown at `row` was dropped right before the row shown at
    // `before` (rowCount(): after the last row).
    void rowDropped(int row, int before);

protected:
    void startDrag(Qt::DropActions supportedActions) override;
    void dropEvent(QDropEvent *event) override;

private:
    std::optional<int> draggedRow(const QMimeData *mime) const;
    QByteArray m_mark;
};

} // namespace vellamor
