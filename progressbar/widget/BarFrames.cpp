// Pictures the widget puts together from the control's own pictures.
#include "progressbar/widget/BarFrames.h"

#include <algorithm>

namespace xpbar {

namespace {

// A band a quarter of the bar long moves by about a twenty-fourth of the bar per frame.
constexpr int kBandFraction = 4;
constexpr int kStepFraction = 24;

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

void CopyTextPixels(QImage& target, const QImage& with, const QImage& without, const QRect& area) {
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

BandSpan BusyBand(int frame, int extent) {
    const int length = BandLengthOf(extent);
    const int along = (frame % BusyPeriod(extent)) * StepOf(extent) - length;
    return {along, length};
}

QImage WithBand(const QImage& background, const QImage& band, const QRect& area) {
    QImage out = background;
    const QRect r = area & out.rect() & band.rect();
    for (int y = r.top(); y <= r.bottom(); ++y) {
        auto* dst = reinterpret_cast<QRgb*>(out.scanLine(y));
        const auto* src = reinterpret_cast<const QRgb*>(band.constScanLine(y));
        std::copy(src + r.left(), src + r.right() + 1, dst + r.left());
    }
    return out;
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
