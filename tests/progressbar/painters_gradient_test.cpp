// The gradient family: Etched, Shaded, Dark and Glass, their fill edges and bands.
#include "tests/progressbar/paint_fixture.h"

#include <gtest/gtest.h>

namespace vex::test {
namespace {

struct LineCase {
    const char* name; // the fault the row catches
    BarSetup bar;
    bool column;
    int at;
    int from, to;
    std::string expected;
};

// Etched: S tint 140 (first column), E tint 200 (the fill edge), g between.
// Shaded: T tint 250 (the fill's top row), k the track (bar colour to tint 100), e tint 25 (the
// end line), f tint 10 (the frame).
// Dark: K black, c the fill's edge colour, g between, f shade 200 (the frame).
// Glass: u the track's white-to-silver half, S silver, p the fill, M shade 190 (the middle of
// the fill), C the bar colour, and the border greys.
Legend GradientLegend(Long style) {
    Legend l;
    switch (style) {
    case Etched:
        l.Exact('W', kWhite)
            .Exact('S', Tint(140))
            .Exact('E', Tint(200))
            .Between('g', Tint(140), Tint(200));
        l = EdgeLegend(l);
        break;
    case Shaded:
        l.Exact('W', kWhite)
            .Exact('T', Tint(250))
            .Exact('e', Tint(25))
            .Exact('f', Tint(10))
            .Between('k', kBarColor, Tint(100));
        break;
    case Dark: {
        const Long edge = LightenColor(Shade(100), 10);
        l.Exact('K', kBlack).Exact('c', edge).Exact('f', Shade(200)).Between('g', kBlack, edge);
        break;
    }
    default:
        l = BorderLegend();
        l.Exact('S', 0xC0C0C0)
            .Exact('M', Shade(190))
            .Exact('C', kBarColor)
            .Between('u', kWhite, 0xC0C0C0)
            .Between('p', Tint(150), Shade(180));
        break;
    }
    return l;
}

const LineCase kLineCases[] = {
    {"etched at 100 %: n = 196, the gradient ends on the inner edge line in tint 200",
     {200, 20, Etched, 100},
     false,
     10,
     198,
     200,
     "EW"},
    {"etched starts its gradient at column 2 in tint 140",
     {200, 20, Etched, 100},
     false,
     10,
     0,
     3,
     "1WS"},
    {"etched at 0 %: a single column in tint 140", {200, 20, Etched, 0}, false, 10, 2, 5, "SWW"},
    {"etched gradient covers rows 2 to B - 4",
     {200, 20, Etched, 50},
     true,
     50,
     2,
     18,
     std::string(15, 'g') + "W"},
    {"shaded at 100 %: e = 198, fill to 197, end line 198, frame 199",
     {200, 20, Shaded, 100},
     false,
     3,
     195,
     200,
     "TTTef"},
    {"shaded at 0 %: fill lines run leftwards from 3, end line over the frame",
     {200, 20, Shaded, 0},
     false,
     3,
     0,
     6,
     "eTTTkk"},
    {"shaded keeps row 1 and row B - 2 white inside the frame",
     {200, 20, Shaded, 50},
     true,
     150,
     0,
     20,
     "fW" + std::string(16, 'k') + "Wf"},
    {"shaded end line at 50 %: round(99.0099) = 99",
     {200, 20, Shaded, 50},
     false,
     3,
     97,
     101,
     "TTek"},
    {"dark at 50 %: n = round(97.5) = 98, gradient to column 100",
     {200, 20, Dark, 50},
     false,
     10,
     98,
     104,
     "ggcKKK"},
    {"dark at 100 % leaves a black ring inside the frame",
     {200, 20, Dark, 100},
     false,
     10,
     195,
     200,
     "gccKf"},
    {"dark gradient starts black at column 2 inside a black ring",
     {200, 20, Dark, 50},
     false,
     10,
     0,
     3,
     "fKK"},
    {"glass track: white to silver above, silver below, row 17 white",
     {200, 20, Glass, 50},
     true,
     150,
     0,
     20,
     "Fsl"
     "ulu"
     "uu"
     "SSSSSSSSS"
     "WlF"}, // row 4's grey is the border's light grey
    {"glass fill: light to dark to the middle, then back to the bar colour",
     {200, 20, Glass, 50},
     true,
     50,
     0,
     20,
     "Fsl"
     "ppppp"
     "M"
     "ppppppp"
     "C"
     "WlF"},
    {"glass at 50 %: fill edge 98", {200, 20, Glass, 50}, false, 12, 95, 100, "pppSS"},
};

TEST(GradientPainters, PixelsAlongRowsAndColumns) {
    for (const LineCase& c : kLineCases) {
        SCOPED_TRACE(c.name);
        PaintedBar bar(c.bar);
        const Legend legend = GradientLegend(c.bar.style);
        const std::string got = c.column ? Column(bar.Screen(), c.at, c.from, c.to, legend)
                                         : Row(bar.Screen(), c.at, c.from, c.to, legend);
        EXPECT_EQ(got, c.expected);
    }
}

TEST(GradientPainters, EtchedGradientSpreadsOverTheFillOnly) {
    // The fill's colour at a column changes as the bar grows: tint 200 is always at the edge.
    for (Long value : {25, 75}) {
        SCOPED_TRACE(value);
        PaintedBar bar({200, 20, Etched, value});
        const Long n = value * 196 / 100;
        EXPECT_EQ(ColorAt(bar.Screen(), 2 + n, 10), Tint(200));
        EXPECT_EQ(ColorAt(bar.Screen(), 3 + n, 10), kWhite);
    }
}

TEST(GradientPainters, GlassEndsWithTheXPBorderAndRestoresTheClientRect) {
    PaintedBar bar({200, 20, Glass, 50});
    EXPECT_EQ(ColorAt(bar.Screen(), 0, 0), kWhite);     // rounded corner pixel
    EXPECT_EQ(ColorAt(bar.Screen(), 100, 0), 0x686868); // outer frame
    EXPECT_EQ(bar.Access().rcClient().left, 0);
    EXPECT_EQ(bar.Access().rcBar().right, 98);
}

TEST(GradientPainters, IgnoreTheOrientation) {
    for (Long style : {Etched, Shaded, Dark, Glass}) {
        SCOPED_TRACE(style);
        PaintedBar horizontal({200, 20, style, 60, 0, true});
        PaintedBar vertical({200, 20, style, 60, 1, true});
        EXPECT_EQ(horizontal.Screen(), vertical.Screen());
    }
}

} // namespace
} // namespace vex::test
