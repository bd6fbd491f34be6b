#include "SvgPicture.h"

#include "Accessibility.h"

#include <QPainter>
#include <QSvgRenderer>

namespace vellamor {

SvgPicture::SvgPicture(const QString &resource, QSize size, QWidget *parent)
    : QWidget(parent), m_resource(resource), m_size(size)
{
    installAccessibleInterfaces();
    setFixedSize(size);
    setAttribute(Qt::WA_TranslucentBackground);
}

SvgPicture::~SvgPicture() = default;

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
    m_rendered = QPixmap();
    update();
}

void SvgPicture::paintEvent(QPaintEvent *)
{
    const qreal ratio = devicePixelRatioF();
    if (m_rendered.isNull() || m_rendered.deviceIndependentSize() != QSizeF(size()) ||
        m_rendered.devicePixelRatio() != ratio)
        m_rendered = render(size(), ratio);
    if (m_rendered.isNull())
        return;
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_rendered);
}

QPixmap SvgPicture::render(QSize size, qreal ratio)
{
    std::unique_ptr<QSvgRenderer> parsed =
        m_renderer ? std::move(m_renderer) : std::make_unique<QSvgRenderer>(m_resource);
    if (!parsed->isValid() || size.isEmpty())
        return {};
    QPixmap drawn(size * ratio);
    drawn.setDevicePixelRatio(ratio);
    drawn.fill(Qt::transparent);
    QPainter painter(&drawn);
    painter.setRenderHint(QPainter::Antialiasing);
    if (m_stretch) {
        // Keep the artwork's proportions: crop the wide banner on the right
        // rather than squash it.
        const QSizeF art = parsed->defaultSize();
        const qreal scale = size.height() / art.height();
        const qreal width = qMax<qreal>(art.width() * scale, size.width());
        parsed->setAspectRatioMode(Qt::KeepAspectRatioByExpanding);
        parsed->render(&painter, QRectF(0, 0, width, size.height()));
        m_renderer = std::move(parsed);
    } else {
        parsed->setAspectRatioMode(Qt::KeepAspectRatio);
        parsed->render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    }
    return drawn;
}

} // namespace vellamor
