// Draws the pictures of the panel's first page ahead, when the panel is built:
//   vellamor-prerender <frame> <svg> <width>x<height> <ratio>
//   vellamor-prerender <frame> <svg> stretch<height> <ratio>
// and writes the drawing as a frame (see SvgFrame.h).

#include "SvgFrame.h"

#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>
#include <QSvgRenderer>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 5) {
        std::fprintf(stderr, "usage: vellamor-prerender <frame> <svg> <width>x<height>|stretch<height> <ratio>\n");
        return 2;
    }
    QSvgRenderer art(args.at(2));
    if (!art.isValid()) {
        std::fprintf(stderr, "vellamor-prerender: %s is not a picture\n", qPrintable(args.at(2)));
        return 1;
    }
    const QString shape = args.at(3);
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
    QSaveFile out(args.at(1));
    const QByteArray frame = vellamor::encodeFrame(drawn, size.width());
    if (!out.open(QIODevice::WriteOnly) || out.write(frame) != frame.size() || !out.commit()) {
        std::fprintf(stderr, "vellamor-prerender: %s: %s\n", qPrintable(args.at(1)), qPrintable(out.errorString()));
        return 1;
    }
    return 0;
}
