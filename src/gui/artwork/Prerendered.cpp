#include "Prerendered.h"

#include <QFile>
#include <QImageReader>
#include <QPainter>
#if VELLAMOR_HAVE_QTSVG
#include <QSvgRenderer>
#endif
#include <cmath>

namespace vellamor {

namespace {

// The whole artwork's width in logical pixels, from a stretched drawing's
// width in device pixels: drawn at a ratio of 1 or more, the rounding of the
// drawing never moves it by a whole pixel.
int logicalWidth(int pixels, qreal ratio)
{
    return qRound(pixels / ratio);
}

} // namespace

#if VELLAMOR_HAVE_QTSVG
QImage drawSvg(QSvgRenderer &art, QSize size, qreal ratio, bool stretch)
{
    if (!art.isValid() || size.isEmpty())
        return {};
    QImage drawn(size * ratio, QImage::Format_ARGB32_Premultiplied);
    drawn.setDevicePixelRatio(ratio);
    drawn.fill(Qt::transparent);
    QPainter painter(&drawn);
    painter.setRenderHint(QPainter::Antialiasing);
    if (stretch) {
        // Keep the artwork's proportions: crop the wide banner on the right
        // rather than squash it.
        const QSizeF whole = art.defaultSize();
        const qreal scale = size.height() / whole.height();
        const qreal width = qMax<qreal>(whole.width() * scale, size.width());
        art.setAspectRatioMode(Qt::KeepAspectRatioByExpanding);
        art.render(&painter, QRectF(0, 0, width, size.height()));
    } else {
        art.setAspectRatioMode(Qt::KeepAspectRatio);
        art.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    }
    return drawn;
}

QSize stretchedArtSize(QSvgRenderer &art, int height)
{
    const QSizeF whole = art.defaultSize();
    if (whole.isEmpty())
        return {};
    return QSize(int(std::floor(whole.width() * height / whole.height())), height);
}
#endif

QString prerenderedPictureName(const QString &name, qreal ratio)
{
    if (ratio == 1)
        return name + QLatin1String(".png");
    return QStringLiteral("%1@%2x.png").arg(name).arg(ratio);
}

QString prerenderedIconName(const QString &name, int pixels)
{
    return QStringLiteral("%1-%2.png").arg(name).arg(pixels);
}

QString prerenderedPicture(const QString &name, qreal ratio)
{
    return QLatin1String(":/prerendered/") + prerenderedPictureName(name, ratio);
}

QString prerenderedIcon(const QString &name, int pixels)
{
    return QLatin1String(":/prerendered/icons/") + prerenderedIconName(name, pixels);
}

std::optional<QImage> readPrerendered(const QString &file, QSize size, qreal ratio, bool stretch)
{
    // The header alone says whether this is the drawing wanted.
    QImageReader reader(file);
    const QSize stored = reader.size();
    if (!stored.isValid())
        return std::nullopt;
    const QSize wanted = size * ratio;
    if (stretch ? (wanted.height() != stored.height() || size.width() > logicalWidth(stored.width(), ratio) ||
                   wanted.width() > stored.width())
                : wanted != stored)
        return std::nullopt;
    QImage drawn;
    if (!reader.read(&drawn) || drawn.size() != stored)
        return std::nullopt;
    if (wanted != stored)
        drawn = drawn.copy(QRect(QPoint(0, 0), wanted));
    drawn.convertTo(QImage::Format_ARGB32_Premultiplied);
    drawn.setDevicePixelRatio(ratio);
    return drawn;
}

std::optional<QImage> readNearestPrerendered(const QString &name, QSize size, qreal ratio, bool stretch)
{
    if (std::optional<QImage> exact = readPrerendered(prerenderedPicture(name, ratio), size, ratio, stretch))
        return exact;
    qreal from = kPrerenderedRatios[std::size(kPrerenderedRatios) - 1];
    for (const qreal at : kPrerenderedRatios) {
        if (at >= ratio) {
            from = at;
            break;
        }
    }
    const QString file = prerenderedPicture(name, from);
    const QSize stored = QImageReader(file).size();
    if (!stored.isValid())
        return std::nullopt;
    QSize shown = size;
    // A stretched picture wider than its whole artwork shows the artwork
    // and leaves the rest clear.
    if (stretch)
        shown.setWidth(qMin(size.width(), logicalWidth(stored.width(), from)));
    std::optional<QImage> drawn = readPrerendered(file, shown, from, stretch);
    if (!drawn)
        return std::nullopt;
    QImage scaled = drawn->scaled(shown * ratio, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    scaled.setDevicePixelRatio(ratio);
    return scaled;
}

std::optional<QImage> readNearestPrerenderedIcon(const QString &name, QSize size)
{
    const int wanted = qMax(size.width(), size.height());
    // The smallest drawing at least as big, else the biggest.
    int best = 0;
    for (const int pixels : kPrerenderedIconPixels) {
        if (!QFile::exists(prerenderedIcon(name, pixels)))
            continue;
        best = pixels;
        if (pixels >= wanted)
            break;
    }
    if (best == 0)
        return std::nullopt;
    std::optional<QImage> drawn = readPrerendered(prerenderedIcon(name, best), QSize(best, best), 1, false);
    if (!drawn || best == wanted)
        return drawn;
    return drawn->scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

} // namespace vellamor
