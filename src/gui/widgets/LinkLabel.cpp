#include "LinkLabel.h"

#include "AccessibleInterfaces.h"
#include "colours/Colours.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

namespace vellamor {

LinkLabel::LinkLabel(const QString &caption, QWidget *parent)
    : QLabel(caption, parent), m_enabled(kNavy), m_disabled(kDisabledLinkGrey)
{
    installAccessibleInterfaces();
    setCursor(Qt::PointingHandCursor);
    setTextFormat(Qt::PlainText);
    QFont f = font();
    f.setUnderline(true);
    setFont(f);
    // Room for the focus frame around the caption.
    setContentsMargins(2, 1, 2, 1);
    // Last: a label that takes the focus lays its text out as a rich text
    // document from its next change on. This one measures and draws its one
    // line itself (below), so it never needs that document.
    setFocusPolicy(Qt::TabFocus);
    updateLook();
}

QSize LinkLabel::sizeHint() const
{
    ensurePolished();
    // As a plain label measures its line: the caption's box, the margins.
    const int flags = int((alignment() & ~(Qt::AlignVCenter | Qt::AlignHCenter)).toInt());
    const QRect text = fontMetrics().boundingRect(0, 0, 2000, 2000, flags, this->text());
    const QMargins margins = contentsMargins();
    const int extra = 2 * margin();
    return QSize(text.width() + extra + margins.left() + margins.right(),
                 text.height() + extra + margins.top() + margins.bottom())
        .expandedTo(minimumSize());
}

QSize LinkLabel::minimumSizeHint() const
{
    return sizeHint();
}

void LinkLabel::activate()
{
    if (isEnabled())
        Q_EMIT clicked();
}

void LinkLabel::setLinkColours(const QColor &enabled, const QColor &disabled)
{
    m_enabled = enabled;
    m_disabled = disabled;
    updateLook();
}

void LinkLabel::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        activate();
    QLabel::mouseReleaseEvent(event);
}

void LinkLabel::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        activate();
        return;
    }
    QLabel::keyPressEvent(event);
}

void LinkLabel::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::EnabledChange)
        updateLook();
    QLabel::changeEvent(event);
}

void LinkLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QRect area = contentsRect().marginsRemoved(QMargins(margin(), margin(), margin(), margin()));
    const int flags = int(QStyle::visualAlignment(layoutDirection(), alignment())) |
                      (layoutDirection() == Qt::LeftToRight ? Qt::TextForceLeftToRight : Qt::TextForceRightToLeft);
    QStyleOption option;
    option.initFrom(this); // the palette of the link's state: a disabled link is grey
    style()->drawItemText(&painter, area, flags, option.palette, isEnabled(), text(), foregroundRole());
    if (!hasFocus())
        return;
    // A label draws no focus of its own; a keyboard user must see where Enter goes.
    QStyleOptionFocusRect focus;
    focus.initFrom(this);
    const QRect text = fontMetrics().boundingRect(contentsRect(), int(alignment()), this->text());
    focus.rect = text.adjusted(-2, -1, 2, 1).intersected(rect());
    focus.backgroundColor = palette().color(backgroundRole());
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
}

void LinkLabel::updateLook()
{
    QPalette p = palette();
    p.setColor(QPalette::Active, QPalette::WindowText, m_enabled);
    p.setColor(QPalette::Inactive, QPalette::WindowText, m_enabled);
    p.setColor(QPalette::Disabled, QPalette::WindowText, m_disabled);
    setPalette(p);
    setCursor(isEnabled() ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

} // namespace vellamor
