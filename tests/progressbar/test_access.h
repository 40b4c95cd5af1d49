#pragma once

// Reaches the control's private fields and routines from tests: every field by reference (read
// or overwrite it), every private routine by name.
#include "progressbar/XP_ProgressBar.h"

namespace vex {

class XP_ProgressBarTestAccess {
  public:
    explicit XP_ProgressBarTestAccess(XP_ProgressBar& control) : c_(control) {}

    // Fields, in declaration order.
    Long& Color() { return c_.Color; }
    Long& hDc() { return c_.hDc; }
    Long& hWnd() { return c_.hWnd; }
    Long& Max() { return c_.Max; }
    Long& Min() { return c_.Min; }
    Long& lPercent() { return c_.lPercent; }
    Boolean& ShowText() { return c_.ShowText; }
    Long& Scrolling() { return c_.Scrolling; }
    Long& Orientation() { return c_.Orientation; }
    Long& BrushStyle() { return c_.BrushStyle; }
    std::shared_ptr<StdPicture>& Image() { return c_.Image; }
    Boolean& bUseMemDC() { return c_.bUseMemDC; }
    Long& hMemDC() { return c_.hMemDC; }
    Long& hMemBitmap() { return c_.hMemBitmap; }
    Long& hOldBitmap() { return c_.hOldBitmap; }
    std::shared_ptr<StdFont>& fntText() { return c_.fntText; }
    std::shared_ptr<StdFont>& Font() { return c_.Font; }
    Long& hOldFont() { return c_.hOldFont; }
    Long& lMemWidth() { return c_.lMemWidth; }
    Long& lMemHeight() { return c_.lMemHeight; }
    double& dFillFraction() { return c_.dFillFraction; }
    gdi::Rect& rcClient() { return c_.rcClient; }
    gdi::Rect& rcBar() { return c_.rcBar; }
    gdi::Rect& rcChunk() { return c_.rcChunk; }
    gdi::Rect& rcText() { return c_.rcText; }
    Long& lChunkWidth() { return c_.lChunkWidth; }
    Long& lChunkGap() { return c_.lChunkGap; }

    // Off-screen surface.
    Long EnsureSurface(Long width, Long height) { return c_.EnsureSurface(width, height); }
    void CreateSurface(Long width, Long height) { c_.CreateSurface(width, height); }
    void DestroySurface() { c_.DestroySurface(); }

    // Painters and the text overlay.
    void CalcXPBarRect() { c_.CalcXPBarRect(); }
    void DrawXPFill() { c_.DrawXPFill(); }
    void DrawXPChunkGaps() { c_.DrawXPChunkGaps(); }
    void DrawXPBorder() { c_.DrawXPBorder(); }
    void DrawEtchedBar() { c_.DrawEtchedBar(); }
    void DrawShadedBar() { c_.DrawShadedBar(); }
    void DrawDarkBar() { c_.DrawDarkBar(); }
    void DrawGlassBar() { c_.DrawGlassBar(); }
    void DrawFlatBar() { c_.DrawFlatBar(); }
    void DrawHatchBar() { c_.DrawHatchBar(); }
    void DrawPictureBar() { c_.DrawPictureBar(); }
    void DrawBarText() { c_.DrawBarText(); }
    void CenterTextRect(const std::string& text) { c_.CenterTextRect(text); }
    void DrawTextOverFill(const std::string& text) { c_.DrawTextOverFill(text); }

  private:
    XP_ProgressBar& c_;
};

} // namespace vex
