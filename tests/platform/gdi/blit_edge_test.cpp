// Block transfers and 3-D edges.

#include "tests/support/pixel_picture.h"

#include <gtest/gtest.h>

namespace gdi::test {
namespace {

using namespace vex::test;

// A memory DC holding a bitmap made from a picture; cleans up after itself.
class MemorySurface {
  public:
    explicit MemorySurface(const QImage& image)
        : dc_(CreateCompatibleDC(0)), bitmap_(CreateBitmapFromImage(image)),
          old_(SelectObject(dc_, bitmap_)) {}
    ~MemorySurface() {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    MemorySurface(const MemorySurface&) = delete;
    MemorySurface& operator=(const MemorySurface&) = delete;
    HDC dc() const { return dc_; }

  private:
    HDC dc_;
    HBITMAP bitmap_;
    HGDIOBJ old_;
};

struct BlitCase {
    const char* name;
    int x, y, width, height, xSrc, ySrc;
    const char* picture;
};

const BlitCase kBlits[] = {
    {"plain_copy", 1, 1, 3, 2, 0, 0, R"(
.....
.rgb.
.by#.
.....)"},
    {"larger_than_the_source_copies_only_the_source", 0, 0, 5, 4, 0, 0, R"(
rgb..
by#..
.....
.....)"},
    {"source_offset_runs_past_the_source", 0, 0, 3, 2, 1, 1, R"(
y#...
.....
.....
.....)"},
    {"negative_source_offset_skips_the_missing_column", 0, 0, 3, 2, -1, 0, R"(
.rg..
.by..
.....
.....)"},
    {"destination_partly_outside", -1, 3, 3, 2, 0, 0, R"(
.....
.....
.....
gb...)"},
    {"zero_width_copies_nothing", 1, 1, 0, 2, 0, 0, R"(
.....
.....
.....
.....)"},
    {"entirely_outside_copies_nothing", 7, 1, 3, 2, 0, 0, R"(
.....
.....
.....
.....)"},
};

TEST(BitBlt, CopiesClippedToSourceAndDestination) {
    const MemorySurface source(ImageOf("rgb\nby#", kLegend));
    for (const BlitCase& c : kBlits) {
        SCOPED_TRACE(c.name);
        Canvas canvas(5, 4);
        EXPECT_TRUE(
            BitBlt(canvas.dc(), c.x, c.y, c.width, c.height, source.dc(), c.xSrc, c.ySrc, SRCCOPY));
        EXPECT_EQ(canvas.Picture(kLegend), c.picture);
    }
}

TEST(BitBlt, OverlappingCopyWithinOneSurface) {
    const MemorySurface surface(ImageOf("rgby.\nb....\n#....", kLegend));
    ASSERT_TRUE(BitBlt(surface.dc(), 1, 0, 4, 1, surface.dc(), 0, 0, SRCCOPY));
    ASSERT_TRUE(BitBlt(surface.dc(), 0, 1, 1, 2, surface.dc(), 0, 0, SRCCOPY));
    EXPECT_EQ(PictureOf(*ImageOfDC(surface.dc()), kLegend), "\nrrgby\nr....\nb....");
}

// Rows as wide as both images are copied as one block; the overlap must still come out as if
// copied row by row.
TEST(BitBlt, WholeRowsCopyAsOneBlockAlsoWhenOverlapping) {
    const MemorySurface down(ImageOf("rgb\nby#\n...\n...", kLegend));
    ASSERT_TRUE(BitBlt(down.dc(), 0, 1, 3, 3, down.dc(), 0, 0, SRCCOPY));
    EXPECT_EQ(PictureOf(*ImageOfDC(down.dc()), kLegend), "\nrgb\nrgb\nby#\n...");

    const MemorySurface up(ImageOf("...\nrgb\nby#\n.#.", kLegend));
    ASSERT_TRUE(BitBlt(up.dc(), 0, 0, 3, 3, up.dc(), 0, 1, SRCCOPY));
    EXPECT_EQ(PictureOf(*ImageOfDC(up.dc()), kLegend), "\nrgb\nby#\n.#.\n.#.");

    const MemorySurface target(ImageOf("...\n...\n...", kLegend));
    ASSERT_TRUE(BitBlt(target.dc(), 0, 1, 3, 5, up.dc(), 0, 0, SRCCOPY));
    EXPECT_EQ(PictureOf(*ImageOfDC(target.dc()), kLegend), "\n...\nrgb\nby#");
}

TEST(BitBlt, FailsWithoutSourcePixelsOrWithAnotherOperation) {
    const HDC screen = CreateDCA("DISPLAY", "", "", nullptr);
    const HDC freshMemory = CreateCompatibleDC(screen);
    Canvas canvas(2, 2);
    EXPECT_FALSE(BitBlt(canvas.dc(), 0, 0, 2, 2, screen, 0, 0, SRCCOPY));
    EXPECT_FALSE(BitBlt(screen, 0, 0, 2, 2, canvas.dc(), 0, 0, SRCCOPY));
    EXPECT_FALSE(BitBlt(canvas.dc(), 0, 0, 2, 2, 0, 0, 0, SRCCOPY));
    EXPECT_FALSE(BitBlt(canvas.dc(), 0, 0, 2, 2, canvas.dc(), 0, 0, PATCOPY));
    // A memory DC whose surface was released is a stale handle: the copy fails, no crash.
    DeleteDC(freshMemory);
    EXPECT_FALSE(BitBlt(canvas.dc(), 0, 0, 2, 2, freshMemory, 0, 0, SRCCOPY));
    DeleteDC(screen);
    EXPECT_EQ(canvas.Picture(kLegend), "\n..\n..");
}

// --- DrawEdge ---------------------------------------------------------------------------------

struct EdgeCase {
    const char* name;
    UINT edge;
    Rect rc;
    const char* picture;
};

// S = 3-D shadow, H = 3-D highlight, D = dark shadow, L = 3-D light; '.' untouched.
const EdgeCase kEdges[] = {
    {"sunken_outer_ring", BDR_SUNKENOUTER, {1, 1, 6, 5}, R"(
.......
.SSSSH.
.S...H.
.S...H.
.HHHHH.
.......)"},
    {"etched_sunken_outside_raised_inside", EDGE_ETCHED, {1, 1, 6, 5}, R"(
.......
.SSSSH.
.SHHSH.
.SSSSH.
.HHHHH.
.......)"},
    {"bump_raised_outside_sunken_inside", EDGE_BUMP, {1, 1, 6, 5}, R"(
.......
.LLLLD.
.LDDLD.
.LLLLD.
.DDDDD.
.......)"},
    {"one_pixel_rectangle_takes_the_bottom_right_colour", EDGE_ETCHED, {1, 1, 2, 2}, R"(
.......
.H.....
.......
.......
.......
.......)"},
    {"empty_rectangle_draws_nothing", EDGE_BUMP, {4, 4, 1, 1}, R"(
.......
.......
.......
.......
.......
.......)"},
};

TEST(DrawEdge, DrawsOnePixelRingsInThe3DColours) {
    const Legend legend = {{kGreen, '.'},
                           {GetSysColor(COLOR_3DSHADOW), 'S'},
                           {GetSysColor(COLOR_3DHIGHLIGHT), 'H'},
                           {GetSysColor(COLOR_3DDKSHADOW), 'D'},
                           {GetSysColor(COLOR_3DLIGHT), 'L'}};
    ASSERT_EQ(legend.size(), 5u) << "the palette's 3-D colours must differ for this test";
    for (const EdgeCase& c : kEdges) {
        SCOPED_TRACE(c.name);
        Canvas canvas(7, 6, kGreen);
        Rect rc = c.rc;
        EXPECT_TRUE(DrawEdge(canvas.dc(), &rc, c.edge, BF_RECT));
        EXPECT_EQ(rc, c.rc); // no adjustment without BF_ADJUST
        EXPECT_EQ(canvas.Picture(legend), c.picture);
    }
}

TEST(DrawEdge, FailsWithoutADcOrRectangle) {
    Rect rc{0, 0, 4, 4};
    EXPECT_FALSE(DrawEdge(0, &rc, EDGE_ETCHED, BF_RECT));
    Canvas canvas(4, 4);
    EXPECT_FALSE(DrawEdge(canvas.dc(), nullptr, EDGE_ETCHED, BF_RECT));
}

} // namespace
} // namespace gdi::test
