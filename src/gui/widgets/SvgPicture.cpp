#include "SvgPicture.h"

#include "AccessibleInterfaces.h"
#include "artwork/SvgFrame.h"

#include <QPainter>
#if VELLAMOR_HAVE_QTSVG
#include <QSvgRenderer>
#endif

#include <utility>

namespace vellamor {

SvgPicture::SvgPicture(QString resource, QSize size, QWidget *parent)
    : QWidget(parent), m_resource(std::move(resource)), m_size(size)
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
#if !VELLAMOR_HAVE_QTSVG
    const QString name = m_resource.section(QLatin1Char('/'), -1).section(QLatin1Char('.'), 0, 0);
    if (std::optional<QImage> drawn = readNearestFrame(name, size, ratio, m_stretch))
        return QPixmap::fromImage(std::move(*drawn));
    return {};
#else
    // A frame drawn when the panel was built, when there is one for this size
    // and screen; otherwise the artwork itself.
    if (!m_renderer) {
        const QString name = m_resource.section(QLatin1Char('/'), -1).section(QLatin1Char('.'), 0, 0);
        if (std::optional<QImage> drawn =
                readFrame(QStringLiteral(":/frames/%1x/%2.frame").arg(ratio).arg(name), size, ratio, m_stretch))
            return QPixmap::fromImage(std::move(*drawn));
    }
    std::unique_ptr<QSvgRenderer> parsed =
        m_renderer ? std::move(m_renderer) : std::make_unique<QSvgRenderer>(m_resource);
    const QImage drawn = drawSvg(*parsed, size, ratio, m_stretch);
    // A stretched picture renders again at each new width.
    if (m_stretch)
        m_renderer = std::move(parsed);
    return QPixmap::fromImage(drawn);
#endif
}

} // namespace vellamor
