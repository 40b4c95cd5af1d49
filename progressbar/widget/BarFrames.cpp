// Pictures the widget puts together from the control's own pictures.
#include "progressbar/widget/BarFrames.h"

#include <algorithm>

namespace xpbar {

namespace {

// A band a quarter of the bar long moves by about a twenty-fourth of the bar per frame.
constexpr int kBandFraction = 4;
constexpr int kStepFraction = 24;
// The searching blocks move 4 percent a frame; past 100 they stand at the end for a frame.
constexpr int kPercentStep = 4;
constexpr int kPercentPeriod = 104;

int StepOf(int extent) {
    return std::max(1, extent / kStepFraction);
}

int BandLengthOf(int extent) {
    return std::max(1, extent / kBandFraction);
}

QRgb HalfwayToWhite(QRgb c) {
    return qRgb((qRed(c) + 255) / 2, (qGreen(c) + 255) / 2, (qBlue(c) + 255) / 2);
}

} // namespace

QImage MirroredAlong(const QImage& picture, FillAxis axis) {
    return picture.mirrored(axis == FillAxis::Horizontal, axis == FillAxis::Vertical);
}

QImage MirroredWithin(const QImage& picture, const QRect& area, FillAxis axis) {
    QImage out = picture.copy();
    const QRect r = area & out.rect();
    if (r.isEmpty()) return out;
    const QImage turned = MirroredAlong(picture.copy(r), axis);
    for (int y = 0; y < r.height(); ++y) {
        const auto* src = reinterpret_cast<const QRgb*>(turned.constScanLine(y));
        auto* dst = reinterpret_cast<QRgb*>(out.scanLine(r.top() + y));
        std::copy(src, src + r.width(), dst + r.left());
    }
    return out;
}

void CopyChangedPixels(QImage& target, const QImage& with, const QImage& without,
                       const QRect& area) {
    const QRect r = area & target.rect() & with.rect() & without.rect();
    for (int y = r.top(); y <= r.bottom(); ++y) {
        auto* out = reinterpret_cast<QRgb*>(target.scanLine(y));
        const auto* a = reinterpret_cast<const QRgb*>(with.constScanLine(y));
        const auto* b = reinterpret_cast<const QRgb*>(without.constScanLine(y));
        for (int x = r.left(); x <= r.right(); ++x)
            if (a[x] != b[x]) out[x] = a[x];
    }
}

QRect SpanRect(QSize size, FillAxis axis, BandSpan span, bool mirrored) {
    if (axis == FillAxis::Horizontal) {
        const int left = mirrored ? size.width() - span.start - span.length : span.start;
        return QRect(left, 0, span.length, size.height());
    }
    const int top = mirrored ? span.start : size.height() - span.start - span.length;
    return QRect(0, top, size.width(), span.length);
}

int BusyPeriod(int extent) {
    const int step = StepOf(extent);
    return std::max(1, (std::max(extent, 0) + BandLengthOf(extent) + step - 1) / step);
}

int BusyPercent(int frame) {
    return (frame % (kPercentPeriod / kPercentStep + 1)) * kPercentStep;
}

BandSpan BusyBand(int frame, int extent) {
    const int length = BandLengthOf(extent);
    const int along = (frame % BusyPeriod(extent)) * StepOf(extent) - length;
    return {along, length};
}

QImage WithHighlight(const QImage& picture, const QRect& area) {
    QImage out = picture;
    const QRect r = area & out.rect();
    for (int y = r.top(); y <= r.bottom(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = r.left(); x <= r.right(); ++x)
            line[x] = HalfwayToWhite(line[x]);
    }
    return out;
}

QImage Greyed(const QImage& picture) {
    QImage out = picture.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < out.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            const int grey = qGray(line[x]);
            line[x] = HalfwayToWhite(qRgb(grey, grey, grey));
        }
    }
    return out;
}

} // namespace xpbar
