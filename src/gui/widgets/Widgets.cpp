#include "Widgets.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>

namespace vellamor {

SvgPicture::SvgPicture(const QString &resource, QSize size, QWidget *parent)
    : QWidget(parent), m_resource(resource), m_size(size), m_renderer(resource)
{
    setFixedSize(size);
    setAttribute(Qt::WA_TranslucentBackground);
}

void SvgPicture::setStretchHorizontally(bool stretch)
{
    m_stretch = stretch;
    if (stretch) {
        setMinimumSize(0, m_size.height());
        setMaximumSize(QWIDGETSIZE_MAX, m_size.height());
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    } else {
        setFixedSize(m_size);
    }
    update();
}

void SvgPicture::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (!m_renderer.isValid())
        return;
    if (m_stretch) {
        // Keep the artwork's proportions: crop the wide banner on the right
        // rather than squash it.
        const QSizeF art = m_renderer.defaultSize();
        const qreal scale = height() / art.height();
        const qreal width = qMax<qreal>(art.width() * scale, this->width());
        m_renderer.setAspectRatioMode(Qt::KeepAspectRatioByExpanding);
        m_renderer.render(&painter, QRectF(0, 0, width, height()));
    } else {
        m_renderer.setAspectRatioMode(Qt::KeepAspectRatio);
        m_renderer.render(&painter, rect());
    }
}

LinkLabel::LinkLabel(const QString &caption, QWidget *parent) : QLabel(caption, parent)
{
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setTextFormat(Qt::PlainText);
    QFont f = font();
    f.setUnderline(true);
    setFont(f);
    updateLook();
}

void LinkLabel::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && isEnabled() && rect().contains(event->position().toPoint()))
        Q_EMIT clicked();
    QLabel::mouseReleaseEvent(event);
}

void LinkLabel::keyPressEvent(QKeyEvent *event)
{
    if (isEnabled() &&
        (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        Q_EMIT clicked();
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

void LinkLabel::updateLook()
{
    QPalette p = palette();
    p.setColor(QPalette::Active, QPalette::WindowText, QColor(0, 0, 128));
    p.setColor(QPalette::Inactive, QPalette::WindowText, QColor(0, 0, 128));
    p.setColor(QPalette::Disabled, QPalette::WindowText, QColor(150, 150, 150));
    setPalette(p);
    setCursor(isEnabled() ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

HeaderBand::HeaderBand(const QString &title, const QString &subtitle, QWidget *parent)
    : QWidget(parent), m_title(new QLabel(title, this)), m_subtitle(new QLabel(subtitle, this))
{
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, bandColour());
    p.setColor(QPalette::WindowText, Qt::white);
    setPalette(p);
    for (QLabel *label : {m_title, m_subtitle}) {
        label->setPalette(p);
        label->setForegroundRole(QPalette::WindowText);
    }

    QFont titleFont = m_title->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() + 1);
    m_title->setFont(titleFont);
    m_title->setTextFormat(Qt::PlainText);
    m_subtitle->setTextFormat(Qt::PlainText);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 6, 10, 7);
    layout->setSpacing(1);
    layout->addWidget(m_title);
    layout->addWidget(m_subtitle);
}

} // namespace vellamor
