// Draws the pictures of the panel's first page ahead, when the panel is built:
//   vellamor-prerender <frame> <svg> <width>x<height> <ratio>
//   vellamor-prerender <frame> <svg> stretch<height> <ratio>
// and writes the drawing as a frame (see SvgFrame.h). For the Windows build it
// also draws the program's icon file, one PNG image per size:
//   vellamor-prerender --ico <file.ico> <svg> <pixels>...

#include "SvgFrame.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
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

// The icon file: its directory of images, each a PNG (which the system has
// read in icon files since Vista).
int writeIcon(const QStringList &args)
{
    QSvgRenderer art(args.value(3));
    if (!art.isValid() || args.size() < 5) {
        std::fprintf(stderr, "usage: vellamor-prerender --ico <file.ico> <svg> <pixels>...\n");
        return 2;
    }
    QList<QByteArray> images;
    QList<int> sides;
    for (const QString &pixels : args.mid(4)) {
        const int side = pixels.toInt();
        if (side < 1 || side > 256) {
            std::fprintf(stderr, "vellamor-prerender: an icon image is 1 to 256 pixels wide, not %s\n",
                         qPrintable(pixels));
            return 2;
        }
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        if (!vellamor::drawSvg(art, QSize(side, side), 1, false).save(&buffer, "PNG"))
            return 1;
        images.append(png);
        sides.append(side);
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
    return save(args.at(2), file) ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.value(1) == QLatin1String("--ico"))
        return writeIcon(args);
    if (args.size() != 5) {
        std::fprintf(stderr, "usage: vellamor-prerender <frame> <svg> <width>x<height>|stretch<height> <ratio>\n");
        return 2;
    }
    QSvgRenderer art(args.at(2));
    if (!art.isValid()) {
        std::fprintf(stderr, "vellamor-prerender: %s is not a picture\n", qPrintable(args.at(2)));
        return 1;
    }
    const QString &shape = args.at(3);
    const bool stretch = shape.startsWith(QLatin1String("stretch"));
    QSize size;
    if (stretch) {
        size = vellamor::stretchedArtSize(art, shape.mid(7).toInt());
    } else {
        const QStringList sides = shape.split(QLatin1Char('x'));
        size = QSize(sides.value(0).toInt(), sides.value(1).toInt());
    }
    const qreal ratio = args.at(4).toDouble();
    const QImage drawn = vellamor::drawSvg(art, size, ratio, stretch);
    if (drawn.isNull() || ratio <= 0) {
        std::fprintf(stderr, "vellamor-prerender: cannot draw %s at %s\n", qPrintable(args.at(2)), qPrintable(shape));
        return 1;
    }
    return save(args.at(1), vellamor::encodeFrame(drawn, size.width())) ? 0 : 1;
}
