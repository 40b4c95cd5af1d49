// The renderer: the cap at 100, the clear, the dispatch, the copy to the screen, and what an
// error does to the picture.
#include "tests/progressbar/paint_fixture.h"

#include <gtest/gtest.h>

namespace vex::test {
namespace {

TEST(Renderer, CapsThePercentageAt100) {
    PaintedBar capped({200, 20, XPSmooth, 150, 0, true});
    EXPECT_EQ(capped.Control().StoredPercent(), 100);
    PaintedBar full({200, 20, XPSmooth, 100, 0, true});
    EXPECT_EQ(capped.Screen(), full.Screen());
}

TEST(Renderer, ClearsToBlackForDarkAndWhiteOtherwise) {
    for (Long style = -1; style <= 12; ++style) {
        SCOPED_TRACE(style);
        PaintedBar bar({200, 20, style, 0});
        // A pixel only the clear reaches at 0 %: Shaded's track covers rows 2 to 17.
        const int y = style == Shaded ? 1 : 17;
        EXPECT_EQ(ColorAt(bar.Screen(), 150, y), style == Dark ? kBlack : kWhite);
    }
}

// Pairs of bars that must paint the same picture.
TEST(Renderer, SamePictureCases) {
    struct Case {
        const char* name;
        BarSetup a, b;
    };
    const Case cases[] = {
        {"style 12 paints as smooth", {200, 20, 12, 40, 0, true}, {200, 20, XPSmooth, 40, 0, true}},
        {"style -1 paints as smooth", {200, 20, -1, 40, 0, true}, {200, 20, XPSmooth, 40, 0, true}},
        {"style 12 is vertical like smooth", {20, 200, 12, 40, 1}, {20, 200, XPSmooth, 40, 1}},
        {"blocks below 0 % paint as 0 %", {200, 20, XPBlocks, -30}, {200, 20, XPBlocks, 0}},
        {"smooth below 0 % paints as 0 % vertically",
         {20, 200, XPSmooth, -30, 1},
         {20, 200, XPSmooth, 0, 1}},
        {"flat below 0 % paints as 0 %", {200, 20, Flat, -30}, {200, 20, Flat, 0}},
        {"shaded below 0 % paints as 0 %", {200, 20, Shaded, -30}, {200, 20, Shaded, 0}},
        {"glass below 0 % paints as 0 %", {200, 20, Glass, -30}, {200, 20, Glass, 0}},
        {"any non-zero orientation is vertical",
         {20, 200, XPBlocks, 60, -7},
         {20, 200, XPBlocks, 60, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PaintedBar a(c.a);
        PaintedBar b(c.b);
        EXPECT_EQ(a.Screen(), b.Screen());
    }
}

TEST(Renderer, StylesThreeToNineIgnoreTheOrientation) {
    for (Long style = Flat; style <= Glass; ++style) {
        SCOPED_TRACE(style);
        PaintedBar horizontal({200, 20, style, 70, 0, true, 4});
        PaintedBar vertical({200, 20, style, 70, 1, true, 4});
        EXPECT_EQ(horizontal.Screen(), vertical.Screen());
    }
}

TEST(Renderer, RestoresTheClientRectAfterEveryStyle) {
    for (Long style = -1; style <= 10; ++style) {
        SCOPED_TRACE(style);
        PaintedBar bar({200, 20, style, 50, 0, true});
        EXPECT_EQ(bar.Access().rcClient(), (gdi::Rect{0, 0, 200, 20}));
    }
}

// Without a surface every layer goes straight to the control's own DC.
TEST(Renderer, PaintsStraightOnTheScreenWithoutASurface) {
    gdi::FailNextCalls("CreateCompatibleBitmap");
    PaintedBar bar({200, 20, XPBlocks, 0});
    gdi::ClearFailures();
    ASSERT_FALSE(IsTrue(bar.Access().bUseMemDC()));
    EXPECT_EQ(bar.Control().GethDc(), bar.Host().OwnDC());
    EXPECT_EQ(ColorAt(bar.Screen(), 5, 9), kBarColor) << "the stub block";
    EXPECT_EQ(ColorAt(bar.Screen(), 0, 0), kWhite) << "the border's corner";
}

// The surface is larger than the control after a shrink; only the control's size is copied.
TEST(Renderer, CopiesOnlyTheControlsSizeFromALargerSurface) {
    PaintedBar bar({200, 20, Flat, 100});
    bar.Host().Resize(100, 20);
    EXPECT_EQ(bar.Access().lMemWidth(), 200);
    ASSERT_EQ(bar.Screen().width(), 100);
    EXPECT_EQ(ColorAt(bar.Screen(), 99, 10), Tint(180)) << "the fill reaches the new right edge";
}

// A paint that fails leaves the screen as the last complete paint made it.
TEST(Renderer, ErrorKeepsThePreviousPicture) {
    PaintedBar bar({200, 20, Flat, 50});
    const QImage before = bar.Screen();
    bar.Control().SetBrushStyle(-40000);
    EXPECT_THROW(bar.Control().SetScrolling(Hatch), OverflowError);
    EXPECT_EQ(bar.Control().GetScrolling(), Hatch) << "the setter stored before it painted";
    EXPECT_EQ(bar.Screen(), before);
}

} // namespace
} // namespace vex::test
