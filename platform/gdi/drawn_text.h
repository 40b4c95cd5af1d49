#pragma once

// The last few text draws, as the pixels under the text before and after. A control repaints
// the same text at the same place over the same picture many times (a bar standing at one
// value, a window exposed again); drawing a line costs a painter and a blend per glyph, while
// finding that the pixels it covers are what they were last time and writing back what the draw
// made of them costs two small copies. The result of a draw depends only on those pixels and on
// what the key holds, so the pixels written are exactly the ones the draw would make.

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QRgb>

namespace gdi::detail {

struct DrawnTextKey {
    quint64 line = 0; // the shaped line's serial number: its glyphs, font and device
    QPoint baseline;
    QRect clip;
    QRgb pen = 0;
    QImage::Format format = QImage::Format_Invalid;
    friend bool operator==(const DrawnTextKey&, const DrawnTextKey&) = default;
};

// Writes into `area` of `image` what a draw with `key` made of the same pixels last time, if
// `area` holds now what it held then. `area` is where the draw can change pixels; it lies inside
// the image.
bool ReplayDrawnText(QImage& image, const DrawnTextKey& key, const QRect& area);

// Around a draw that could not be replayed: the pixels of `area` before it, then after it.
void KeepPixelsBefore(const QImage& image, const DrawnTextKey& key, const QRect& area);
void KeepPixelsAfter(const QImage& image);

} // namespace gdi::detail
