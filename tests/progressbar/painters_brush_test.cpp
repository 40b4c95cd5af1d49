// The brush family: Flat, Hatch and Picture, their fill rectangles and brushes.
#include "tests/progressbar/paint_fixture.h"

#include "progressbar/StdPicture.h"

#include <gtest/gtest.h>

#include <set>

namespace vex::test {
namespace {

Legend FlatLegend() {
    Legend l;
    l.Exact('W', kWhite).Exact('f', Tint(100)).Exact('L', Tint(180));
    return l;
}

TEST(BrushPainters, FlatFillsInsideTheFrame) {
    struct Case {
        const char* name;
        BarSetup bar;
        bool column;
        int at, from, to;
        std::string expected;
    };
    const Case cases[] = {
        {"at 100 % the fill covers the frame's right column",
         {200, 20, Flat, 100},
         true,
         199,
         0,
         20,
         "f" + std::string(18, 'L') + "f"},
        {"at 100 % the left frame stays", {200, 20, Flat, 100}, false, 10, 0, 3, "fLL"},
        {"at 25 % on 10 pixels the edge is round(2.5) = 2",
         {10, 20, Flat, 25},
         false,
         10,
         0,
         10,
         "fLWWWWWWWf"},
        {"at 0 % nothing is filled", {10, 20, Flat, 0}, false, 10, 0, 10, "fWWWWWWWWf"},
        {"a negative percentage paints as 0 %",
         {10, 20, Flat, -50},
         false,
         10,
         0,
         10,
         "fWWWWWWWWf"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PaintedBar bar(c.bar);
        const std::string got = c.column ? Column(bar.Screen(), c.at, c.from, c.to, FlatLegend())
                                         : Row(bar.Screen(), c.at, c.from, c.to, FlatLegend());
        EXPECT_EQ(got, c.expected);
    }
}

// The colours found in a rectangle of the screen.
std::set<Long> ColoursIn(const QImage& image, const gdi::Rect& rc) {
    std::set<Long> colours;
    for (int y = rc.top; y < rc.bottom; ++y)
        for (int x = rc.left; x < rc.right; ++x)
            colours.insert(ColorAt(image, x, y));
    return colours;
}

BarSetup HatchBar(Long value, Long brushStyle, bool text = false) {
    return BarSetup{200, 20, Hatch, value, 0, text, brushStyle};
}

TEST(BrushPainters, HatchFillsInsideTheBumpEdgeInBarColourOnTint140) {
    for (Long style = 0; style <= 5; ++style) {
        SCOPED_TRACE(style);
        PaintedBar bar(HatchBar(100, style));
        EXPECT_EQ(bar.Access().rcBar(), (gdi::Rect{2, 2, 198, 18}));
        EXPECT_EQ(ColoursIn(bar.Screen(), {2, 2, 198, 18}), (std::set<Long>{kBarColor, Tint(140)}));
        EXPECT_EQ(ColoursIn(bar.Screen(), {198, 2, 200, 18}).count(kBarColor), 0u);
    }
}

TEST(BrushPainters, HatchEdgeAt50PercentIs99) {
    PaintedBar bar(HatchBar(50, 4));
    EXPECT_EQ(bar.Access().rcBar().right, 99);
    EXPECT_EQ(ColoursIn(bar.Screen(), {99, 2, 198, 18}), std::set<Long>{kWhite});
}

// The text overlay leaves the DC transparent; the hatch must still paint its background on the
// next paint, so the picture does not depend on how many paints came before.
TEST(BrushPainters, HatchBackgroundSurvivesRepaintsWithText) {
    PaintedBar bar(HatchBar(100, 5, true));
    bar.Host().Paint();
    bar.Host().Paint();
    const std::set<Long> colours = ColoursIn(bar.Screen(), {2, 2, 60, 18});
    EXPECT_EQ(colours, (std::set<Long>{kBarColor, Tint(140)}));
}

TEST(BrushPainters, HatchStyleOutside16BitsEndsThePaintWithOverflow) {
    BarSetup setup{200, 20, Flat, 50};
    PaintedBar bar(setup);
    const QImage before = bar.Screen();
    bar.Control().SetBrushStyle(40000);
    EXPECT_THROW(bar.Control().SetScrolling(Hatch), OverflowError);
    EXPECT_EQ(bar.Screen(), before) << "a failed paint leaves the previous picture";
}

TEST(BrushPainters, HatchStyleThatIsNoPatternFillsNothing) {
    PaintedBar bar(HatchBar(100, 9));
    EXPECT_EQ(ColoursIn(bar.Screen(), {2, 2, 198, 18}), std::set<Long>{kWhite});
}

// A 4 x 4 tile of four colours (one per quadrant of 2 x 2) shows where the tiling is anchored.
std::shared_ptr<StdPicture> QuadrantTile() {
    QImage tile(4, 4, QImage::Format_RGB32);
    const QRgb colours[4] = {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(255, 255, 0)};
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            tile.setPixel(x, y, colours[(y / 2) * 2 + x / 2]);
    return std::make_shared<StdPicture>(tile);
}

BarSetup PictureBar(Long value) {
    return BarSetup{200, 20, Picture, value};
}

TEST(BrushPainters, PictureTilesFromTheSurfaceOrigin) {
    PaintedBar bar(PictureBar(100), QuadrantTile());
    // R red, G green, B blue, Y yellow; the tile's quadrants repeat every 4 pixels from (0, 0).
    Legend l;
    l.Exact('W', kWhite)
        .Exact('R', 0x0000FF)
        .Exact('G', 0x00FF00)
        .Exact('B', 0xFF0000)
        .Exact('Y', 0x00FFFF);
    EXPECT_EQ(Row(bar.Screen(), 2, 2, 10, l), "YYBBYYBB") << "row 2 is the tile's row 2";
    EXPECT_EQ(Row(bar.Screen(), 4, 2, 10, l), "GGRRGGRR");
    EXPECT_EQ(Row(bar.Screen(), 10, 194, 199, l), "YYBB"
                                                  "W")
        << "e = 198: tiles end at 197";
    EXPECT_EQ(Column(bar.Screen(), 2, 16, 19, l), "GG"
                                                  "W")
        << "tiles end at row 17";
}

TEST(BrushPainters, PictureWithoutImageOrAtZeroShowsOnlyTheEdge) {
    PaintedBar none(PictureBar(100));
    EXPECT_EQ(ColoursIn(none.Screen(), {2, 2, 198, 18}), std::set<Long>{kWhite});
    PaintedBar zero(PictureBar(0), QuadrantTile());
    EXPECT_EQ(ColoursIn(zero.Screen(), {1, 1, 199, 19}), std::set<Long>{kWhite});
}

TEST(BrushPainters, FillEdgesDivideBy101) {
    struct Case {
        const char* name;
        Long style;
        int width;
        Long value;
        Long right;
    };
    const Case cases[] = {
        {"flat at 100 % spans the whole width", Flat, 200, 100, 200},
        {"hatch at 100 % divides by 101", Hatch, 200, 100, 198},
        {"picture at 100 % divides by 101", Picture, 200, 100, 198},
        {"flat at 50 % on 100", Flat, 100, 50, 50},
        {"shaded at 50 % on 100: round(49.505)", Shaded, 100, 50, 50},
        {"shaded at 100 % on 200: round(198.02)", Shaded, 200, 100, 198},
        {"glass at 100 % on 200: width less 4", Glass, 200, 100, 196},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PaintedBar bar({c.width, 20, XPBlocks, c.value});
        bar.Control().SetImage(QuadrantTile());
        bar.Control().SetScrolling(c.style);
        EXPECT_EQ(bar.Access().rcBar().right, c.right);
    }
}

} // namespace
} // namespace vex::test
