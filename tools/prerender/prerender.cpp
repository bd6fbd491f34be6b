// Draws the panel's artwork ahead, when the panel is built, into PNG files
// (see src/gui/artwork/Prerendered.h):
//   vellamor-prerender <folder> <svg> <width>x<height>|stretch<height> <ratio>...
//     a picture at each scale factor: <folder>/<name>.png, <name>@2x.png, ...
//   vellamor-prerender --icon <folder> <svg> <pixels>...
//     an icon at each size in pixels: <folder>/<name>-16.png, ...
// For the Windows build it also draws the program's icon file, one PNG image
// per size:
//   vellamor-prerender --ico <file.ico> <svg> <pixels>...

#include "Prerendered.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QSvgRenderer>
#include <QtEndian>
#include <cstdio>

namespace {

bool save(const QString &path, const QByteArray &bytes)
{
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit()) {
        std::fprintf(stderr, "vellamor-prerender: %s: %s\n", qPrintable(path), qPrintable(out.errorString()));
        return false;
    }
    return true;
}

std::optional<QByteArray> png(const QImage &drawn)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (drawn.isNull() || !drawn.save(&buffer, "PNG"))
        return std::nullopt;
    return bytes;
}

// A size in pixels from 1 to the given most, or nothing.
std::optional<int> pixelsOf(const QString &text, int most)
{
    bool ok = false;
    const int side = text.toInt(&ok);
    if (!ok || side < 1 || side > most) {
        std::fprintf(stderr, "vellamor-prerender: a size is 1 to %d pixels, not %s\n", most, qPrintable(text));
        return std::nullopt;
    }
    return side;
}

int usage()
{
    std::fprintf(stderr, "usage: vellamor-prerender <folder> <svg> <width>x<height>|stretch<height> <ratio>...\n"
                         "       vellamor-prerender --icon <folder> <svg> <pixels>...\n"
                         "       vellamor-prerender --ico <file.ico> <svg> <pixels>...\n");
    return 2;
}

// The icon file: its directory of images, each a PNG (which the system has
// read in icon files since Vista).
int writeIcoFile(const QString &path, QSvgRenderer &art, const QStringList &sizes)
{
    QList<QByteArray> images;
    QList<int> sides;
    for (const QString &pixels : sizes) {
        const std::optional<int> side = pixelsOf(pixels, 256);
        if (!side)
            return 2;
        const std::optional<QByteArray> image = png(vellamor::drawSvg(art, QSize(*side, *side), 1, false));
        if (!image)
            return 1;
        images.append(*image);
        sides.append(*side);
    }
    const auto word = [](QByteArray &to, quint16 value) {
        value = qToLittleEndian(value);
        to.append(reinterpret_cast<const char *>(&value), 2);
    };
    const auto dword = [](QByteArray &to, quint32 value) {
        value = qToLittleEndian(value);
        to.append(reinterpret_cast<const char *>(&value), 4);
    };
    QByteArray file;
    word(file, 0);
    word(file, 1); // an icon, not a cursor
    word(file, quint16(images.size()));
    quint32 offset = 6 + 16 * quint32(images.size());
    for (qsizetype i = 0; i < images.size(); ++i) {
        const char side = char(sides.at(i) == 256 ? 0 : sides.at(i));
        file.append(side).append(side).append('\0').append('\0');
        word(file, 1);  // colour planes
        word(file, 32); // bits per pixel
        dword(file, quint32(images.at(i).size()));
        dword(file, offset);
        offset += quint32(images.at(i).size());
    }
    for (const QByteArray &image : std::as_const(images))
        file.append(image);
    return save(path, file) ? 0 : 1;
}

int writeIcons(const QDir &folder, const QString &name, QSvgRenderer &art, const QStringList &sizes)
{
    for (const QString &pixels : sizes) {
        const std::optional<int> side = pixelsOf(pixels, 1024);
        if (!side)
            return 2;
        const std::optional<QByteArray> image = png(vellamor::drawSvg(art, QSize(*side, *side), 1, false));
        if (!image || !save(folder.filePath(vellamor::prerenderedIconName(name, *side)), *image))
            return 1;
    }
    return 0;
}

int writePictures(const QDir &folder, const QString &name, QSvgRenderer &art, const QString &shape,
                  const QStringList &ratios)
{
    const bool stretch = shape.startsWith(QLatin1String("stretch"));
    QSize size;
    if (stretch) {
        size = vellamor::stretchedArtSize(art, shape.mid(7).toInt());
    } else {
        const QStringList sides = shape.split(QLatin1Char('x'));
        size = QSize(sides.value(0).toInt(), sides.value(1).toInt());
    }
    for (const QString &text : ratios) {
        bool ok = false;
        const qreal ratio = text.toDouble(&ok);
        const std::optional<QByteArray> image =
            ok && ratio >= 1 && ratio <= 4 ? png(vellamor::drawSvg(art, size, ratio, stretch)) : std::nullopt;
        if (!image) {
            std::fprintf(stderr, "vellamor-prerender: cannot draw %s at %s and scale factor %s\n", qPrintable(name),
                         qPrintable(shape), qPrintable(text));
            return 1;
        }
        if (!save(folder.filePath(vellamor::prerenderedPictureName(name, ratio)), *image))
            return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const QString mode = args.value(0).startsWith(QLatin1String("--")) ? args.takeFirst() : QString();
    if (args.size() < 3 || (mode.isEmpty() && args.size() < 4) ||
        !(mode.isEmpty() || mode == QLatin1String("--icon") || mode == QLatin1String("--ico")))
        return usage();
    QSvgRenderer art(args.at(1));
    if (!art.isValid()) {
        std::fprintf(stderr, "vellamor-prerender: %s is not a picture\n", qPrintable(args.at(1)));
        return 1;
    }
    if (mode == QLatin1String("--ico"))
        return writeIcoFile(args.at(0), art, args.mid(2));
    const QDir folder(args.at(0));
    if (!folder.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "vellamor-prerender: cannot make %s\n", qPrintable(args.at(0)));
        return 1;
    }
    const QString name = QFileInfo(args.at(1)).completeBaseName();
    if (mode == QLatin1String("--icon"))
        return writeIcons(folder, name, art, args.mid(2));
    return writePictures(folder, name, art, args.at(2), args.mid(3));
}
