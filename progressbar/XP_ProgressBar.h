#pragma once

#include "platform/gdi/gdi.h"
#include "platform/runtime/types.h"
#include "progressbar/ScrollingStyle.h"

#include <memory>
#include <string>

namespace vex {

class ControlHost;
class PropertyBag;
class StdFont;
class StdPicture;

// A progress bar drawn in ten styles through an off-screen surface. Errors of the Value
// arithmetic and of coordinate overflow are thrown (OverflowError, DivisionByZeroError); a
// failing step leaves the earlier steps done.
class XP_ProgressBar {
  public:
    explicit XP_ProgressBar(ControlHost& host);
    ~XP_ProgressBar();
    XP_ProgressBar(const XP_ProgressBar&) = delete;
    XP_ProgressBar& operator=(const XP_ProgressBar&) = delete;

    // Public interface, in slot order.
    void DrawProgressBar();
    bool DrawLine(Long X, Long Y, Long Width, Long Height, Long cHdc, Long Color);
    bool DrawGradient(Long& lEndColor, Long& lStartcolor, Long X, Long Y, Long X2, Long Y2,
                      Long hDc, Boolean bH = kFalse);
    bool pDraw(Long hDc, Long xSrc = 0, Long ySrc = 0, Long WidthSrc = 0, Long HeightSrc = 0,
               Long xDst = 0, Long yDst = 0);
    void SetBrushStyle(Long Style);
    Long GetColor() const;
    void SetColor(Long lColor);
    std::shared_ptr<StdFont> GetFont() const;
    void SetFont(std::shared_ptr<StdFont> fnt);
    Long GethWnd() const;
    void SethWnd(Long chWnd);
    Long GethDc() const;
    void SethDc(Long cHdc);
    std::shared_ptr<StdPicture> GetImage() const;
    void SetImage(std::shared_ptr<StdPicture> handle);
    Long GetMin() const;
    void SetMin(Long cMin);
    Long GetMax() const;
    void SetMax(Long cMax);
    Long GetOrientation() const;
    void SetOrientation(Long cOrientation);
    Long GetScrolling() const;
    void SetScrolling(Long lScrolling);
    Boolean GetShowText() const;
    void SetShowText(Boolean bShowText);
    Long GetValue() const;
    void SetValue(Long cValue);

    // Lifecycle, called by the host.
    void InitializeControl();
    void ResizeControl();
    void PaintControl();
    void TerminateControl();
    void SaveProperties(PropertyBag& store) const;
    void LoadProperties(const PropertyBag& store);

    // The stored percentage, for tools that report the control's state.
    Long StoredPercent() const { return lPercent; }

  private:
    friend class XP_ProgressBarTestAccess;

    // Off-screen surface.
    Long EnsureSurface(const Long& width, const Long& height);
    void CreateSurface(Long width, Long height);
    void DestroySurface();

    // Painters, by family, and the text overlay. Each works on the fields below.
    void CalcXPBarRect();
    void DrawXPFill();
    void DrawXPChunkGaps();
    void DrawXPBorder();
    void DrawEtchedBar();
    void DrawShadedBar();
    void DrawDarkBar();
    void DrawGlassBar();
    void DrawFlatBar();
    void DrawHatchBar();
    void DrawPictureBar();
    void DrawBarText();
    void CenterTextRect(const std::string& text);
    void DrawTextOverFill(const std::string& text);

    ControlHost& host_;

    // Fields, in declaration order.
    Long Color = 0;
    Long hDc = 0;
    Long hWnd = 0;
    Long Max = 0;
    Long Min = 0;
    Long lPercent = 0;
    Boolean ShowText = kFalse;
    Long Scrolling = 0;
    Long Orientation = 0;
    Long BrushStyle = 0;
    std::shared_ptr<StdPicture> Image;
    Boolean bUseMemDC = kFalse;
    Long hMemDC = 0;
    Long hMemBitmap = 0;
    Long hOldBitmap = 0;
    std::shared_ptr<StdFont> fntText;
    std::shared_ptr<StdFont> Font;
    Long hOldFont = 0;
    Long lMemWidth = 0;
    Long lMemHeight = 0;
    double dFillFraction = 0.0;
    gdi::Rect rcClient;
    gdi::Rect rcBar;
    gdi::Rect rcChunk;
    gdi::Rect rcText;
    Long lChunkWidth = 0;
    Long lChunkGap = 0;
};

} // namespace vex
