#pragma once

#include <QImage>
#include <QSize>
#include <QString>
#include <optional>

class QSvgRenderer;

namespace vellamor {

// The artwork drawn ahead, when the panel is built.
//
// The panel's first page shows its pictures in the first paint, and drawing
// them from their SVG is the costliest part of that paint. So the build draws
// them with drawSvg() into plain PNG files among the resources, named the way
// Qt names high-resolution images: banner.png at scale factor 1,
// banner@2x.png at 2, and where Windows offers them banner@1.25x.png and
// banner@1.5x.png. Icons go by their size in pixels (save-16.png), which is
// what an icon engine is asked for. A picture whose drawing fits reads it
// instead of drawing.
//
// A stretched picture keeps its proportions at the height given and is cut on
// the right (see SvgPicture); its drawing holds the artwork's whole width, and
// any narrower width is the left part of it, pixel for pixel.
#if VELLAMOR_HAVE_QTSVG
QImage drawSvg(QSvgRenderer &art, QSize size, qreal ratio, bool stretch);

// The size a stretched picture of the given height has when drawn whole.
QSize stretchedArtSize(QSvgRenderer &art, int height);
#endif

// The file names of a picture's drawing at a scale factor and of an icon's at
// a size in pixels, both without their folder.
QString prerenderedPictureName(const QString &name, qreal ratio);
QString prerenderedIconName(const QString &name, int pixels);

// The resources holding them.
QString prerenderedPicture(const QString &name, qreal ratio);
QString prerenderedIcon(const QString &name, int pixels);

// The drawing of a picture of the given size at the given scale factor, read
// from a drawing stored as the given resource; nothing when there is none or
// it is not that drawing.
std::optional<QImage> readPrerendered(const QString &file, QSize size, qreal ratio, bool stretch);

// Where the panel is built without an SVG renderer (Windows), the drawings
// are all the artwork there is, made at the scale factors of that system. A
// screen between them gets the drawing of the next finer one, scaled down
// (or the finest, scaled up): sharp enough, and never missing.
inline constexpr qreal kPrerenderedRatios[] = {1, 1.25, 1.5, 2};
std::optional<QImage> readNearestPrerendered(const QString &name, QSize size, qreal ratio, bool stretch);
// The same for an icon, by pixel size: the menus' and tool bar's 16 at each
// scale factor, and the window icon's 32 likewise.
inline constexpr int kPrerenderedIconPixels[] = {16, 20, 24, 32, 40, 48, 64};
std::optional<QImage> readNearestPrerenderedIcon(const QString &name, QSize size);

} // namespace vellamor
