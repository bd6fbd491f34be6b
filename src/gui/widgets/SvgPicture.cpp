#include "SvgPicture.h"

#include "Accessibility.h"

#include <QPainter>

namespace vellamor {

SvgPicture::SvgPicture(const QString &resource, QSize size, QWidget *parent)
    : QWidget(parent), m_resource(resource), m_size(size), m_renderer(resource)
{
    installAccessibleInterfaces();
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

} // namespace vellamor
