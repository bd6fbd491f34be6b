#include "SvgIconEngine.h"

#include "artwork/SvgFrame.h"

#include <QApplication>
#include <QFile>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>
#if VELLAMOR_HAVE_QTSVG
#include <QSvgRenderer>
#endif

namespace vellamor {

SvgIconEngine::SvgIconEngine(QString resource) : m_resource(std::move(resource)) {}

QIcon SvgIconEngine::icon(const QString &resource)
{
    return QIcon(new SvgIconEngine(resource));
}

void SvgIconEngine::paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state)
{
    const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    QPixmap drawn = pixmap(rect.size() * ratio, mode, state);
    drawn.setDevicePixelRatio(ratio);
    painter->drawPixmap(rect.topLeft(), drawn);
}

QPixmap SvgIconEngine::pixmap(const QSize &size, QIcon::Mode mode, QIcon::State)
{
    if (size.isEmpty())
        return {};
    const quint64 key = (quint64(size.width()) << 40) | (quint64(size.height()) << 8) | quint64(mode);
    if (const auto found = m_pixmaps.constFind(key); found != m_pixmaps.constEnd())
        return *found;

    QPixmap drawn = mode == QIcon::Normal ? render(size) : pixmap(size, QIcon::Normal, QIcon::Off);
    if (mode != QIcon::Normal && !drawn.isNull()) {
        // Disabled, active and selected looks come from the style, as for
        // any other icon.
        QStyleOption option;
        option.palette = QGuiApplication::palette();
        if (const QStyle *style = QApplication::style())
            drawn = style->generatedIconPixmap(mode, drawn, &option);
    }
    m_pixmaps.insert(key, drawn);
    return drawn;
}

QSize SvgIconEngine::actualSize(const QSize &size, QIcon::Mode, QIcon::State)
{
    return size;
}

QList<QSize> SvgIconEngine::availableSizes(QIcon::Mode, QIcon::State)
{
#if VELLAMOR_HAVE_QTSVG
    return {QSize(16, 16), QSize(24, 24), QSize(32, 32), QSize(48, 48), QSize(64, 64)};
#else
    QList<QSize> sizes;
    for (const int pixels : kIconFramePixels)
        sizes.append(QSize(pixels, pixels));
    return sizes;
#endif
}

QIconEngine *SvgIconEngine::clone() const
{
    return new SvgIconEngine(*this);
}

QString SvgIconEngine::key() const
{
    return QStringLiteral("VellamorSvgIconEngine");
}

bool SvgIconEngine::isNull()
{
#if VELLAMOR_HAVE_QTSVG
    return !QFile::exists(m_resource);
#else
    const QString name = m_resource.section(QLatin1Char('/'), -1).section(QLatin1Char('.'), 0, 0);
    return !QFile::exists(QStringLiteral(":/frames/icons/%1-16.frame").arg(name));
#endif
}

QPixmap SvgIconEngine::render(const QSize &size) const
{
#if !VELLAMOR_HAVE_QTSVG
    const QString name = m_resource.section(QLatin1Char('/'), -1).section(QLatin1Char('.'), 0, 0);
    if (std::optional<QImage> drawn = readNearestIconFrame(name, size))
        return QPixmap::fromImage(std::move(*drawn));
    return {};
#else
    // The icons of the window's first picture were drawn when the panel was
    // built (see SvgFrame.h).
    if (size.width() == size.height()) {
        const QString name = m_resource.section(QLatin1Char('/'), -1).section(QLatin1Char('.'), 0, 0);
        if (std::optional<QImage> drawn =
                readFrame(QStringLiteral(":/frames/icons/%1-%2.frame").arg(name).arg(size.width()), size, 1, false))
            return QPixmap::fromImage(std::move(*drawn));
    }
    QSvgRenderer renderer(m_resource);
    if (!renderer.isValid())
        return {};
    QPixmap drawn(size);
    drawn.fill(Qt::transparent);
    QPainter painter(&drawn);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.setAspectRatioMode(Qt::KeepAspectRatio);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    return drawn;
#endif
}

} // namespace vellamor
