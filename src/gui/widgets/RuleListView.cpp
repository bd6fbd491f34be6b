#include "RuleListView.h"

#include <QCoreApplication>
#include <QDrag>
#include <QDropEvent>
#include <QMimeData>
#include <QPainter>
#include <QPixmap>

namespace vellamor {

RuleListView::RuleListView(QWidget *parent) : QListView(parent)
{
    m_mark = QByteArray::number(QCoreApplication::applicationPid()) + '/' + QByteArray::number(quintptr(this), 16);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(true);
    // Not InternalMove: that takes only drags whose source the window system
    // names, and the mark in the drag data already tells this list's own
    // drags from others'.
    setDragDropMode(QAbstractItemView::DragDrop);
    setDefaultDropAction(Qt::MoveAction);
}

QString RuleListView::rowMimeType()
{
    return QStringLiteral("application/x-vellamor-rule-row");
}

QMimeData *RuleListView::dragData(int row) const
{
    auto *mime = new QMimeData;
    mime->setData(rowMimeType(), m_mark + ' ' + QByteArray::number(row));
    return mime;
}

std::optional<int> RuleListView::draggedRow(const QMimeData *mime) const
{
    if (!mime || !mime->hasFormat(rowMimeType()))
        return std::nullopt;
    const QByteArray payload = mime->data(rowMimeType());
    const qsizetype space = payload.lastIndexOf(' ');
    if (space < 0 || payload.first(space) != m_mark)
        return std::nullopt;
    bool ok = false;
    const int row = payload.sliced(space + 1).toInt(&ok);
    if (!ok || row < 0 || !model() || row >= model()->rowCount(rootIndex()))
        return std::nullopt;
    return row;
}

void RuleListView::startDrag(Qt::DropActions)
{
    // The drop moves the rule; when the drag ends, nothing is left to remove
    // (the base class would remove the dragged row after a move).
    const QModelIndex current = currentIndex();
    if (!current.isValid() || !selectionModel()->isSelected(current))
        return;
    auto *drag = new QDrag(this);
    drag->setMimeData(dragData(current.row()));
    // The rule's text under the pointer, drawn on an opaque ground: a grab of
    // the list would come out black where the desktop has no compositor.
    const QString text = current.data().toString();
    const QFontMetrics metrics(font());
    QPixmap picture(QSize(metrics.horizontalAdvance(text) + 12, metrics.height() + 6) * devicePixelRatioF());
    picture.setDevicePixelRatio(devicePixelRatioF());
    picture.fill(palette().color(QPalette::Highlight));
    QPainter painter(&picture);
    painter.setFont(font());
    painter.setPen(palette().color(QPalette::HighlightedText));
    painter.drawText(QRect(6, 3, metrics.horizontalAdvance(text) + 6, metrics.height()), Qt::AlignLeft, text);
    painter.end();
    drag->setPixmap(picture);
    drag->setHotSpot(QPoint(-12, -8));
    drag->exec(Qt::MoveAction, Qt::MoveAction);
}

void RuleListView::dropEvent(QDropEvent *event)
{
    const std::optional<int> row = draggedRow(event->mimeData());
    setState(NoState);
    viewport()->update();
    if (!row) {
        event->ignore();
        return;
    }
    // Between two rows: before the row under the pointer when the pointer is
    // in its upper half, else after it; below the last row, at the end.
    const QPoint position = event->position().toPoint();
    const QModelIndex target = indexAt(position);
    int before = model()->rowCount(rootIndex());
    if (target.isValid())
        before = position.y() < visualRect(target).center().y() ? target.row() : target.row() + 1;
    event->setDropAction(Qt::MoveAction);
    event->accept();
    Q_EMIT rowDropped(*row, before);
}

} // namespace vellamor
