#include "LinkLabel.h"

#include "Accessibility.h"
#include "Colours.h"

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
    setFocusPolicy(Qt::TabFocus);
    setTextFormat(Qt::PlainText);
    QFont f = font();
    f.setUnderline(true);
    setFont(f);
    // Room for the focus frame around the caption.
    setContentsMargins(2, 1, 2, 1);
    updateLook();
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

void LinkLabel::paintEvent(QPaintEvent *event)
{
    QLabel::paintEvent(event);
    if (!hasFocus())
        return;
    // A label draws no focus of its own; a keyboard user must see where Enter goes.
    QPainter painter(this);
    QStyleOptionFocusRect option;
    option.initFrom(this);
    const QRect text = fontMetrics().boundingRect(contentsRect(), int(alignment()), this->text());
    option.rect = text.adjusted(-2, -1, 2, 1).intersected(rect());
    option.backgroundColor = palette().color(backgroundRole());
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
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
