// The colour helpers' numbers, the fill/frame/line pixel rules, the gradient's colours and
// geometry, and the rule that every primitive leaves the DC's objects as it found them.
#include "progressbar/headless/HeadlessHost.h"
#include "progressbar/primitives.h"
#include "tests/support/pixel_picture.h"

#include <gtest/gtest.h>

#include <climits>
#include <functional>

namespace vex {
namespace {

using test::Canvas;
using test::ColorAt;

constexpr Long kHighlightCode = static_cast<Long>(0x8000000D);

TEST(ResolveColor, SystemCodesBecomeRgbOthersStay) {
    struct Case {
        const char* name;
        Long color;
        Long expected;
    };
    const Case cases[] = {
        {"highlight code", kHighlightCode, gdi::GetSysColor(13)},
        {"button face code", static_cast<Long>(0x8000000F), gdi::GetSysColor(15)},
        {"active caption code", static_cast<Long>(0x80000002), gdi::GetSysColor(2)},
        {"plain RGB", 0x00C000, 0x00C000},
        {"black", 0, 0},
        {"bit 31 clear with high bits set", 0x7F123456, 0x7F123456},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ResolveColor(c.color), c.expected);
    }
    EXPECT_GE(ResolveColor(kHighlightCode), 0);
}

TEST(LightenColor, MovesEveryChannelTowardsWhite) {
    struct Case {
        const char* name;
        Long color, amount, expected;
    };
    const Case cases[] = {
        {"black by 80", 0x000000, 80, 0x505050},
        {"channels truncate before adding", 0xFF9933, 80, 0xFFB973},
        {"amount 0 keeps the colour", 0x123456, 0, 0x123456},
        {"amount 255 is white", 0x123456, 255, 0xFFFFFF},
        {"amounts above 255 are capped at white", 0x000000, 300, 0xFFFFFF},
        {"white stays white", 0xFFFFFF, 120, 0xFFFFFF},
        {"a painter's tint", 0x00C000, 100, 0x64D864},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(LightenColor(c.color, c.amount), c.expected);
    }
}

TEST(BlendColors, WeightsTheFirstColour) {
    struct Case {
        const char* name;
        Long a, b, weight, expected;
    };
    const Case cases[] = {
        {"full weight gives the first colour", 0xC0C0C0, 0, 255, 0xC0C0C0},
        {"zero weight gives the second colour", 0xC0C0C0, 0x102030, 0, 0x102030},
        {"half-weighted red", 0x0000FF, 0, 128, 0x000080},
        {"darkening rounds each channel", gdi::RGB(10, 36, 106), 0, 200, gdi::RGB(8, 28, 83)},
        {"both sides contribute", 0x0000FF, 0xFF0000, 128, 0x7F0080},
        {"a system colour is resolved first", kHighlightCode, 0, 255, gdi::GetSysColor(13)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(BlendColors(c.a, c.b, c.weight), c.expected);
    }
}

const test::Legend kLegend = {{0xFFFFFF, '.'}, {0x0000FF, 'r'}, {0x00FF00, 'g'}, {0x000000, '#'}};

TEST(FillSolid, FillsWithoutTheRightColumnAndBottomRow) {
    Canvas canvas(6, 4);
    FillSolid(gdi::Rect{1, 1, 4, 3}, 0x0000FF, canvas.dc());
    EXPECT_EQ(canvas.Picture(kLegend), "......\n.rrr..\n.rrr..\n......");
}

TEST(FillSolid, ResolvesASystemColour) {
    Canvas canvas(2, 1);
    FillSolid(gdi::Rect{0, 0, 2, 1}, kHighlightCode, canvas.dc());
    EXPECT_EQ(ColorAt(canvas.image(), 1, 0), gdi::GetSysColor(13));
}

TEST(DrawFrameRect, FramesOnePixelInside) {
    Canvas canvas(6, 5);
    DrawFrameRect(gdi::Rect{0, 0, 5, 4}, 0x00FF00, canvas.dc());
    EXPECT_EQ(canvas.Picture(kLegend), "ggggg.\ng...g.\ng...g.\nggggg.\n......");
}

TEST(DrawLine, DrawsTheStartPixelButNotTheEnd) {
    struct Case {
        const char* name;
        Long x, y, x2, y2;
        const char* expected;
    };
    const Case cases[] = {
        {"rightwards", 1, 1, 4, 1, ".....\n.rrr.\n....."},
        {"leftwards", 4, 1, 1, 1, ".....\n..rrr\n....."},
        {
            "downwards",
            0,
            0,
            0,
            3,
            "r....\nr....\nr....",
        },
        {"end equal to start draws nothing", 2, 1, 2, 1, ".....\n.....\n....."},
    };
    HeadlessHost host(1, 1);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Canvas canvas(5, 3);
        EXPECT_TRUE(host.Control().DrawLine(c.x, c.y, c.x2, c.y2, canvas.dc(), 0x0000FF));
        EXPECT_EQ(canvas.Picture(kLegend), c.expected);
    }
}

// The red channel of each gradient line, read down the first column of horizontal lines.
std::vector<int> RedOfRows(const QImage& image, int rows) {
    std::vector<int> reds;
    for (int y = 0; y < rows; ++y)
        reds.push_back(ColorAt(image, 0, y) & 0xFF);
    return reds;
}

TEST(DrawGradient, LineColoursRunFromEndToStart) {
    struct Case {
        const char* name;
        Long endColor, startColor, span;
        std::vector<int> reds; // one per line; the row after the band stays untouched
    };
    const Case cases[] = {
        {"four steps, 127.5 rounds to even", 0x000000, 0x0000FF, 4, {0, 64, 128, 191, 255}},
        {"two steps", 0x000000, 0x0000FF, 2, {0, 128, 255}},
        {"white to black in three steps", 0xFFFFFF, 0x000000, 3, {255, 170, 85, 0}},
        {"span 0 draws one line in the end colour", 0x000040, 0x0000FF, 0, {0x40}},
    };
    HeadlessHost host(1, 1);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Canvas canvas(3, 8, 0x00FF00);
        Long end = c.endColor, start = c.startColor;
        EXPECT_TRUE(host.Control().DrawGradient(end, start, 0, 0, 3, c.span, canvas.dc()));
        const int lines = static_cast<int>(c.reds.size());
        EXPECT_EQ(RedOfRows(canvas.image(), lines), c.reds);
        for (int y = 0; y < lines; ++y) {
            const Long rgb = ColorAt(canvas.image(), 2, y);
            EXPECT_EQ((rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF) << "grey or red only, row " << y;
        }
        EXPECT_EQ(ColorAt(canvas.image(), 0, lines), 0x00FF00) << "one line too many";
    }
}

TEST(DrawGradient, NegativeSpanDrawsNothingAndReportsNothing) {
    HeadlessHost host(1, 1);
    Canvas canvas(3, 3, 0x00FF00);
    Long end = 0, start = 0xFF;
    EXPECT_TRUE(host.Control().DrawGradient(end, start, 0, 0, 3, -1, canvas.dc()));
    EXPECT_EQ(canvas.Picture(kLegend), "ggg\nggg\nggg");
}

TEST(DrawGradient, WritesResolvedColoursBack) {
    HeadlessHost host(1, 1);
    Canvas canvas(2, 2);
    Long end = kHighlightCode, start = static_cast<Long>(0x8000000F);
    host.Control().DrawGradient(end, start, 0, 0, 2, 1, canvas.dc());
    EXPECT_EQ(end, gdi::GetSysColor(13));
    EXPECT_EQ(start, gdi::GetSysColor(15));
}

// Which pixels a band covers: '#' inside, '.' outside.
TEST(DrawGradient, BandGeometryInBothDirections) {
    struct Case {
        const char* name;
        Long x, y, x2, y2;
        Boolean bH;
        QRect covered; // inclusive pixel rectangle
    };
    const Case cases[] = {
        {"vertical lines: X2 steps, Y2 exclusive end row", 4, 2, 9, 18, kTrue, QRect(4, 2, 10, 16)},
        {"horizontal lines: Y2 steps, X2 exclusive end column", 1, 3, 6, 2, kFalse,
         QRect(1, 3, 5, 3)},
        {"horizontal lines may run leftwards", 8, 0, 2, 1, kFalse, QRect(3, 0, 6, 2)},
    };
    HeadlessHost host(1, 1);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Canvas canvas(20, 20);
        Long end = 0x000000, start = 0x000000;
        host.Control().DrawGradient(end, start, c.x, c.y, c.x2, c.y2, canvas.dc(), c.bH);
        for (int y = 0; y < 20; ++y) {
            for (int x = 0; x < 20; ++x) {
                EXPECT_EQ(ColorAt(canvas.image(), x, y) == 0, c.covered.contains(x, y))
                    << "pixel " << x << "," << y;
            }
        }
    }
}

TEST(DrawGradient, OverflowingLinesAreSkippedWithoutAnError) {
    HeadlessHost host(1, 1);
    Canvas canvas(4, 4, 0x00FF00);
    Long end = 0, start = 0xFF;
    EXPECT_TRUE(host.Control().DrawGradient(end, start, INT_MAX - 1, 0, 3, 2, canvas.dc(), kTrue));
    EXPECT_TRUE(host.Control().DrawGradient(end, start, 0, INT_MAX, 2, 5, canvas.dc(), kFalse));
    EXPECT_EQ(canvas.Picture(kLegend), "gggg\ngggg\ngggg\ngggg");
}

// A band far longer than the target finishes, and the visible lines still get their colours.
TEST(DrawGradient, HugeSpanDrawsTheVisibleLines) {
    HeadlessHost host(1, 1);
    Canvas canvas(5, 2, 0x00FF00);
    Long end = 0x000000, start = 0xFFFFFF;
    EXPECT_TRUE(host.Control().DrawGradient(end, start, -2, 0, INT_MAX, 2, canvas.dc(), kTrue));
    EXPECT_EQ(canvas.Picture(kLegend), "#####\n#####");
}

// After any primitive the DC holds the pen and brush it held before, and no object is left.
TEST(Primitives, RestoreTheDCsObjectsAndLeakNothing) {
    HeadlessHost host(1, 1);
    XP_ProgressBar& bar = host.Control();
    const std::pair<const char*, std::function<void(gdi::HDC)>> cases[] = {
        {"FillSolid",
         [](gdi::HDC dc) {
             FillSolid(gdi::Rect{0, 0, 4, 4}, 0xFF, dc);
         }},
        {"DrawFrameRect",
         [](gdi::HDC dc) {
             DrawFrameRect(gdi::Rect{0, 0, 4, 4}, 0xFF, dc);
         }},
        {"DrawLine", [&](gdi::HDC dc) { bar.DrawLine(0, 0, 3, 3, dc, kHighlightCode); }},
        {"DrawGradient",
         [&](gdi::HDC dc) {
             Long e = 0, s = 0xFF;
             bar.DrawGradient(e, s, 0, 0, 4, 3, dc, kTrue);
         }},
        {"DrawGradient with span 0",
         [&](gdi::HDC dc) {
             Long e = 0, s = 0xFF;
             bar.DrawGradient(e, s, 0, 0, 4, 0, dc);
         }},
    };
    for (const auto& [name, draw] : cases) {
        SCOPED_TRACE(name);
        Canvas canvas(4, 4);
        const gdi::HPEN pen = gdi::CreatePen(gdi::PS_SOLID, 1, 0x00FF00);
        const gdi::HBRUSH brush = gdi::CreateSolidBrush(0x00FF00);
        const gdi::HGDIOBJ stockPen = gdi::SelectObject(canvas.dc(), pen);
        const gdi::HGDIOBJ stockBrush = gdi::SelectObject(canvas.dc(), brush);
        const int before = gdi::LiveObjectCount();

        draw(canvas.dc());

        EXPECT_EQ(gdi::LiveObjectCount(), before);
        EXPECT_EQ(gdi::SelectObject(canvas.dc(), stockPen), pen);
        EXPECT_EQ(gdi::SelectObject(canvas.dc(), stockBrush), brush);
        gdi::DeleteObject(pen);
        gdi::DeleteObject(brush);
    }
}

TEST(Primitives, BadDCDrawsNothingAndLeaksNothing) {
    HeadlessHost host(1, 1);
    XP_ProgressBar& bar = host.Control();
    const int before = gdi::LiveObjectCount();
    FillSolid(gdi::Rect{0, 0, 4, 4}, 0xFF, 0);
    DrawFrameRect(gdi::Rect{0, 0, 4, 4}, 0xFF, 12345);
    EXPECT_TRUE(bar.DrawLine(0, 0, 3, 3, 0, 0xFF));
    Long e = 0, s = 0xFF;
    EXPECT_TRUE(bar.DrawGradient(e, s, 0, 0, 4, 3, 0, kTrue));
    EXPECT_EQ(gdi::LiveObjectCount(), before);
}

TEST(Primitives, FailingPenOrBrushDrawsNothing) {
    HeadlessHost host(1, 1);
    Canvas canvas(3, 1);
    const int before = gdi::LiveObjectCount();
    gdi::FailNextCalls("CreatePen");
    host.Control().DrawLine(0, 0, 3, 0, canvas.dc(), 0xFF);
    gdi::FailNextCalls("CreateSolidBrush");
    FillSolid(gdi::Rect{0, 0, 3, 1}, 0xFF, canvas.dc());
    gdi::ClearFailures();
    EXPECT_EQ(gdi::LiveObjectCount(), before);
    // Without its pen or brush a primitive draws nothing or draws with the DC's own object.
    EXPECT_EQ(canvas.Picture(kLegend).find('r'), std::string::npos);
}

} // namespace
} // namespace vex
