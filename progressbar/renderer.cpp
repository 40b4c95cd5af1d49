// The one routine that paints the control: measure, clear, let the style's painter draw, lay
// the text over it, and copy the finished picture to the screen in one transfer.
#include "platform/runtime/arith.h"
#include "progressbar/ControlHost.h"
#include "progressbar/XP_ProgressBar.h"
#include "progressbar/primitives.h"

namespace vex {

namespace {

constexpr Long kMaxPercent = 100;
constexpr Long kDarkBackground = 0x000000;
constexpr Long kLightBackground = 0xFFFFFF;

} // namespace

void XP_ProgressBar::DrawProgressBar() {
    if (lPercent > kMaxPercent) lPercent = kMaxPercent;
    gdi::GetClientRect(hWnd, &rcClient);
    FillSolid(rcClient, Scrolling == Dark ? kDarkBackground : kLightBackground, hDc);

    switch (Scrolling) {
    case Flat:
        DrawFlatBar();
        break;
    case Etched:
        DrawEtchedBar();
        break;
    case Shaded:
        DrawShadedBar();
        break;
    case Dark:
        DrawDarkBar();
        break;
    case Hatch:
        DrawHatchBar();
        break;
    case Picture:
        DrawPictureBar();
        break;
    case Glass:
        DrawGlassBar();
        break; // ends with the XP border
    default:   // 0, 1, 2 and every value outside 0..9
        CalcXPBarRect();
        DrawXPFill();
        if (Scrolling == XPBlocks) DrawXPChunkGaps();
        DrawXPBorder();
        break;
    }

    DrawBarText();

    // Any error above skips the copy, so the screen keeps its previous picture.
    if (IsTrue(bUseMemDC)) {
        const Long width = CLng(host_.ScaleWidth());
        const Long height = CLng(host_.ScaleHeight());
        const Long left = CLng(host_.ScaleLeft());
        const Long top = CLng(host_.ScaleTop());
        pDraw(host_.OwnDC(), 0, 0, width, height, left, top);
    }
}

} // namespace vex
