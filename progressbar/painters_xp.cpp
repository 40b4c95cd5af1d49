// The XP family (XPBlocks, XPSmooth, XPSearching): a banded fill, or three searching blocks,
// inside a grey two-line border with shaded corners. The only family that can run vertically.
#include "platform/runtime/arith.h"
#include "progressbar/XP_ProgressBar.h"
#include "progressbar/primitives.h"

#include <QImage>

#include <algorithm>

namespace vex {

namespace {

// Block metrics: style 0 cuts its fill into 6-pixel blocks with 2-pixel gaps; the other
// styles move in 2-pixel steps.
constexpr Long kBlockWidth = 6;
constexpr Long kBlockGap = 2;
// The fill starts inside the 3-pixel border.
constexpr Long kBorderInset = 3;
// The family's fill fraction divides by 98, so the fill reaches the border before 100 %.
constexpr double kFillDivisor = 98.0;

// A horizontal bar always shows a stub, also at 0 %.
constexpr Long kStubLimit = 14;
constexpr Long kStubRight = 12;

// The banded fill: a light gradient band along each long side of a solid band.
constexpr Long kBandLightTint = 150;
constexpr Long kBandStart = 4; // first column (horizontal) or column of the left band
constexpr Long kBandInner =
    8; // solid band starts this far from the top, ends this far from the bottom
constexpr Long kBandSteps = 6; // a band gradient has kBandSteps + 1 lines
constexpr Long kBandTop = 3;   // first row of the upper band
constexpr Long kBandEdge = 4;  // the fill keeps this far from the right border
constexpr Long kVerticalSolidLeft = 9;
constexpr Long kVerticalBandSteps = 4;

// The searching blocks: three 10-pixel gradients 2 pixels apart, lightest first, placed
// behind the fill edge by a shift that shrinks as the percentage grows.
constexpr int kSearchBlocks = 3;
constexpr Long kSearchBlockSteps = 9;
constexpr Long kSearchBlockLength = 10;
constexpr Long kSearchTintFrom = 220;
constexpr Long kSearchTintTo = 200;
constexpr Long kSearchTintStep = 40;
constexpr double kSearchShift = 45.0;

constexpr Long kWhite = 0xFFFFFF;

// The border: two grey inner lines, a dark outer frame and shaded corner pixels.
constexpr Long kBorderShadow = 0xBEBEBE;
constexpr Long kBorderLight = 0xEFEFEF;
constexpr Long kBorderFrame = 0x686868;

// A corner pixel, placed from the left or right side and from the top or bottom.
struct CornerPixel {
    bool fromRight;
    Long dx;
    bool fromBottom;
    Long dy;
    Long color;
};

constexpr CornerPixel kCornerPixels[] = {
    {false, 0, false, 0, 0xFFFFFF}, {false, 0, false, 1, 0xA6ABAC}, {false, 0, false, 2, 0x7D7E7F},
    {false, 1, false, 0, 0xA7ABAC}, {false, 1, false, 1, 0x777777}, {false, 2, false, 0, 0x7D7E7F},
    {false, 2, false, 2, 0xBEBEBE}, {false, 0, true, 1, 0xFFFFFF},  {false, 1, true, 1, 0xA6ABAC},
    {false, 2, true, 1, 0x7D7E7F},  {false, 0, true, 3, 0x7D7E7F},  {false, 0, true, 2, 0xA7ABAC},
    {false, 1, true, 2, 0x777777},  {true, 1, false, 0, 0xFFFFFF},  {true, 1, false, 1, 0xBEBEBE},
    {true, 1, false, 2, 0x7D7E7F},  {true, 2, false, 2, 0xBEBEBE},  {true, 2, false, 1, 0x686868},
    {true, 1, true, 1, 0xFFFFFF},   {true, 1, true, 2, 0xBEBEBE},   {true, 1, true, 3, 0x7D7E7F},
    {true, 2, true, 2, 0x777777},   {true, 2, true, 1, 0xBEBEBE},   {true, 3, true, 1, 0x7D7E7F},
};

Long SearchTint(Long color, int k, Long from) {
    return LightenColor(color, from - kSearchTintStep * k);
}

} // namespace

void XP_ProgressBar::CalcXPBarRect() {
    lChunkWidth = Scrolling == XPBlocks ? kBlockWidth : 0;
    lChunkGap = kBlockGap;

    rcClient.left = Add(rcClient.left, kBorderInset);
    rcBar = rcClient;
    const Long step = Add(lChunkWidth, lChunkGap);

    dFillFraction = Divide(lPercent, kFillDivisor);
    if (dFillFraction < 0) dFillFraction = 0;

    if (Orientation == 0) {
        const Long left = rcClient.left;
        const Long x = CLng(static_cast<double>(Sub(rcClient.right, left)) * dFillFraction + left);
        rcBar.right = Sub(x, Mod(Sub(x, left), step));
        if (rcBar.right < left) rcBar.right = left;
    } else {
        // The fill grows from the bottom: the edge is measured from the top with 1 - f.
        dFillFraction = 1 - dFillFraction;
        const Long bottom = rcClient.bottom;
        const Long y =
            CLng(static_cast<double>(Sub(bottom, rcClient.top)) * dFillFraction + rcClient.top);
        rcBar.top = Sub(y, Mod(Sub(y, bottom), step));
        if (rcBar.top > bottom) rcBar.top = bottom;
    }
}

void XP_ProgressBar::DrawXPFill() {
    const Long R = rcClient.right;
    const Long B = rcClient.bottom;

    if (Orientation == 0) {
        if (rcBar.right <= kStubLimit) rcBar.right = kStubRight;

        if (Scrolling == XPSearching) {
            for (int k = 0; k < kSearchBlocks; ++k) {
                const Long start = Add(rcBar.right, Mul(Add(lChunkGap, kSearchBlockLength), k));
                const double shift = Sub(100, lPercent) / 100.0 * kSearchShift;
                const Long x = CLng(start - shift);
                Long light = SearchTint(Color, k, kSearchTintFrom);
                Long dark = SearchTint(Color, k, kSearchTintTo);
                DrawGradient(light, dark, x, kBandTop, kSearchBlockSteps, Sub(B, 2), hDc, kTrue);
            }
            return;
        }

        gdi::Rect band;
        band.left = kBandStart;
        band.top = kBandInner;
        band.bottom = Sub(B, kBandInner);
        band.right = Add(rcBar.right, kBandEdge) > R ? Sub(rcBar.right, kBandEdge) : rcBar.right;

        // Upper band, then the solid band over its last two rows, then the lower band over
        // the solid band's last two rows.
        Long light = LightenColor(Color, kBandLightTint);
        Long color = Color;
        DrawGradient(light, color, kBandStart, kBandTop, band.right, kBandSteps, hDc);
        FillSolid(band, Color, hDc);
        DrawGradient(color, light, kBandStart, Sub(band.bottom, 2), band.right, kBandSteps, hDc);
        return;
    }

    if (Scrolling == XPSearching) {
        // The vertical blocks start at the fill edge and run down, drawn from the right.
        for (int k = 0; k < kSearchBlocks; ++k) {
            const Long top = Add(rcBar.top, Mul(Add(lChunkGap, kSearchBlockLength), k));
            Long light = SearchTint(Color, k, kSearchTintFrom);
            Long dark = SearchTint(Color, k, kSearchTintTo);
            DrawGradient(light, dark, Sub(R, 2), top, 2, kSearchBlockSteps, hDc);
        }
        return;
    }

    gdi::Rect band;
    band.left = kVerticalSolidLeft;
    band.top = rcBar.top;
    band.right = Sub(R, kBandInner);
    band.bottom = B;

    Long light = LightenColor(Color, kBandLightTint);
    Long color = Color;
    DrawGradient(light, color, kBandStart, rcBar.top, kVerticalBandSteps, B, hDc, kTrue);
    FillSolid(band, Color, hDc);
    DrawGradient(color, light, Sub(R, kBandInner), rcBar.top, kVerticalBandSteps, B, hDc, kTrue);
}

void XP_ProgressBar::DrawXPChunkGaps() {
    const gdi::HBRUSH brush = gdi::CreateSolidBrush(kWhite);
    rcChunk = rcClient;
    const Long step = Add(lChunkWidth, lChunkGap);

    // Counted loops: the bounds are taken once, before the first pass. Gaps that would fall
    // wholly outside the target's pixels change nothing and are left out, so a huge control
    // does not run millions of empty fills.
    const QImage* target = gdi::ImageOfDC(hDc);
    if (Orientation == 0) {
        Long last = rcBar.right;
        if (target != nullptr) last = std::min<Long>(last, target->width());
        for (Long i = Add(rcBar.left, lChunkWidth); i <= last; i = Add(i, step)) {
            rcChunk.left = Add(i, 1);
            rcChunk.right = Add(rcChunk.left, lChunkGap);
            gdi::FillRect(hDc, rcChunk, brush);
        }
    } else {
        const Long last = Add(rcBar.top, lChunkWidth);
        Long first = rcBar.bottom;
        if (target != nullptr && first > target->height() + 1) {
            // Skip whole steps down to the first gap that can touch a visible row.
            const long long excess = static_cast<long long>(first) - (target->height() + 1);
            first = static_cast<Long>(first - (excess + step - 1) / step * step);
        }
        for (Long i = first; i >= last; i = Sub(i, step)) {
            rcChunk.top = Sub(i, 2);
            rcChunk.bottom = Add(rcChunk.top, lChunkGap);
            gdi::FillRect(hDc, rcChunk, brush);
        }
    }
    gdi::DeleteObject(brush);
}

void XP_ProgressBar::DrawXPBorder() {
    rcClient.left = Sub(rcClient.left, kBorderInset);
    const Long R = rcClient.right;
    const Long B = rcClient.bottom;

    DrawLine(2, 1, Sub(R, 2), 1, hDc, kBorderShadow);
    DrawLine(2, Sub(B, 2), Sub(R, 2), Sub(B, 2), hDc, kBorderLight);
    DrawLine(1, 2, 1, Sub(B, 2), hDc, kBorderShadow);
    DrawLine(2, 2, 2, Sub(B, 2), hDc, kBorderLight);
    DrawLine(2, 2, Sub(R, 2), 2, hDc, kBorderLight);
    DrawLine(Sub(R, 2), 2, Sub(R, 2), Sub(B, 2), hDc, kBorderLight);

    DrawFrameRect(rcClient, ResolveColor(kBorderFrame), hDc);

    for (const CornerPixel& p : kCornerPixels) {
        const Long x = p.fromRight ? Sub(R, p.dx) : p.dx;
        const Long y = p.fromBottom ? Sub(B, p.dy) : p.dy;
        gdi::SetPixelV(hDc, x, y, ResolveColor(p.color));
    }
}

} // namespace vex
