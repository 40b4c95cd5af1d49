#pragma once

// Helpers for the painter tests: a bar painted headless, and pixel rows and columns written as
// small ASCII pictures through a colour legend.
#include "platform/runtime/errors.h"
#include "progressbar/StdPicture.h"
#include "progressbar/headless/HeadlessHost.h"
#include "progressbar/primitives.h"
#include "tests/progressbar/test_access.h"

#include <QImage>

#include <algorithm>
#include <string>
#include <vector>

namespace vex::test {

// A bar colour with three different channels (red 10, green 36, blue 106).
inline constexpr Long kBarColor = 0x6A240A;
inline constexpr Long kWhite = 0xFFFFFF;
inline constexpr Long kBlack = 0x000000;

inline Long PixelAt(const QImage& image, int x, int y) {
    const QRgb p = image.pixel(x, y);
    return qRed(p) + 256 * qGreen(p) + 65536 * qBlue(p);
}

inline Long Tint(Long amount) {
    return LightenColor(kBarColor, amount);
}
inline Long Shade(Long weight) {
    return BlendColors(kBarColor, kBlack, weight);
}

// Maps a colour to one character: exact colours first, then colour ranges (every channel between
// the two ends, inclusive), in the order given; '?' for anything else.
class Legend {
  public:
    Legend& Exact(char c, Long color) {
        exact_.push_back({c, color, color});
        return *this;
    }
    Legend& Between(char c, Long a, Long b) {
        ranges_.push_back({c, a, b});
        return *this;
    }
    char Classify(Long color) const {
        for (const Entry& e : exact_)
            if (e.a == color) return e.c;
        for (const Entry& e : ranges_)
            if (Inside(color, e.a, e.b)) return e.c;
        return '?';
    }

  private:
    struct Entry {
        char c;
        Long a;
        Long b;
    };
    static bool Inside(Long color, Long a, Long b) {
        for (int shift = 0; shift < 24; shift += 8) {
            const int v = (color >> shift) & 0xFF;
            const int lo = std::min((a >> shift) & 0xFF, (b >> shift) & 0xFF);
            const int hi = std::max((a >> shift) & 0xFF, (b >> shift) & 0xFF);
            if (v < lo || v > hi) return false;
        }
        return true;
    }
    std::vector<Entry> exact_;
    std::vector<Entry> ranges_;
};

// Pixels x0..x1-1 of row y, or y0..y1-1 of column x, one legend character each.
inline std::string Row(const QImage& image, int y, int x0, int x1, const Legend& legend) {
    std::string s;
    for (int x = x0; x < x1; ++x)
        s += legend.Classify(PixelAt(image, x, y));
    return s;
}
inline std::string Column(const QImage& image, int x, int y0, int y1, const Legend& legend) {
    std::string s;
    for (int y = y0; y < y1; ++y)
        s += legend.Classify(PixelAt(image, x, y));
    return s;
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
