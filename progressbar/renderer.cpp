// Placeholder renderer: clears the bar and copies it. Replaced by the real renderer.
#include "XP_ProgressBar.h"
#include "ControlHost.h"
#include "primitives.h"

namespace vex {

void XP_ProgressBar::DrawProgressBar() {
    if (lPercent > 100) lPercent = 100;
    gdi::GetClientRect(hWnd, &rcClient);
    FillSolid(rcClient, Scrolling == Dark ? 0x000000 : 0xFFFFFF, hDc);
    if (IsTrue(bUseMemDC)) {
        pDraw(host_.OwnDC(), 0, 0, static_cast<Long>(host_.ScaleWidth()),
              static_cast<Long>(host_.ScaleHeight()), static_cast<Long>(host_.ScaleLeft()),
              static_cast<Long>(host_.ScaleTop()));
    }
}

void XP_ProgressBar::CalcXPBarRect() {}
void XP_ProgressBar::DrawXPFill() {}
void XP_ProgressBar::DrawXPChunkGaps() {}
void XP_ProgressBar::DrawXPBorder() {}
void XP_ProgressBar::DrawEtchedBar() {}
void XP_ProgressBar::DrawShadedBar() {}
void XP_ProgressBar::DrawDarkBar() {}
void XP_ProgressBar::DrawGlassBar() {}
void XP_ProgressBar::DrawFlatBar() {}
void XP_ProgressBar::DrawHatchBar() {}
void XP_ProgressBar::DrawPictureBar() {}
void XP_ProgressBar::DrawBarText() {}
void XP_ProgressBar::CenterTextRect(const std::string&) {}
void XP_ProgressBar::DrawTextOverFill(const std::string&) {}

} // namespace vex
