// The XP family: fill edges snapped to blocks or 2-pixel steps, the stub, the bands, the
// searching blocks, the chunk gaps, the vertical orientation and the 24-pixel border.
#include "tests/progressbar/paint_fixture.h"

#include <gtest/gtest.h>

namespace vex::test {
namespace {

// W white, C bar colour, t the bands' light tint, g a colour between the two, a/b/c the three
// searching blocks (lightest first), and the border greys.
Legend XPLegend(Long style) {
    Legend l = BorderLegend();
    if (style == XPSearching) {
        l.Between('a', Tint(220), Tint(200))
            .Between('b', Tint(180), Tint(160))
            .Between('c', Tint(140), Tint(120));
    } else {
        l.Exact('C', kBarColor).Exact('t', Tint(150)).Between('g', kBarColor, Tint(150));
    }
    return l;
}

struct LineCase {
    const char* name; // the fault the row catches
    BarSetup bar;
    bool column;  // a column profile instead of a row
    int at;       // the row (or column) read
    int from, to; // the pixels read along it, end excluded
    std::string expected;
};

const LineCase kLineCases[] = {
    {"blocks at 50 % snap the edge to 99: twelve 6-pixel blocks, 2-pixel gaps",
     {200, 20, XPBlocks, 50},
     false,
     9,
     0,
     104,
     "FslW" + Repeat("CCCCCCWW", 12) + "WWWW"},
    {"blocks at 0 % show the stub: one block and one gap",
     {200, 20, XPBlocks, 0},
     false,
     9,
     0,
     17,
     "FslWCCCCCCWWWWWWW"},
    {"smooth at 100 % keeps the bands off the right border",
     {200, 20, XPSmooth, 100},
     false,
     9,
     190,
     200,
     "CCCCCCCClF"},
    {"blocks at 100 % on 100 pixels stop the fill at 94",
     {100, 20, XPBlocks, 100},
     false,
     9,
     80,
     100,
     "CCWWCCCCCCWWCCCWWWlF"},
    {"smooth at 50 % moves in 2-pixel steps: edge 103",
     {200, 20, XPSmooth, 50},
     false,
     9,
     98,
     106,
     "CCCCCWWW"},
    {"the upper band is overwritten by the solid band, the solid band by the lower band",
     {200, 20, XPBlocks, 50},
     true,
     46,
     0,
     20,
     "FsltggggCCCgggggtWlF"},
    {"searching at 50 % puts three blocks at 80, 92 and 104 (halves to even)",
     {200, 20, XPSearching, 50},
     false,
     9,
     76,
     118,
     "WWWW" + std::string(10, 'a') + "WW" + std::string(10, 'b') + "WW" + std::string(10, 'c') +
         "WWWW"},
    {"searching blocks cover rows 3 to B - 3",
     {200, 20, XPSearching, 50},
     true,
     85,
     0,
     20,
     "Fsl" + std::string(15, 'a') + "lF"},
    {"the stub applies to a control narrower than the stub",
     {10, 20, XPSmooth, 0},
     false,
     9,
     0,
     10,
     "FslWCCCClF"},
    {"vertical blocks at 50 % fill rows 104 to 199 in steps of 8 from the bottom",
     {20, 200, XPBlocks, 50, 1},
     true,
     10,
     96,
     200,
     "WWWWWWWWCCCCCC" + Repeat("WWCCCCCC", 11) + "lF"},
    {"vertical at 100 % on 100 rows starts the fill at row 4, row 3 stays white",
     {20, 100, XPBlocks, 100, 1},
     true,
     10,
     0,
     13,
     "FslWCCCCCCWWC"},
    {"vertical at 0 % paints no stub",
     {20, 200, XPBlocks, 0, 1},
     true,
     10,
     180,
     200,
     std::string(18, 'W') + "lF"},
    {"vertical bands run across: light left band, solid middle, light right band",
     {20, 200, XPSmooth, 50, 1},
     false,
     150,
     0,
     20,
     "FslWtggg"
     "CCCCC"
     "gggt"
     "WlF"},
    {"vertical searching blocks start at the edge and run down, unshifted",
     {20, 200, XPSearching, 50, 1},
     true,
     10,
     96,
     134,
     "WW" + std::string(10, 'a') + "WW" + std::string(10, 'b') + "WW" + std::string(10, 'c') +
         "WW"},
    {"vertical searching lines run from R - 2 leftwards to x = 3",
     {20, 200, XPSearching, 50, 1},
     false,
     100,
     0,
     20,
     "Fsl" + std::string(15, 'a') + "lF"},
};

TEST(XPPainters, PixelsAlongRowsAndColumns) {
    for (const LineCase& c : kLineCases) {
        SCOPED_TRACE(c.name);
        const Legend legend = XPLegend(c.bar.style);
        PaintedBar bar(c.bar);
        const std::string got = c.column ? Column(bar.Screen(), c.at, c.from, c.to, legend)
                                         : Row(bar.Screen(), c.at, c.from, c.to, legend);
        EXPECT_EQ(got, c.expected);
    }
}

struct EdgeCase {
    const char* name;
    BarSetup bar;
    gdi::Rect expectedBar; // rcBar after the paint
};

const EdgeCase kEdgeCases[] = {
    {"blocks at 50 %: round(103.51) = 104 snapped down to 99",
     {200, 20, XPBlocks, 50},
     {3, 0, 99, 20}},
    {"blocks at 0 %: edge 3 raised to the stub 12", {200, 20, XPBlocks, 0}, {3, 0, 12, 20}},
    {"smooth at 100 %: 204 snapped to 203, beyond the bar",
     {200, 20, XPSmooth, 100},
     {3, 0, 203, 20}},
    {"a negative percentage paints as 0", {200, 20, XPBlocks, -40}, {3, 0, 12, 20}},
    {"vertical blocks at 50 %: round(97.96) = 98 snapped to 104",
     {20, 200, XPBlocks, 50, 1},
     {3, 104, 20, 200}},
    {"vertical at 100 % on 100 rows: -2 snapped to 4",
     {20, 100, XPBlocks, 100, 1},
     {3, 4, 20, 100}},
    {"vertical at 0 %: the edge is the bottom", {20, 200, XPBlocks, 0, 1}, {3, 200, 20, 200}},
};

TEST(XPPainters, FillEdge) {
    for (const EdgeCase& c : kEdgeCases) {
        SCOPED_TRACE(c.name);
        PaintedBar bar(c.bar);
        EXPECT_EQ(bar.Access().rcBar(), c.expectedBar);
        EXPECT_EQ(bar.Access().rcClient().left, 0) << "the border lowers the raised left side";
    }
}

TEST(XPPainters, BlocksSetChunkMetrics) {
    PaintedBar blocks({200, 20, XPBlocks, 50});
    EXPECT_EQ(blocks.Access().lChunkWidth(), 6);
    EXPECT_EQ(blocks.Access().lChunkGap(), 2);
    PaintedBar smooth({200, 20, XPSmooth, 50});
    EXPECT_EQ(smooth.Access().lChunkWidth(), 0);
    EXPECT_EQ(smooth.Access().lChunkGap(), 2);
}

// The four corners of the border, 4 x 4 pixels each, on a bar with nothing near them.
TEST(XPPainters, BorderCornersAreShaded) {
    PaintedBar bar({200, 20, XPSearching, 0});
    const Legend legend = BorderLegend();
    const QImage& s = bar.Screen();
    struct Corner {
        const char* name;
        int x, y;
        std::vector<std::string> picture;
    };
    const Corner corners[] = {
        {"top left", 0, 0, {"WAdF", "amss", "dssl", "FslW"}},
        {"top right", 196, 0, {"FFFW", "ssFs", "llsd", "WWlF"}},
        {"bottom left", 0, 16, {"FslW", "dslW", "Amll", "WadF"}},
        {"bottom right", 196, 16, {"WWlF", "WWld", "llms", "FdsW"}},
    };
    for (const Corner& c : corners) {
        SCOPED_TRACE(c.name);
        for (int dy = 0; dy < 4; ++dy) {
            EXPECT_EQ(Row(s, c.y + dy, c.x, c.x + 4, legend), c.picture[dy]) << "row " << dy;
        }
    }
}

// A control wider than any picture: the paint must end with the overflow error instead of
// wrapping the fill edge round, and must not run a gap per block of a billion pixels.
TEST(XPPainters, EdgeBeyondTheLongRangeIsAnOverflow) {
    // The widest size a single-precision inner width still holds exactly below 2^31.
    HeadlessHost host(2147483520, 20);
    XP_ProgressBar& bar = host.Control();
    bar.SetScrolling(XPBlocks);
    bar.SetValue(50); // about a billion pixels: fine
    EXPECT_THROW(bar.SetValue(100), OverflowError);
}

} // namespace
} // namespace vex::test
