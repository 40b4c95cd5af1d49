#pragma once

// What the widget shows beyond one picture of the control: the fill running the other way, the
// busy band, the disabled look. Each is put together from pictures the control painted, so the
// looks stay the control's own.

#include <QImage>
#include <QRect>

namespace xpbar {

// The direction in which the control's picture fills.
enum class FillAxis { Horizontal, Vertical };

// A span along the fill axis: from `start` (pixels from where the fill begins), `length` long.
struct BandSpan {
    int start = 0;
    int length = 0;
};

// Makes `target` a copy of `picture`, in the pixels it already holds when the sizes agree.
void CopyInto(QImage& target, const QImage& picture);
// Turns the pixels inside `area` of `picture` end for end along `axis` (left-right or
// top-bottom).
void MirrorWithin(QImage& picture, const QRect& area, FillAxis axis);
// Makes `target` `picture` with every pixel a square of `scale` x `scale` pixels.
void DoubleInto(QImage& target, const QImage& picture, int scale);
// Copies into `target` the pixels inside `area` where `with` and `without` differ: what one
// picture has and the other has not (a text, a fill), on its own background.
void CopyChangedPixels(QImage& target, const QImage& with, const QImage& without,
                       const QRect& area);

// The rectangle of a picture of `size` that a span covers, counted from the start of the fill:
// from the left when lying, from the bottom when standing; `mirrored` counts from the other end.
QRect SpanRect(QSize size, FillAxis axis, BandSpan span, bool mirrored);

// Where the busy band stands in animation frame `frame` on a bar `extent` pixels long: a quarter
// of the length, entering at the start and leaving at the end, then again.
BandSpan BusyBand(int frame, int extent);
// How many frames one pass of the band takes on a bar `extent` pixels long.
int BusyPeriod(int extent);
// The percentage at which the XP searching look shows animation frame `frame`: its blocks run
// from the start to the end in 26 frames, then again.
int BusyPercent(int frame);
// Lightens `area` of `picture` half-way to white.
void Highlight(QImage& picture, const QRect& area);

// Gives `picture` the disabled look: grey, and faded half-way to white so that it reads as
// inactive.
void Grey(QImage& picture);

} // namespace xpbar
