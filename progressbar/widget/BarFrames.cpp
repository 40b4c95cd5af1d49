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

void CopyInto(QImage& target, const QImage& picture) {
    if (target.size() != picture.size() || target.format() != picture.format() ||
        target.bytesPerLine() != picture.bytesPerLine() || picture.isNull()) {
        target = picture.copy();
        return;
    }
    std::copy_n(picture.constBits(), picture.sizeInBytes(), target.bits());
}

void MirrorWithin(QImage& picture, const QRect& area, FillAxis axis) {
    const QRect r = area & picture.rect();
    if (r.isEmpty()) return;
    if (axis == FillAxis::Horizontal) {
        for (int y = r.top(); y <= r.bottom(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(picture.scanLine(y));
            std::reverse(line + r.left(), line + r.right() + 1);
        }
        return;
    }
    for (int top = r.top(), bottom = r.bottom(); top < bottom; ++top, --bottom) {
        auto* a = reinterpret_cast<QRgb*>(picture.scanLine(top)) + r.left();
        auto* b = reinterpret_cast<QRgb*>(picture.scanLine(bottom)) + r.left();
        std::swap_ranges(a, a + r.width(), b);
    }
}

void DoubleInto(QImage& target, const QImage& picture, int scale) {
    const QImage source = picture.convertToFormat(QImage::Format_RGB32);
    const QSize size = source.size() * scale;
    if (target.size() != size || target.format() != QImage::Format_RGB32)
        target = QImage(size, QImage::Format_RGB32);
    if (target.isNull()) return;
    for (int y = 0; y < source.height(); ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(source.constScanLine(y));
        auto* first = reinterpret_cast<QRgb*>(target.scanLine(y * scale));
        for (int x = 0; x < source.width(); ++x)
            std::fill_n(first + x * scale, scale, in[x]);
        for (int i = 1; i < scale; ++i)
            std::copy_n(first, size.width(),
                        reinterpret_cast<QRgb*>(target.scanLine(y * scale + i)));
    }
}

void CopyChangedPixels(QImage& target, const QImage& with, const QImage& without,
                       const QRect& area) {
    const QRect r = area & target.rect() & with.rect() & without.rect();
    for (int y = r.top(); y <= r.bottom(); ++y) {
        const auto* a = reinterpret_cast<const QRgb*>(with.constScanLine(y));
        const auto* b = reinterpret_cast<const QRgb*>(without.constScanLine(y));
        // Most lines hold no text: they are passed over at the speed of a memory compare.
        if (std::equal(a + r.left(), a + r.right() + 1, b + r.left())) continue;
        auto* out = reinterpret_cast<QRgb*>(target.scanLine(y));
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

void Highlight(QImage& picture, const QRect& area) {
    const QRect r = area & picture.rect();
    for (int y = r.top(); y <= r.bottom(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(picture.scanLine(y));
        for (int x = r.left(); x <= r.right(); ++x)
            line[x] = HalfwayToWhite(line[x]);
    }
}

namespace {

// qGray's weights, then half-way to white.
inline quint32 GreyedPixel(quint32 c) {
    const quint32 grey = (((c >> 16) & 0xFF) * 11 + ((c >> 8) & 0xFF) * 16 + (c & 0xFF) * 5) >> 5;
    return 0xFF000000u | ((grey + 255) >> 1) * 0x010101u;
}

} // namespace

void Grey(QImage& picture) {
    if (picture.format() != QImage::Format_RGB32)
        picture = picture.convertToFormat(QImage::Format_RGB32);
    // Eight pixels at a time, a count the compiler runs on vector registers.
    constexpr int kRun = 8;
    for (int y = 0; y < picture.height(); ++y) {
        auto* line = reinterpret_cast<quint32*>(picture.scanLine(y));
        const int width = picture.width();
        int x = 0;
        for (; x + kRun <= width; x += kRun)
            for (int i = 0; i < kRun; ++i)
                line[x + i] = GreyedPixel(line[x + i]);
        for (; x < width; ++x)
            line[x] = GreyedPixel(line[x]);
    }
}

} // namespace xpbar
