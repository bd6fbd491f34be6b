#include "SvgFrame.h"

#include <QFile>
#include <QPainter>
#if VELLAMOR_HAVE_QTSVG
#include <QSvgRenderer>
#endif
#include <cmath>
#include <cstring>

namespace vellamor {

namespace {

constexpr char kMagic[4] = {'V', 'F', 'R', '2'};
constexpr qsizetype kHeader = 20;
// Pixel columns per strip. A picture narrower than its frame reads only the
// strips it shows: the banner's frame is as wide as three windows.
constexpr int kStrip = 64;

quint32 readWord(const char *at)
{
    quint32 value = 0;
    std::memcpy(&value, at, sizeof value);
    return value;
}

quint32 field(const QByteArray &frame, int at)
{
    return readWord(frame.constData() + 4 + qsizetype(at) * 4);
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
    return {int(std::floor(whole.width() * height / whole.height())), height};
}
#endif

QByteArray encodeFrame(const QImage &drawn, int logicalWidth)
{
    const QImage pixels = drawn.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const quint32 fields[4] = {quint32(pixels.width()), quint32(pixels.height()), quint32(logicalWidth),
                               quint32(kStrip)};
    QByteArray frame(kMagic, sizeof kMagic);
    frame.append(reinterpret_cast<const char *>(fields), sizeof fields);
    for (int left = 0; left < pixels.width(); left += kStrip) {
        const int columns = qMin(kStrip, pixels.width() - left);
        QByteArray strip;
        for (int y = 0; y < pixels.height(); ++y)
            strip.append(reinterpret_cast<const char *>(pixels.constScanLine(y)) + qsizetype(left) * 4,
                         qsizetype(columns) * 4);
        const QByteArray packed = qCompress(strip, 9);
        const auto length = quint32(packed.size());
        frame.append(reinterpret_cast<const char *>(&length), sizeof length);
        frame.append(packed);
    }
    return frame;
}

std::optional<QImage> decodeFrame(const QByteArray &frame, QSize size, qreal ratio, bool stretch)
{
    if (frame.size() < kHeader || std::memcmp(frame.constData(), kMagic, sizeof kMagic) != 0)
        return std::nullopt;
    const int width = int(field(frame, 0));
    const int height = int(field(frame, 1));
    const int logicalWidth = int(field(frame, 2));
    const int strip = int(field(frame, 3));
    if (width <= 0 || height <= 0 || strip <= 0)
        return std::nullopt;
    // The frame must be exactly what drawSvg() would draw here.
    const QSize wanted = size * ratio;
    if (stretch ? (wanted.height() != height || size.width() > logicalWidth || wanted.width() > width)
                : wanted != QSize(width, height))
        return std::nullopt;
    QImage drawn(wanted, QImage::Format_ARGB32_Premultiplied);
    if (drawn.isNull())
        return std::nullopt;
    qsizetype at = kHeader;
    for (int left = 0; left < wanted.width(); left += strip) {
        if (frame.size() - at < 4)
            return std::nullopt;
        const qsizetype length = readWord(frame.constData() + at);
        at += 4;
        if (frame.size() - at < length)
            return std::nullopt;
        const int stored = qMin(strip, width - left);
        const QByteArray pixels = qUncompress(reinterpret_cast<const uchar *>(frame.constData() + at), length);
        at += length;
        if (pixels.size() != qsizetype(stored) * height * 4)
            return std::nullopt;
        const size_t bytes = size_t(qMin(strip, wanted.width() - left)) * 4;
        for (int y = 0; y < wanted.height(); ++y)
            std::memcpy(drawn.scanLine(y) + qsizetype(left) * 4, pixels.constData() + qsizetype(y) * stored * 4, bytes);
    }
    drawn.setDevicePixelRatio(ratio);
    return drawn;
}

std::optional<QImage> readFrame(const QString &frame, QSize size, qreal ratio, bool stretch)
{
    QFile file(frame);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    // Resources are memory already: mapping one copies nothing.
    const uchar *bytes = file.map(0, file.size());
    if (!bytes)
        return std::nullopt;
    return decodeFrame(QByteArray::fromRawData(reinterpret_cast<const char *>(bytes), file.size()), size, ratio,
                       stretch);
}

std::optional<QImage> readNearestFrame(const QString &name, QSize size, qreal ratio, bool stretch)
{
    const auto path = [&name](qreal at) { return QStringLiteral(":/frames/%1x/%2.frame").arg(at).arg(name); };
    if (std::optional<QImage> exact = readFrame(path(ratio), size, ratio, stretch))
        return exact;
    qreal from = kFrameRatios[std::size(kFrameRatios) - 1];
    for (const qreal at : kFrameRatios) {
        if (at >= ratio) {
            from = at;
            break;
        }
    }
    QFile file(path(from));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray frame = file.readAll();
    QSize shown = size;
    // A stretched picture wider than its whole artwork shows the artwork
    // and leaves the rest clear.
    if (stretch && frame.size() >= kHeader)
        shown.setWidth(qMin(size.width(), int(field(frame, 2))));
    std::optional<QImage> drawn = decodeFrame(frame, shown, from, stretch);
    if (!drawn)
        return std::nullopt;
    QImage scaled = drawn->scaled(shown * ratio, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    scaled.setDevicePixelRatio(ratio);
    return scaled;
}

std::optional<QImage> readNearestIconFrame(const QString &name, QSize size)
{
    const auto path = [&name](int pixels) {
        return QStringLiteral(":/frames/icons/%1-%2.frame").arg(name).arg(pixels);
    };
    const int wanted = qMax(size.width(), size.height());
    // The smallest drawing at least as big, else the biggest.
    int best = 0;
    for (const int pixels : kIconFramePixels) {
        if (!QFile::exists(path(pixels)))
            continue;
        best = pixels;
        if (pixels >= wanted)
            break;
    }
    if (best == 0)
        return std::nullopt;
    std::optional<QImage> drawn = readFrame(path(best), QSize(best, best), 1, false);
    if (!drawn || best == wanted)
        return drawn;
    return drawn->scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

} // namespace vellamor
