// The control's state: property accessors, the Value arithmetic and the lifecycle handlers.
// Every setter stores first, then notifies the container, then repaints; a step that throws
// leaves the steps before it done.
#include "progressbar/XP_ProgressBar.h"

#include "platform/runtime/arith.h"
#include "progressbar/ControlHost.h"
#include "progressbar/StdFont.h"
#include "progressbar/StdPicture.h"
#include "progressbar/primitives.h"

namespace vex {

namespace {

// The highlight system colour: the bar colour of a newly initialised control.
constexpr Long kHighlightColorCode = static_cast<Long>(0x8000000D);
constexpr Long kWhite = 0xFFFFFF;

} // namespace

XP_ProgressBar::XP_ProgressBar(ControlHost& host) : host_(host) {}

// A host that never got to TerminateControl must not leak the surface; releasing twice is safe.
XP_ProgressBar::~XP_ProgressBar() {
    DestroySurface();
}

void XP_ProgressBar::SetBrushStyle(Long Style) {
    BrushStyle = Style;
    host_.NotifyPropertyChanged(QStringLiteral("BrushStyle"));
}

Long XP_ProgressBar::GetColor() const {
    return Color;
}

void XP_ProgressBar::SetColor(Long lColor) {
    Color = ResolveColor(lColor);
    DrawProgressBar();
}

std::shared_ptr<StdFont> XP_ProgressBar::GetFont() const {
    return Font;
}

void XP_ProgressBar::SetFont(std::shared_ptr<StdFont> fnt) {
    Font = std::move(fnt);
}

Long XP_ProgressBar::GethWnd() const {
    return hWnd;
}

void XP_ProgressBar::SethWnd(Long chWnd) {
    hWnd = chWnd;
}

Long XP_ProgressBar::GethDc() const {
    return hDc;
}

// The argument is ignored: the target is always the surface at the control's current size, or
// the control's own DC when there is no surface.
void XP_ProgressBar::SethDc(Long /*cHdc*/) {
    const Long width = CLng(host_.ScaleWidth());
    const Long height = CLng(host_.ScaleHeight());
    const Long memDC = EnsureSurface(width, height);
    if (memDC != 0) {
        hDc = memDC;
        bUseMemDC = kTrue;
    } else {
        hDc = host_.OwnDC();
    }
}

std::shared_ptr<StdPicture> XP_ProgressBar::GetImage() const {
    return Image;
}

void XP_ProgressBar::SetImage(std::shared_ptr<StdPicture> handle) {
    Image = std::move(handle);
    host_.NotifyPropertyChanged(QStringLiteral("Image"));
    DrawProgressBar();
}

Long XP_ProgressBar::GetMin() const {
    return Min;
}

void XP_ProgressBar::SetMin(Long cMin) {
    Min = cMin;
    host_.NotifyPropertyChanged(QStringLiteral("Min"));
}

Long XP_ProgressBar::GetMax() const {
    return Max;
}

void XP_ProgressBar::SetMax(Long cMax) {
    Max = cMax;
    host_.NotifyPropertyChanged(QStringLiteral("Max"));
}

Long XP_ProgressBar::GetOrientation() const {
    return Orientation;
}

void XP_ProgressBar::SetOrientation(Long cOrientation) {
    Orientation = cOrientation;
    host_.NotifyPropertyChanged(QStringLiteral("Orientation"));
    DrawProgressBar();
}

Long XP_ProgressBar::GetScrolling() const {
    return Scrolling;
}

void XP_ProgressBar::SetScrolling(Long lScrolling) {
    Scrolling = lScrolling;
    host_.NotifyPropertyChanged(QStringLiteral("Scrolling"));
    DrawProgressBar();
}

Boolean XP_ProgressBar::GetShowText() const {
    return ShowText;
}

// A Boolean holds only True or False; any non-zero argument is True.
void XP_ProgressBar::SetShowText(Boolean bShowText) {
    ShowText = ToBoolean(IsTrue(bShowText));
    host_.NotifyPropertyChanged(QStringLiteral("ShowText"));
    DrawProgressBar();
}

// The inverse of the setter only while Min <= 0: a positive Min divides the result.
Long XP_ProgressBar::GetValue() const {
    const double a = Divide(static_cast<double>(lPercent), 100.0) * static_cast<double>(Max);
    const double d = Min > 0 ? static_cast<double>(Min) : 1.0;
    return CLng(Divide(a, d));
}

// Min is added to the percentage and the divisor is Max alone; every fault is raised before
// lPercent changes.
void XP_ProgressBar::SetValue(Long cValue) {
    const Long t = Mul(cValue, 100);
    const double p =
        Divide(static_cast<double>(t), static_cast<double>(Max)) + static_cast<double>(Min);
    lPercent = CLng(p);
    DrawProgressBar();
}

void XP_ProgressBar::InitializeControl() {
    SetFont(host_.NewDefaultFont());
    host_.SetBackColor(kWhite);
    host_.SetScaleModePixels();
    SethDc(host_.OwnDC());
    SethWnd(host_.Window());
    Max = 100;
    Min = 0;
    lPercent = 0;
    Orientation = 0;
    Scrolling = 0;
    Color = ResolveColor(kHighlightColorCode);
    DrawProgressBar();
}

// Only grows the surface; the paint request that follows a resize repaints.
void XP_ProgressBar::ResizeControl() {
    SethDc(host_.OwnDC());
}

void XP_ProgressBar::PaintControl() {
    DrawProgressBar();
}

void XP_ProgressBar::TerminateControl() {
    DestroySurface();
}

} // namespace vex
