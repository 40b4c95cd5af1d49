#pragma once

// Helpers for the painter tests: a bar painted headless in a known colour, its tints and
// shades, and the legends of the border and edge colours.
#include "platform/runtime/errors.h"
#include "progressbar/StdPicture.h"
#include "progressbar/headless/HeadlessHost.h"
#include "progressbar/primitives.h"
#include "tests/progressbar/test_access.h"
#include "tests/support/pixel_picture.h"

#include <QImage>

#include <string>

namespace vex::test {

// A bar colour with three different channels (red 10, green 36, blue 106).
inline constexpr Long kBarColor = 0x6A240A;

inline Long Tint(Long amount) {
    return LightenColor(kBarColor, amount);
}
inline Long Shade(Long weight) {
    return BlendColors(kBarColor, kBlack, weight);
}

inline std::string Repeat(const std::string& s, int times) {
    std::string r;
    for (int i = 0; i < times; ++i)
        r += s;
    return r;
}

// What the bar shows after its setters ran in the order a container uses.
struct BarSetup {
    int width = 200;
    int height = 20;
    Long style = XPBlocks;
    Long value = 0;
    Long orientation = 0;
    bool text = false;
    Long brushStyle = 0;
};

// A headless bar set up from its settings; the screen is what its own DC shows.
class PaintedBar {
  public:
    explicit PaintedBar(const BarSetup& setup, std::shared_ptr<StdPicture> image = nullptr)
        : host_(setup.width, setup.height) {
        XP_ProgressBar& bar = host_.Control();
        bar.SetColor(kBarColor);
        bar.SetBrushStyle(setup.brushStyle);
        if (image) bar.SetImage(std::move(image));
        bar.SetOrientation(setup.orientation);
        bar.SetScrolling(setup.style);
        bar.SetShowText(ToBoolean(setup.text));
        bar.SetValue(setup.value);
    }
    XP_ProgressBar& Control() { return host_.Control(); }
    XP_ProgressBarTestAccess Access() { return XP_ProgressBarTestAccess(host_.Control()); }
    HeadlessHost& Host() { return host_; }
    const QImage& Screen() const { return host_.Screen(); }

  private:
    HeadlessHost host_;
};

// The border's greys, shared by the XP family and Glass.
inline Legend BorderLegend() {
    Legend l;
    l.Exact('W', kWhite)
        .Exact('F', 0x686868)
        .Exact('s', 0xBEBEBE)
        .Exact('l', 0xEFEFEF)
        .Exact('a', 0xA6ABAC)
        .Exact('A', 0xA7ABAC)
        .Exact('d', 0x7D7E7F)
        .Exact('m', 0x777777);
    return l;
}

// The 3-D edges' colours (etched, bump, sunken).
inline Legend EdgeLegend(Legend l) {
    l.Exact('1', gdi::GetSysColor(gdi::COLOR_3DSHADOW))
        .Exact('2', gdi::GetSysColor(gdi::COLOR_3DHIGHLIGHT))
        .Exact('3', gdi::GetSysColor(gdi::COLOR_3DDKSHADOW))
        .Exact('4', gdi::GetSysColor(gdi::COLOR_3DLIGHT));
    return l;
}

} // namespace vex::test
