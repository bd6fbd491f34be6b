#pragma once

#include <QImage>
#include <QSize>
#include <optional>

class QSvgRenderer;

namespace vellamor {

// The artwork of a picture drawn at its size for a screen's scale factor.
//
// The panel's first page shows its pictures in the first paint, and drawing
// them from their SVG is the costliest part of that paint. So the build draws
// them ahead, at the common scale factors, with this same function, and
// stores each drawing (a "frame") beside the artwork; a picture whose frame
// fits unpacks it instead of drawing:
//
//   "VFR2", then pixel width, pixel height, logical width and strip width as
//   32-bit integers in the machine's byte order, then the premultiplied ARGB
//   pixels in strips of that many columns, left to right: for each strip the
//   length of its packed bytes, then its rows as qCompress() packs them.
//
// Packed, the frames take a sixteenth of the room, and the pages of the
// program that a start reads stay few.
//
// A stretched picture keeps its proportions at the height given and is cut on
// the right (see SvgPicture); its frame holds the artwork's whole width, and
// any narrower width is the left part of it, pixel for pixel.
#if VELLAMOR_HAVE_QTSVG
QImage drawSvg(QSvgRenderer &art, QSize size, qreal ratio, bool stretch);

// The size a stretched picture of the given height has when drawn whole.
QSize stretchedArtSize(QSvgRenderer &art, int height);
#endif

QByteArray encodeFrame(const QImage &drawn, int logicalWidth);

// The drawing of a picture of the given size at the given scale factor, taken
// from a frame; nothing when the frame does not hold that drawing.
std::optional<QImage> decodeFrame(const QByteArray &frame, QSize size, qreal ratio, bool stretch);

// The same, from the frame stored as the given resource; nothing when there
// is no such frame or it does not hold that drawing.
std::optional<QImage> readFrame(const QString &frame, QSize size, qreal ratio, bool stretch);

// Where the panel is built without an SVG renderer (Windows), the frames are
// all the artwork there is, drawn at the scale factors of that system. A
// screen between them gets the drawing of the next finer one, scaled down
// (or the finest, scaled up): sharp enough, and never missing.
inline constexpr qreal kFrameRatios[] = {1, 1.25, 1.5, 2};
std::optional<QImage> readNearestFrame(const QString &name, QSize size, qreal ratio, bool stretch);
// The same for an icon, from its frames by pixel size: the menus' and tool
// bar's 16 at each scale factor, and the window icon's 32 likewise.
inline constexpr int kIconFramePixels[] = {16, 20, 24, 32, 40, 48, 64};
std::optional<QImage> readNearestIconFrame(const QString &name, QSize size);

} // namespace vellamor
