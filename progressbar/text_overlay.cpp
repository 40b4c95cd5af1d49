// The text over the bar: the percentage (or "Searching..", or the host's own text), centred, and in
// the Dark and Glass styles drawn a second time in another colour where it lies over the fill.
#include "platform/gdi/selected_object.h"
#include "platform/runtime/arith.h"
#include "platform/runtime/errors.h"
#include "progressbar/ControlHost.h"
#include "progressbar/StdFont.h"
#include "progressbar/XP_ProgressBar.h"
#include "progressbar/primitives.h"

#include <optional>
#include <string>

namespace vex {

namespace {

constexpr Long kBlackText = 0x000000;
constexpr Long kSilverText = 0xC0C0C0; // on the Dark style's black background
constexpr Long kWhiteText = 0xFFFFFF;  // over the Glass fill
constexpr Long kDarkOverFillTint = 80;
constexpr const char* kSearchingText = "Searching..";
constexpr const char* kPercentSuffix = " %";

gdi::HFONT FontHandleOf(const std::shared_ptr<StdFont>& font) {
    if (!font) throw RuntimeError("The progress bar has no font to draw its text with");
    return font->hFont();
}

// Where the fill ends for the text, in unrounded pixels.
double TextFillEnd(Long percent, Long width) {
    return percent / 100.0 * width;
}

void DrawSingleLine(gdi::HDC hdc, const std::string& text, gdi::Rect* rc) {
    gdi::DrawTextA(hdc, text.c_str(), static_cast<int>(text.size()), rc, gdi::DT_SINGLELINE);
}

} // namespace

void XP_ProgressBar::DrawBarText() {
    const bool twoTone = Scrolling == Dark || Scrolling == Glass;
    if (!IsTrue(ShowText)) return;
    const std::optional<std::string> hostText = host_.BarText();
    const std::string text = hostText                   ? *hostText
                             : Scrolling == XPSearching ? std::string(kSearchingText)
                                                        : std::to_string(lPercent) + kPercentSuffix;

    fntText = Font;
    {
        const gdi::SelectedObject selected(hDc, FontHandleOf(fntText));
        hOldFont = selected.Previous();
        gdi::SetBkMode(hDc, gdi::TRANSPARENT);
        gdi::SetTextColor(hDc, ResolveColor(Scrolling == Dark ? kSilverText : kBlackText));
        CenterTextRect(text);

        // Once the fill has passed the whole text, the second colour covers all of it.
        const double fillEnd = TextFillEnd(lPercent, rcClient.right);
        if (!(twoTone && fillEnd > rcText.right)) DrawSingleLine(hDc, text, &rcText);
    }

    if (twoTone) DrawTextOverFill(text);
}

void XP_ProgressBar::CenterTextRect(const std::string& text) {
    gdi::DrawTextA(hDc, text.c_str(), static_cast<int>(text.size()), &rcText, gdi::DT_CALCRECT);
    const Long w = Sub(rcText.right, rcText.left);
    const Long h = Sub(rcText.bottom, rcText.top);

    rcText.left = CLng(rcClient.right / 2.0 - w / 2.0);
    rcText.top = CLng(rcClient.bottom / 2.0 - h / 2.0);
    rcText.right = Add(rcText.left, w);
    rcText.bottom = Add(rcText.top, h);
}

void XP_ProgressBar::DrawTextOverFill(const std::string& text) {
    fntText = Font;
    const gdi::SelectedObject selected(hDc, FontHandleOf(fntText));
    hOldFont = selected.Previous();
    gdi::SetBkMode(hDc, gdi::TRANSPARENT);

    const double fillEnd = TextFillEnd(lPercent, rcClient.right);
    if (fillEnd < rcText.left) return; // the fill does not reach the text yet

    const Long overFill = Scrolling == Dark ? LightenColor(Color, kDarkOverFillTint) : kWhiteText;
    gdi::SetTextColor(hDc, ResolveColor(overFill));
    // Same start as the normal draw, clipped at the fill end.
    rcText.right = CLng(fillEnd);
    DrawSingleLine(hDc, text, &rcText);
}

} // namespace vex
