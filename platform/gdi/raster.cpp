// Pixel operations: fills, frames, lines, single pixels, pattern and block transfers, 3-D edges.
// They write straight into the QImage rows: a QPainter per call would cost more than the
// one-pixel lines the progress bar draws by the thousand, and its aliased lines do not follow
// GDI's end-pixel and stepping rules.

#include "platform/gdi/column_batch.h"
#include "platform/gdi/gdi.h"
#include "platform/gdi/hatch.h"
#include "platform/gdi/pixel_runs.h"
#include "platform/gdi/table.h"

#include <algorithm>
#include <cstring>

namespace gdi {

using namespace detail;

namespace {

struct Target {
    DcState* dc = nullptr;
    Pixels pixels; // pixels.bits is null when the DC is bad or has no pixels
};

// The DC and its pixels, with any batched columns written out first.
Target PixelTarget(HDC hdc) {
    FlushColumns();
    Slot* slot = Table::instance().find(hdc, Kind::DC);
    if (!slot) return {};
    return {slot->dc.get(), WritablePixelsOf(*slot->dc)};
}

// A rectangle clipped to the image, in 64-bit so that huge coordinates cannot overflow.
struct Span {
    qint64 left, top, right, bottom;
    bool empty() const { return right <= left || bottom <= top; }
};

Span Clip(const Pixels& px, qint64 left, qint64 top, qint64 right, qint64 bottom) {
    return {std::max<qint64>(left, 0), std::max<qint64>(top, 0), std::min<qint64>(right, px.width),
            std::min<qint64>(bottom, px.height)};
}

void FillSpan(const Pixels& px, const Span& s, QRgb color) {
    FillRuns(px.row(s.top) + s.left, px.bytesPerLine, s.bottom - s.top, s.right - s.left, color);
}

// Rows of a pattern that repeats every `period` rows: from the period's second round on, a
// row is a copy of the one `period` rows above it, which holds the same stretch of pattern.
template <typename DrawRow>
void PaintRepeatingRows(const Pixels& px, const Span& s, qint64 period, DrawRow drawRow) {
    const qint64 width = s.right - s.left;
    for (qint64 y = s.top; y < s.bottom; ++y) {
        QRgb* run = px.row(y) + s.left;
        if (y - s.top >= period) {
            std::memcpy(run, px.row(y - period) + s.left, std::size_t(width) * sizeof(QRgb));
        } else {
            drawRow(y, run, width);
        }
    }
}

// Paints the clipped rectangle with a brush. Hatches and patterns are anchored at the image's
// top-left corner (brush origin 0, 0), so adjacent fills join without a seam.
void PaintWithBrush(const Pixels& px, const DcState& dc, const Slot& brush, const Span& s) {
    if (s.empty()) return;
    switch (brush.brushKind) {
    case BrushKind::Solid:
        FillSpan(px, s, BgrColor(brush.color).ToQRgb());
        return;
    case BrushKind::Hatch: {
        const HatchMask& mask = HatchMaskFor(brush.style);
        const QRgb fg = BgrColor(brush.color).ToQRgb();
        const QRgb bg = BgrColor(dc.bkColor).ToQRgb();
        if (dc.bkMode == OPAQUE) {
            // Every pixel is written, so a row is one period of eight pixels repeated.
            PaintRepeatingRows(px, s, qint64(kHatchSize), [&](qint64 y, QRgb* run, qint64 width) {
                const unsigned rowBits = mask[y & 7];
                const qint64 period = std::min<qint64>(width, kHatchSize);
                for (qint64 i = 0; i < period; ++i)
                    run[i] = (rowBits >> ((s.left + i) & 7)) & 1u ? fg : bg;
                RepeatRun(run, period, width);
            });
            return;
        }
        for (qint64 y = s.top; y < s.bottom; ++y) {
            QRgb* row = px.row(y);
            const unsigned rowBits = mask[y & 7];
            for (qint64 x = s.left; x < s.right; ++x) {
                if ((rowBits >> (x & 7)) & 1u) row[x] = fg;
            }
        }
        return;
    }
    case BrushKind::Pattern: {
        const QImage& tile = *brush.image;
        const qint64 tw = tile.width();
        const qint64 th = tile.height();
        const qint64 firstColumn = s.left % tw;
        PaintRepeatingRows(px, s, th, [&](qint64 y, QRgb* run, qint64 width) {
            const auto* src = reinterpret_cast<const QRgb*>(tile.constScanLine(int(y % th)));
            // One tile width, then copies of it.
            const qint64 period = std::min(width, tw);
            qint64 column = firstColumn;
            for (qint64 i = 0; i < period; ++i) {
                run[i] = src[column] | 0xFF000000u;
                if (++column == tw) column = 0;
            }
            RepeatRun(run, period, width);
        });
        return;
    }
    }
}

// The range of steps k in [0, count) for which start + sign * k lies in [0, limit).
std::pair<qint64, qint64> StepsInside(qint64 start, int sign, qint64 count, qint64 limit) {
    qint64 lo, hi; // inclusive lo, exclusive hi
    if (sign > 0) {
        lo = -start;
        hi = limit - start;
    } else {
        lo = start - limit + 1;
        hi = start + 1;
    }
    return {std::max<qint64>(lo, 0), std::min<qint64>(hi, count)};
}

// The minor-axis offset of step k of a line with `major` steps and `minor` signed offset:
// minor * k / major rounded to the nearest integer, a tie going to the smaller value. It is
// kept as floor((2 * minor * k + major - 1) / (2 * major)) with a remainder, so that each step
// is an add and a compare (Bresenham) and nothing overflows for any 32-bit coordinates.
class MinorStepper {
  public:
    MinorStepper(qint64 minor, qint64 major, qint64 firstStep) : step_(2 * minor), den_(2 * major) {
        __extension__ using Wide = __int128;
        const Wide num = Wide(2) * minor * firstStep + major - 1;
        Wide q = num / den_;
        Wide r = num % den_;
        if (r < 0) {
            r += den_;
            --q;
        }
        offset_ = qint64(q);
        rem_ = qint64(r);
    }
    qint64 offset() const { return offset_; }
    void next() {
        rem_ += step_;
        if (rem_ >= den_) {
            rem_ -= den_;
            ++offset_;
        } else if (rem_ < 0) {
            rem_ += den_;
            --offset_;
        }
    }

  private:
    qint64 step_, den_, offset_ = 0, rem_ = 0;
};

// A one-pixel line from (x0, y0) towards (x1, y1): the start pixel is drawn, the end pixel is
// not. Pixels follow the grid-intersection rule of GDI's cosmetic lines: along the major axis
// there is one pixel per step, at the minor coordinate nearest to the exact line; when the
// line passes exactly halfway between two pixels, the upper one (lines wider than tall) or the
// left one (lines taller than wide) is lit. The rule depends only on the geometry, so a line
// drawn the other way lights the same pixels, apart from the excluded end.
void DrawLinePixels(const Pixels& px, qint64 x0, qint64 y0, qint64 x1, qint64 y1, QRgb color) {
    const qint64 dx = x1 - x0;
    const qint64 dy = y1 - y0;
    const qint64 adx = dx < 0 ? -dx : dx;
    const qint64 ady = dy < 0 ? -dy : dy;
    const int sx = dx < 0 ? -1 : 1;
    const int sy = dy < 0 ? -1 : 1;
    const qint64 w = px.width;
    const qint64 h = px.height;

    if (dy == 0) { // the common case in gradients: one row span
        if (y0 < 0 || y0 >= h) return;
        const qint64 from = sx > 0 ? x0 : x1 + 1; // the end pixel is left out either way
        const qint64 to = sx > 0 ? x1 : x0 + 1;
        const Span s = {std::max<qint64>(from, 0), y0, std::min<qint64>(to, w), y0 + 1};
        if (!s.empty()) FillRun(px.row(y0) + s.left, s.right - s.left, color);
        return;
    }
    if (dx == 0) { // one column
        if (x0 < 0 || x0 >= w) return;
        const qint64 from = std::max<qint64>(sy > 0 ? y0 : y1 + 1, 0);
        const qint64 to = std::min<qint64>(sy > 0 ? y1 : y0 + 1, h);
        // Stepping a pointer down the column: this loop paints every gradient column.
        if (from >= to) return;
        QRgb* p = px.row(from) + x0;
        const qsizetype stride = px.bytesPerLine / qsizetype(sizeof(QRgb));
        for (qint64 n = to - from; n > 0; --n, p += stride)
            *p = color;
        return;
    }
    if (adx >= ady) {
        // Only the steps whose column is inside the image are walked.
        const auto [first, last] = StepsInside(x0, sx, adx, w);
        if (first >= last) return;
        MinorStepper minor(dy, adx, first);
        for (qint64 k = first; k < last; ++k, minor.next()) {
            const qint64 y = y0 + minor.offset();
            if (y >= 0 && y < h) px.row(y)[x0 + sx * k] = color;
        }
    } else {
        const auto [first, last] = StepsInside(y0, sy, ady, h);
        if (first >= last) return;
        MinorStepper minor(dx, ady, first);
        for (qint64 k = first; k < last; ++k, minor.next()) {
            const qint64 x = x0 + minor.offset();
            if (x >= 0 && x < w) px.row(y0 + sy * k)[x] = color;
        }
    }
}

// Sides of one 1-pixel ring: the top/left colour first, then the bottom/right colour, which
// therefore owns the top-right and bottom-left corners.
void DrawRing(const Pixels& px, const Span& ring, UINT sides, QRgb topLeft, QRgb bottomRight) {
    const auto fill = [&](qint64 l, qint64 t, qint64 r, qint64 b, QRgb c) {
        const Span s = Clip(px, l, t, r, b);
        if (!s.empty()) FillSpan(px, s, c);
    };
    const auto& [l, t, r, b] = ring;
    if (sides & BF_LEFT) fill(l, t, l + 1, b, topLeft);
    if (sides & BF_TOP) fill(l, t, r, t + 1, topLeft);
    if (sides & BF_RIGHT) fill(r - 1, t, r, b, bottomRight);
    if (sides & BF_BOTTOM) fill(l, b - 1, r, b, bottomRight);
}

} // namespace

int FillRect(HDC hdc, const Rect& rc, HBRUSH brush) {
    if (ShouldFail("FillRect")) return 0;
    const Target t = PixelTarget(hdc);
    Slot* b = Table::instance().find(brush, Kind::Brush);
    if (!t.pixels.bits || !b) return 0;
    PaintWithBrush(t.pixels, *t.dc, *b, Clip(t.pixels, rc.left, rc.top, rc.right, rc.bottom));
    return 1;
}

int FrameRect(HDC hdc, const Rect& rc, HBRUSH brush) {
    if (ShouldFail("FrameRect")) return 0;
    const Target t = PixelTarget(hdc);
    Slot* b = Table::instance().find(brush, Kind::Brush);
    if (!t.pixels.bits || !b) return 0;
    if (rc.is_empty()) return 1;
    const qint64 l = rc.left, tp = rc.top, r = rc.right, bt = rc.bottom;
    const Pixels& img = t.pixels;
    PaintWithBrush(img, *t.dc, *b, Clip(img, l, tp, r, tp + 1));
    PaintWithBrush(img, *t.dc, *b, Clip(img, l, bt - 1, r, bt));
    PaintWithBrush(img, *t.dc, *b, Clip(img, l, tp + 1, l + 1, bt - 1));
    PaintWithBrush(img, *t.dc, *b, Clip(img, r - 1, tp + 1, r, bt - 1));
    return 1;
}

// The common case (a column on a memory DC) is inline in inline_calls.h.
bool detail::LineToFull(HDC hdc, int x, int y) {
    if (ShouldFail("LineTo")) return false;
    Slot* slot = Table::instance().find(hdc, Kind::DC);
    if (!slot) return false;
    DcState& dc = *slot->dc;
    const Point from = dc.position;
    dc.position = Point{x, y};
    Slot* pen = dc.penSlot;
    if (!pen) return false;
    const Pixels px = WritablePixelsOf(dc);
    if (!px.bits) return false;
    if (pen->style == PS_NULL) return true;
    if (dc.kind == DcKind::Memory && from.x == x && x >= 0 && x < px.width) {
        // A column, end pixel excluded whichever way it runs.
        const qint64 top = std::max<qint64>(from.y < y ? from.y : qint64(y) + 1, 0);
        const qint64 bottom = std::min<qint64>(from.y < y ? y : qint64(from.y) + 1, px.height);
        if (top < bottom)
            BatchColumn(dc.bitmapImage, x, top, bottom, BgrColor(pen->color).ToQRgb());
        return true;
    }
    FlushColumns();
    DrawLinePixels(px, from.x, from.y, x, y, BgrColor(pen->color).ToQRgb());
    return true;
}

bool SetPixelV(HDC hdc, int x, int y, COLORREF color) {
    if (ShouldFail("SetPixelV")) return false;
    const Target t = PixelTarget(hdc);
    if (!t.pixels.bits || x < 0 || y < 0 || x >= t.pixels.width || y >= t.pixels.height) {
        return false;
    }
    t.pixels.row(y)[x] = BgrColor(color).ToQRgb();
    return true;
}

bool PatBlt(HDC hdc, int x, int y, int width, int height, Long rop) {
    if (ShouldFail("PatBlt")) return false;
    const Target t = PixelTarget(hdc);
    if (!t.pixels.bits || rop != PATCOPY) return false;
    Slot* brush = Table::instance().find(t.dc->brush, Kind::Brush);
    if (!brush) return false;
    // A zero or negative extent is an empty rectangle: nothing is painted.
    if (width <= 0 || height <= 0) return true;
    PaintWithBrush(t.pixels, *t.dc, *brush,
                   Clip(t.pixels, x, y, qint64(x) + width, qint64(y) + height));
    return true;
}

bool BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int xSrc, int ySrc, Long rop) {
    if (ShouldFail("BitBlt")) return false;
    const Target d = PixelTarget(dst);
    const Target s = PixelTarget(src);
    if (!d.pixels.bits || !s.pixels.bits || rop != SRCCOPY) return false;
    if (width <= 0 || height <= 0) return true;

    // Clip the source rectangle to the source, then the destination to the destination,
    // keeping the two aligned.
    qint64 sx = xSrc, sy = ySrc, dx = x, dy = y, w = width, h = height;
    const auto trim = [&](qint64& a, qint64& b, qint64& len, qint64 limit) {
        if (a < 0) {
            b -= a;
            len += a;
            a = 0;
        }
        len = std::min(len, limit - a);
    };
    trim(sx, dx, w, s.pixels.width);
    trim(sy, dy, h, s.pixels.height);
    trim(dx, sx, w, d.pixels.width);
    trim(dy, sy, h, d.pixels.height);
    if (w <= 0 || h <= 0) return true;

    const bool same = d.pixels.bits == s.pixels.bits;
    uchar* dbits = d.pixels.bits;
    const uchar* sbits = s.pixels.bits;
    const qsizetype dbpl = d.pixels.bytesPerLine;
    const qsizetype sbpl = s.pixels.bytesPerLine;
    if (dbpl == sbpl && dbpl == qsizetype(w * 4)) {
        // Whole rows without padding on both sides: one block.
        std::memmove(dbits + dy * dbpl, sbits + sy * sbpl, size_t(h) * size_t(dbpl));
        return true;
    }
    const bool bottomUp = same && dy > sy; // overlapping copy within one image
    for (qint64 i = 0; i < h; ++i) {
        const qint64 row = bottomUp ? h - 1 - i : i;
        std::memmove(dbits + (dy + row) * dbpl + dx * 4, sbits + (sy + row) * sbpl + sx * 4,
                     size_t(w) * 4);
    }
    return true;
}

bool DrawEdge(HDC hdc, Rect* rc, UINT edge, UINT flags) {
    if (ShouldFail("DrawEdge")) return false;
    const Target t = PixelTarget(hdc);
    if (!t.pixels.bits || !rc) return false;
    const UINT sides = flags & BF_RECT;
    Span ring{rc->left, rc->top, rc->right, rc->bottom};

    const auto color = [](int index) { return BgrColor(GetSysColor(index)).ToQRgb(); };
    struct RingColors {
        QRgb topLeft, bottomRight;
        bool present;
    };
    const UINT outer = edge & (BDR_RAISEDOUTER | BDR_SUNKENOUTER);
    const UINT inner = edge & (BDR_RAISEDINNER | BDR_SUNKENINNER);
    const RingColors rings[2] = {
        outer & BDR_RAISEDOUTER ? RingColors{color(COLOR_3DLIGHT), color(COLOR_3DDKSHADOW), true}
        : outer                 ? RingColors{color(COLOR_3DSHADOW), color(COLOR_3DHIGHLIGHT), true}
                                : RingColors{0, 0, false},
        inner & BDR_RAISEDINNER ? RingColors{color(COLOR_3DHIGHLIGHT), color(COLOR_3DSHADOW), true}
        : inner                 ? RingColors{color(COLOR_3DDKSHADOW), color(COLOR_3DLIGHT), true}
                                : RingColors{0, 0, false},
    };
    for (const RingColors& r : rings) {
        if (ring.empty()) break;
        if (!r.present) continue;
        DrawRing(t.pixels, ring, sides, r.topLeft, r.bottomRight);
        // The next ring lies one pixel inside on the sides just drawn.
        if (sides & BF_LEFT) ++ring.left;
        if (sides & BF_TOP) ++ring.top;
        if (sides & BF_RIGHT) --ring.right;
        if (sides & BF_BOTTOM) --ring.bottom;
    }
    return true;
}

} // namespace gdi
