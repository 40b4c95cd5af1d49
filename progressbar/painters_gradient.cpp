// The gradient family (Etched, Shaded, Dark, Glass): horizontal bars whose fill is built from
// line gradients. They ignore the orientation.
#include "platform/runtime/arith.h"
#include "progressbar/XP_ProgressBar.h"
#include "progressbar/fill_edge.h"
#include "progressbar/primitives.h"

namespace vex {

namespace {

constexpr Long kBlack = 0x000000;
constexpr Long kWhite = 0xFFFFFF;
constexpr Long kSilver = 0xC0C0C0;

// Etched: the fill runs from tint 140 at the left to tint 200 at the fill edge.
constexpr Long kEtchedStartTint = 140;
constexpr Long kEtchedEdgeTint = 200;

// Shaded: a track shaded from the bar colour down to tint 100, a nearly white to bar colour
// fill, and a tint-25 line closing the fill. Its fill edge divides by 101.
constexpr double kShadedDivisor = 101.0;
constexpr Long kShadedFrameTint = 10;
constexpr Long kShadedTrackTint = 100;
constexpr Long kShadedFillTint = 250;
constexpr Long kShadedEndTint = 25;

// Dark: a frame in shade 200; the fill runs from black to the bar colour darkened to 100/255
// and lightened by 10.
constexpr Long kDarkFrameShade = 200;
constexpr Long kDarkFillShade = 100;
constexpr Long kDarkFillTint = 10;

// Glass: a light-to-dark upper half and a dark-to-colour lower half over a silver track.
constexpr Long kGlassUpperTint = 150;
constexpr Long kGlassUpperShade = 180;
constexpr Long kGlassLowerShade = 190;
constexpr Long kFullWeight = 255;
constexpr Long kBorderInset = 3;

constexpr double kPercentDivisor = 100.0;

} // namespace

void XP_ProgressBar::DrawEtchedBar() {
    gdi::DrawEdge(hDc, &rcClient, gdi::EDGE_ETCHED, gdi::BF_RECT);
    const Long span = Sub(Sub(rcClient.right, rcClient.left), 4);
    const Long n = FillEdge(NonNegativePercent(lPercent), kPercentDivisor, span, rcClient.left);

    Long start = LightenColor(Color, kEtchedStartTint);
    Long edge = LightenColor(Color, kEtchedEdgeTint);
    DrawGradient(start, edge, 2, 2, n, Sub(rcClient.bottom, 3), hDc, kTrue);
}

void XP_ProgressBar::DrawShadedBar() {
    const Long R = rcClient.right;
    const Long B = rcClient.bottom;
    DrawFrameRect(rcClient, LightenColor(Color, kShadedFrameTint), hDc);

    const Long e = FillEdge(NonNegativePercent(lPercent), kShadedDivisor, Sub(R, rcClient.left),
                            rcClient.left);
    rcBar.right = e;

    Long color = Color;
    Long trackLight = LightenColor(Color, kShadedTrackTint);
    DrawGradient(color, trackLight, 2, 2, Sub(R, 2), Sub(B, 5), hDc);

    Long fillLight = LightenColor(Color, kShadedFillTint);
    color = Color;
    DrawGradient(fillLight, color, 3, 3, e, Sub(B, 6), hDc);

    DrawLine(e, 2, e, Sub(B, 2), hDc, LightenColor(Color, kShadedEndTint));
}

void XP_ProgressBar::DrawDarkBar() {
    DrawFrameRect(rcClient, BlendColors(Color, kBlack, kDarkFrameShade), hDc);
    Long edge =
        LightenColor(ResolveColor(BlendColors(Color, kBlack, kDarkFillShade)), kDarkFillTint);
    const Long span = Sub(Sub(rcClient.right, rcClient.left), 5);
    const Long n = FillEdge(NonNegativePercent(lPercent), kPercentDivisor, span, rcClient.left);

    Long black = kBlack;
    DrawGradient(black, edge, 2, 2, n, Sub(rcClient.bottom, 2), hDc, kTrue);
}

void XP_ProgressBar::DrawGlassBar() {
    const Long R = rcClient.right;
    const Long B = rcClient.bottom;
    const Long span = Sub(Sub(R, rcClient.left), 4);
    const Long e = FillEdge(NonNegativePercent(lPercent), kPercentDivisor, span, rcClient.left);
    rcBar.right = e;
    const Long h = CLng(Sub(B, 3) / 2.0);

    // The track: white to silver on top, plain silver below (overlapping the upper half's
    // last rows).
    Long white = kWhite;
    Long silver = kSilver;
    DrawGradient(white, silver, 2, 2, Sub(R, 3), h, hDc);
    Long lowerTrack = BlendColors(kSilver, kBlack, kFullWeight);
    silver = kSilver;
    DrawGradient(lowerTrack, silver, 2, h, Sub(R, 3), h, hDc);

    // The fill: light at the top, darkest at the middle, back to the bar colour at the bottom.
    Long upperLight = LightenColor(Color, kGlassUpperTint);
    Long upperDark = BlendColors(Color, kBlack, kGlassUpperShade);
    DrawGradient(upperLight, upperDark, 2, 2, e, h, hDc);
    Long lowerDark = BlendColors(Color, kBlack, kGlassLowerShade);
    Long color = Color;
    DrawGradient(lowerDark, color, 2, h, e, h, hDc);

    rcClient.left = Add(rcClient.left, kBorderInset);
    DrawXPBorder();
}

} // namespace vex
