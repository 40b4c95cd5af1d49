// The brush family (Flat, Hatch, Picture): one rectangle filled with a solid tint, a hatch
// pattern or a tiled picture. They ignore the orientation.
#include "platform/gdi/selected_object.h"
#include "platform/runtime/arith.h"
#include "progressbar/StdPicture.h"
#include "progressbar/XP_ProgressBar.h"
#include "progressbar/fill_edge.h"
#include "progressbar/primitives.h"

namespace vex {

namespace {

// Flat: a tint-100 frame round a tint-180 fill.
constexpr Long kFlatFrameTint = 100;
constexpr Long kFlatFillTint = 180;
constexpr double kFlatDivisor = 100.0;

// Hatch and Picture: the fill edge divides by 101; the fill sits inside a 2-pixel edge.
constexpr double kBrushDivisor = 101.0;
constexpr Long kEdgeInset = 2;
constexpr Long kHatchBackgroundTint = 140;

} // namespace

void XP_ProgressBar::DrawFlatBar() {
    DrawFrameRect(rcClient, LightenColor(Color, kFlatFrameTint), hDc);
    rcBar.left = 1;
    rcBar.top = 1;
    rcBar.right = FillEdge(NonNegativePercent(lPercent), kFlatDivisor,
                           Sub(rcClient.right, rcClient.left), rcClient.left);
    rcBar.bottom = Sub(rcClient.bottom, 1);
    FillSolid(rcBar, LightenColor(Color, kFlatFillTint), hDc);
}

void XP_ProgressBar::DrawHatchBar() {
    gdi::DrawEdge(hDc, &rcClient, gdi::EDGE_BUMP, gdi::BF_RECT);
    rcBar.left = kEdgeInset;
    rcBar.top = kEdgeInset;
    rcBar.right = FillEdge(NonNegativePercent(lPercent), kBrushDivisor,
                           Sub(rcClient.right, rcClient.left), rcClient.left);
    rcBar.bottom = Sub(rcClient.bottom, kEdgeInset);

    const Long color = ResolveColor(GetColor());
    const Integer style = CInt(BrushStyle);
    const gdi::HBRUSH brush = gdi::CreateHatchBrush(style, color);
    // The background colour stays set in the DC. The mode is made opaque for the fill only:
    // the text overlay leaves the DC transparent, and the pixels between the hatch lines
    // must not depend on whether an earlier paint drew text.
    gdi::SetBkColor(hDc, LightenColor(Color, kHatchBackgroundTint));
    const int previousMode = gdi::SetBkMode(hDc, gdi::OPAQUE);
    gdi::FillRect(hDc, rcBar, brush);
    if (previousMode != 0) gdi::SetBkMode(hDc, previousMode);
    gdi::DeleteObject(brush);
}

void XP_ProgressBar::DrawPictureBar() {
    gdi::DrawEdge(hDc, &rcClient, gdi::BDR_SUNKENOUTER, gdi::BF_RECT);
    if (!Image) return;

    const Long e = FillEdge(NonNegativePercent(lPercent), kBrushDivisor,
                            Sub(rcClient.right, rcClient.left), rcClient.left);
    rcBar.right = e;
    const Long width = Sub(e, kEdgeInset);
    const Long height = Sub(rcClient.bottom, 2 * kEdgeInset);

    // A picture without a bitmap gives no brush; then nothing is tiled.
    const gdi::HBRUSH brush = gdi::CreatePatternBrush(Image->Handle());
    if (brush == 0) return;
    {
        const gdi::SelectedObject selected(hDc, brush);
        // The tiles are anchored at the surface's top-left corner, not at the start of the fill.
        if (width > 0 && height > 0) {
            gdi::PatBlt(hDc, kEdgeInset, kEdgeInset, width, height, gdi::PATCOPY);
        }
    }
    gdi::DeleteObject(brush);
}

} // namespace vex
