// The off-screen surface: grow-only sizes, release order, the zero state after any failure,
// and the single straight copy to the screen.
#include "progressbar/headless/HeadlessHost.h"
#include "progressbar/primitives.h"
#include "tests/progressbar/test_access.h"
#include "tests/support/pixel_picture.h"

#include <gtest/gtest.h>

namespace vex {
namespace {

struct SurfaceFields {
    Long hMemDC, hMemBitmap, hOldBitmap, lMemWidth, lMemHeight;
};

SurfaceFields FieldsOf(XP_ProgressBar& bar) {
    XP_ProgressBarTestAccess a(bar);
    return {a.hMemDC(), a.hMemBitmap(), a.hOldBitmap(), a.lMemWidth(), a.lMemHeight()};
}

void ExpectNoSurface(XP_ProgressBar& bar) {
    const SurfaceFields f = FieldsOf(bar);
    EXPECT_EQ(f.hMemDC, 0);
    EXPECT_EQ(f.hMemBitmap, 0);
    EXPECT_EQ(f.hOldBitmap, 0);
    EXPECT_EQ(f.lMemWidth, 0);
    EXPECT_EQ(f.lMemHeight, 0);
}

// Each row resizes the control through its host and says which surface it must end with.
TEST(Surface, GrowsButNeverShrinks) {
    struct Step {
        const char* name;
        int width, height;
        Long surfaceWidth, surfaceHeight;
    };
    const Step steps[] = {
        {"first size makes the surface", 100, 20, 100, 20},
        {"wider recreates at the new size", 150, 20, 150, 20},
        {"shrinking back keeps the larger surface", 100, 20, 150, 20},
        {"a size inside the surface keeps it", 150, 20, 150, 20},
        {"taller and narrower recreates at exactly that size", 120, 30, 120, 30},
        {"wider and lower recreates at exactly that size", 150, 10, 150, 10},
        {"zero keeps the surface", 0, 0, 150, 10},
        {"negative keeps the surface", -4, -4, 150, 10},
    };
    HeadlessHost host(0, 0);
    XP_ProgressBar& bar = host.Control();
    XP_ProgressBarTestAccess a(bar);
    for (const Step& s : steps) {
        SCOPED_TRACE(s.name);
        host.Resize(s.width, s.height);
        EXPECT_EQ(a.lMemWidth(), s.surfaceWidth);
        EXPECT_EQ(a.lMemHeight(), s.surfaceHeight);
        ASSERT_NE(a.hMemDC(), 0);
        EXPECT_EQ(bar.GethDc(), a.hMemDC()) << "painting must go to the current surface";
        const QImage* pixels = gdi::ImageOfDC(a.hMemDC());
        ASSERT_NE(pixels, nullptr);
        EXPECT_EQ(pixels->size(), QSize(s.surfaceWidth, s.surfaceHeight));
        EXPECT_EQ(pixels->format(), QImage::Format_RGB32) << "the screen's pixel format";
    }
}

TEST(Surface, ShrunkControlStillShowsItsWholeArea) {
    HeadlessHost host(150, 20);
    host.Resize(100, 20);
    gdi::SetPixelV(host.OwnDC(), 99, 19, gdi::RGB(255, 0, 255));
    host.Control().SetValue(10);
    EXPECT_NE(test::ColorAt(host.Screen(), 99, 19), gdi::RGB(255, 0, 255))
        << "the copy must cover the whole control";
}

TEST(Surface, EnsureYieldsZeroWithoutASizeAndTheMemoryDCOtherwise) {
    struct Case {
        const char* name;
        Long width, height;
        bool surface;
    };
    const Case cases[] = {
        {"zero width", 0, 10, false}, {"zero height", 10, 0, false},
        {"negative", -3, 10, false},  {"one pixel", 1, 1, true},
        {"ordinary", 64, 16, true},   {"beyond any screen", 100000, 100000, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HeadlessHost host(10, 10, false);
        XP_ProgressBarTestAccess a(host.Control());
        const Long dc = a.EnsureSurface(c.width, c.height);
        EXPECT_EQ(dc, a.hMemDC());
        EXPECT_EQ(dc != 0, c.surface);
        if (!c.surface) ExpectNoSurface(host.Control());
    }
}

TEST(Surface, DestroyTwiceIsHarmlessAndReleasesEverything) {
    HeadlessHost host(10, 10, false);
    XP_ProgressBarTestAccess a(host.Control());
    const int before = gdi::LiveObjectCount();
    a.CreateSurface(40, 12);
    EXPECT_EQ(gdi::LiveObjectCount(), before + 2) << "one memory DC and one bitmap";
    a.DestroySurface();
    ExpectNoSurface(host.Control());
    EXPECT_EQ(gdi::LiveObjectCount(), before);
    a.DestroySurface();
    ExpectNoSurface(host.Control());
    EXPECT_EQ(gdi::LiveObjectCount(), before);
}

TEST(Surface, RecreatingReleasesTheOldSurface) {
    HeadlessHost host(10, 10, false);
    XP_ProgressBarTestAccess a(host.Control());
    const int before = gdi::LiveObjectCount();
    a.EnsureSurface(40, 12);
    a.EnsureSurface(80, 12);
    a.EnsureSurface(80, 24);
    EXPECT_EQ(gdi::LiveObjectCount(), before + 2);
    EXPECT_EQ(a.lMemWidth(), 80);
    EXPECT_EQ(a.lMemHeight(), 24);
}

// Whichever platform call refuses, the control ends without a surface and without leaks. While
// growing, the first SelectObject is the one that gives the old surface its bitmap back, so that
// entry is only refused on a first creation.
TEST(Surface, EveryFailingStepLeavesTheZeroState) {
    struct Case {
        const char* entry;
        bool hadSurface;
    };
    const Case cases[] = {
        {"CreateDCA", false},
        {"CreateDCA", true},
        {"CreateCompatibleDC", false},
        {"CreateCompatibleDC", true},
        {"CreateCompatibleBitmap", false},
        {"CreateCompatibleBitmap", true},
        {"SelectObject", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.entry) + (c.hadSurface ? " while growing" : " at first"));
        HeadlessHost host(10, 10, false);
        XP_ProgressBarTestAccess a(host.Control());
        const int before = gdi::LiveObjectCount();
        if (c.hadSurface) a.EnsureSurface(20, 8);
        gdi::FailNextCalls(c.entry);
        EXPECT_EQ(a.EnsureSurface(30, 8), 0);
        gdi::ClearFailures();
        ExpectNoSurface(host.Control());
        EXPECT_EQ(gdi::LiveObjectCount(), before);
    }
}

TEST(Surface, FailedEnlargementPaintsStraightOnTheScreen) {
    HeadlessHost host(40, 10);
    XP_ProgressBar& bar = host.Control();
    XP_ProgressBarTestAccess a(bar);
    ASSERT_EQ(a.bUseMemDC(), kTrue);
    gdi::FailNextCalls("CreateCompatibleBitmap");
    host.Resize(60, 10);
    gdi::ClearFailures();
    EXPECT_EQ(bar.GethDc(), host.OwnDC());
    EXPECT_EQ(a.bUseMemDC(), kTrue) << "the flag never goes back to False";
    gdi::SetPixelV(host.OwnDC(), 59, 9, gdi::RGB(255, 0, 255));
    bar.SetValue(30); // paints on the own DC; the copy from no surface does nothing
    EXPECT_NE(test::ColorAt(host.Screen(), 59, 9), gdi::RGB(255, 0, 255));
    host.Resize(60, 10); // the next resize tries again
    EXPECT_EQ(a.lMemWidth(), 60);
    EXPECT_EQ(bar.GethDc(), a.hMemDC());
}

// pDraw: a size below 1 means the whole surface; everything else is copied as asked.
TEST(Surface, PDrawCopiesTheRequestedBlock) {
    struct Case {
        const char* name;
        Long xSrc, ySrc, widthSrc, heightSrc, xDst, yDst;
        const char* expected;
    };
    // The surface is 4 x 2: row 0 "ab..", row 1 "cd.."; the destination is 6 x 3 of '-'.
    const Case cases[] = {
        {"whole surface when both sizes are omitted", 0, 0, 0, 0, 0, 0, "ab..--\ncd..--\n------"},
        {"zero and negative mean the whole surface", 0, 0, 0, -5, 0, 0, "ab..--\ncd..--\n------"},
        {"an explicit block", 0, 0, 2, 1, 0, 0, "ab----\n------\n------"},
        {"source corner and destination offset", 1, 1, 1, 1, 5, 2, "------\n------\n-----d"},
        {"whole surface moved", 0, 0, 0, 0, 2, 1, "------\n--ab..\n--cd.."},
    };
    const test::Legend legend = {
        {gdi::RGB(255, 0, 0), 'a'},   {gdi::RGB(0, 255, 0), 'b'},     {gdi::RGB(0, 0, 255), 'c'},
        {gdi::RGB(255, 255, 0), 'd'}, {gdi::RGB(255, 255, 255), '.'}, {gdi::RGB(0, 0, 0), '-'},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HeadlessHost host(4, 2, false);
        XP_ProgressBarTestAccess a(host.Control());
        a.CreateSurface(4, 2);
        const gdi::HDC mem = a.hMemDC();
        FillSolid(gdi::Rect{0, 0, 4, 2}, 0xFFFFFF, mem);
        gdi::SetPixelV(mem, 0, 0, gdi::RGB(255, 0, 0));
        gdi::SetPixelV(mem, 1, 0, gdi::RGB(0, 255, 0));
        gdi::SetPixelV(mem, 0, 1, gdi::RGB(0, 0, 255));
        gdi::SetPixelV(mem, 1, 1, gdi::RGB(255, 255, 0));
        test::Canvas screen(6, 3, 0x000000);
        EXPECT_TRUE(host.Control().pDraw(screen.dc(), c.xSrc, c.ySrc, c.widthSrc, c.heightSrc,
                                         c.xDst, c.yDst));
        EXPECT_EQ(screen.Picture(legend), c.expected);
    }
}

TEST(Surface, PDrawWithoutASurfaceDoesNothing) {
    HeadlessHost host(4, 2, false);
    test::Canvas screen(3, 2, 0x000000);
    const int before = gdi::LiveObjectCount();
    EXPECT_TRUE(host.Control().pDraw(screen.dc()));
    EXPECT_EQ(screen.Picture({{0, '-'}}), "---\n---");
    EXPECT_EQ(gdi::LiveObjectCount(), before);
}

} // namespace
} // namespace vex
