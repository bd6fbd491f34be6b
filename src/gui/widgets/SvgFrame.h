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
QImage drawSvg(QSvgRenderer &art, QSize size, qreal ratio, bool stretch);

// The size a stretched picture of the given height has when drawn whole.
QSize stretchedArtSize(QSvgRenderer &art, int height);

QByteArray encodeFrame(const QImage &drawn, int logicalWidth);

// The drawing of a picture of the given size at the given scale factor, taken
// from a frame; nothing when the frame does not hold that drawing.
std::optional<QImage> decodeFrame(const QByteArray &frame, QSize size, qreal ratio, bool stretch);

// The same, from the frame stored as the given resource; nothing when there
// is no such frame or it does not hold that drawing.
std::optional<QImage> readFrame(const QString &frame, QSize size, qreal ratio, bool stretch);

} // namespace vellamor
