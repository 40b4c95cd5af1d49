// Lines: start pixel drawn, end pixel excluded, GDI's stepping for slanted lines, either
// direction, clipping, and the current position.

#include "tests/support/pixel_picture.h"

#include <gtest/gtest.h>

namespace gdi::test {
namespace {

using namespace vex::test;

struct LineCase {
    const char* name; // the fault the row catches
    int x0, y0, x1, y1;
    const char* picture;
};

// Ties (the exact line passes halfway between two pixels) go to the upper pixel for lines
// that are wider than tall, and to the left pixel for lines taller than wide.
const LineCase kLines[] = {
    {"rightwards_excludes_end", 1, 1, 5, 1, R"(
......
.####.
......
......
......)"},
    {"leftwards_excludes_end_on_the_left", 5, 1, 1, 1, R"(
......
..####
......
......
......)"},
    {"downwards_excludes_bottom_end", 2, 0, 2, 4, R"(
..#...
..#...
..#...
..#...
......)"},
    {"upwards_excludes_top_end", 2, 4, 2, 0, R"(
......
..#...
..#...
..#...
..#...)"},
    {"shallow_tie_goes_up", 0, 0, 4, 1, R"(
###...
...#..
......
......
......)"},
    {"shallow_tie_goes_up_drawn_backwards", 4, 1, 0, 0, R"(
.##...
...##.
......
......
......)"},
    {"shallow_two_steps", 0, 0, 4, 2, R"(
##....
..##..
......
......
......)"},
    {"shallow_rising_tie_goes_up", 0, 3, 4, 1, R"(
......
...#..
.##...
#.....
......)"},
    {"steep_tie_goes_left", 0, 0, 1, 4, R"(
#.....
#.....
#.....
.#....
......)"},
    {"steep_tie_goes_left_drawn_upwards", 1, 4, 0, 0, R"(
......
#.....
#.....
.#....
.#....)"},
    {"diagonal_one_pixel_per_step", 0, 0, 3, 3, R"(
#.....
.#....
..#...
......
......)"},
    {"diagonal_up_left", 4, 4, 1, 1, R"(
......
......
..#...
...#..
....#.)"},
    {"one_third_slope_rounds_to_nearest", 0, 0, 5, 2, R"(
##....
..##..
....#.
......
......)"},
    {"same_start_and_end_draws_nothing", 3, 2, 3, 2, R"(
......
......
......
......
......)"},
    {"partly_outside_is_clipped", -3, -1, 9, 3, R"(
##....
..###.
.....#
......
......)"},
};

TEST(LineTo, DrawsThePixelsOfGdiLines) {
    for (const LineCase& c : kLines) {
        SCOPED_TRACE(c.name);
        Canvas canvas(6, 5);
        const HPEN pen = CreatePen(PS_SOLID, 1, kBlack);
        const HGDIOBJ old = SelectObject(canvas.dc(), pen);
        ASSERT_TRUE(MoveToEx(canvas.dc(), c.x0, c.y0, nullptr));
        ASSERT_TRUE(LineTo(canvas.dc(), c.x1, c.y1));
        EXPECT_EQ(canvas.Picture(kLegend), c.picture);
        SelectObject(canvas.dc(), old);
        EXPECT_TRUE(DeleteObject(pen));
    }
}

TEST(LineTo, UsesThePenColourAndDefaultsToBlack) {
    Canvas canvas(4, 2);
    MoveToEx(canvas.dc(), 0, 0, nullptr);
    LineTo(canvas.dc(), 4, 0); // the stock pen: black
    const HPEN red = CreatePen(PS_SOLID, 1, kRed);
    const HGDIOBJ old = SelectObject(canvas.dc(), red);
    MoveToEx(canvas.dc(), 3, 1, nullptr);
    LineTo(canvas.dc(), -1, 1);
    SelectObject(canvas.dc(), old);
    DeleteObject(red);
    EXPECT_EQ(canvas.Picture(kLegend), R"(
####
rrrr)");
}

TEST(LineTo, NullPenOnlyMoves) {
    Canvas canvas(4, 1);
    const HPEN none = CreatePen(PS_NULL, 1, kRed);
    ASSERT_NE(none, 0);
    const HGDIOBJ old = SelectObject(canvas.dc(), none);
    MoveToEx(canvas.dc(), 0, 0, nullptr);
    EXPECT_TRUE(LineTo(canvas.dc(), 4, 0));
    Point where;
    MoveToEx(canvas.dc(), 0, 0, &where);
    EXPECT_EQ(where, (Point{4, 0}));
    SelectObject(canvas.dc(), old);
    DeleteObject(none);
    EXPECT_EQ(canvas.Picture(kLegend), "\n....");
}

TEST(LineTo, ConsecutiveLinesJoinWithoutGapsOrDoubleEnds) {
    // Each LineTo starts where the previous one ended, and that shared pixel is drawn once by
    // the second line: a closed path touches every corner exactly once.
    Canvas canvas(5, 4);
    MoveToEx(canvas.dc(), 0, 0, nullptr);
    LineTo(canvas.dc(), 4, 0);
    LineTo(canvas.dc(), 4, 3);
    LineTo(canvas.dc(), 0, 3);
    LineTo(canvas.dc(), 0, 0);
    EXPECT_EQ(canvas.Picture(kLegend), R"(
#####
#...#
#...#
#####)");
}

TEST(MoveToEx, ReportsThePreviousPositionAndLineToMovesIt) {
    Canvas canvas(4, 4);
    Point previous{-9, -9};
    ASSERT_TRUE(MoveToEx(canvas.dc(), 1, 2, &previous));
    EXPECT_EQ(previous, (Point{0, 0})); // a new DC starts at the origin
    LineTo(canvas.dc(), 3, 3);
    ASSERT_TRUE(MoveToEx(canvas.dc(), 0, 0, &previous));
    EXPECT_EQ(previous, (Point{3, 3}));
}

TEST(LineTo, HugeCoordinatesAreClippedNotWalked) {
    // A line across the whole 32-bit range must be clipped to the image before it is walked,
    // or it would take billions of steps.
    Canvas canvas(5, 3);
    MoveToEx(canvas.dc(), -2000000000, 1, nullptr);
    ASSERT_TRUE(LineTo(canvas.dc(), 2000000000, 1));
    MoveToEx(canvas.dc(), 2, 2000000000, nullptr);
    ASSERT_TRUE(LineTo(canvas.dc(), 2, -2000000000));
    MoveToEx(canvas.dc(), -2000000000, -2000000000, nullptr);
    ASSERT_TRUE(LineTo(canvas.dc(), 2000000000, 2000000000));
    EXPECT_EQ(canvas.Picture(kLegend), R"(
#.#..
#####
..#..)");
}

} // namespace
} // namespace gdi::test

namespace gdi::test {
namespace {

using namespace vex::test;

// A memory DC over a 6 x 4 bitmap, cleared white.
class MemoryCanvas {
  public:
    MemoryCanvas() {
        dc_ = CreateCompatibleDC(0);
        bitmap_ = CreateCompatibleBitmap(dc_, 6, 4);
        old_ = SelectObject(dc_, bitmap_);
        const HBRUSH white = CreateSolidBrush(kWhite);
        FillRect(dc_, Rect{0, 0, 6, 4}, white);
        DeleteObject(white);
    }
    ~MemoryCanvas() {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    HDC dc() const { return dc_; }
    HBITMAP bitmap() const { return bitmap_; }
    AsciiPicture Picture() const { return PictureOf(*ImageOfDC(dc_), kLegend); }

    // One line with a pen of its own, made and deleted as the progress bar does per column.
    void Line(int x0, int y0, int x1, int y1, COLORREF color) {
        const HPEN pen = CreatePen(PS_SOLID, 1, color);
        const HGDIOBJ old = SelectObject(dc_, pen);
        MoveToEx(dc_, x0, y0, nullptr);
        LineTo(dc_, x1, y1);
        SelectObject(dc_, old);
        DeleteObject(pen);
    }

  private:
    HDC dc_ = 0;
    HBITMAP bitmap_ = 0;
    HGDIOBJ old_ = 0;
};

// Columns side by side on a memory DC are written out later, row by row; whatever reads or
// changes pixels in between must see them, in the order they were drawn.
TEST(LineTo, ColumnsOnAMemoryDcAreSeenByEveryLaterOperation) {
    {
        MemoryCanvas c; // read straight after
        c.Line(1, 0, 1, 3, kRed);
        c.Line(2, 3, 2, 0, kBlue); // upwards: the end pixel (row 0) is left out
        c.Line(3, 0, 3, 3, kGreen);
        c.Line(4, 1, 4, 4, kBlack); // another height starts another run
        EXPECT_EQ(c.Picture(), R"(
.r.g..
.rbg#.
.rbg#.
..b.#.)");
    }
    {
        MemoryCanvas c; // a fill over columns not yet written, then more columns
        c.Line(0, 0, 0, 4, kRed);
        c.Line(1, 0, 1, 4, kRed);
        const HBRUSH yellow = CreateSolidBrush(kYellow);
        FillRect(c.dc(), Rect{1, 1, 3, 3}, yellow);
        DeleteObject(yellow);
        c.Line(2, 0, 2, 4, kBlue);
        c.Line(1, 2, 5, 2, kBlack); // a row line lands over the pending column
        EXPECT_EQ(c.Picture(), R"(
rrb...
ryb...
r####.
rrb...)");
    }
    {
        MemoryCanvas c; // copied out, and the bitmap selected out, with columns pending
        c.Line(4, 0, 4, 4, kGreen);
        c.Line(5, 0, 5, 4, kBlue);
        Canvas screen(6, 4);
        BitBlt(screen.dc(), 0, 0, 6, 4, c.dc(), 0, 0, SRCCOPY);
        EXPECT_EQ(screen.Picture(kLegend), R"(
....gb
....gb
....gb
....gb)");
        c.Line(0, 0, 0, 4, kBlack);
        const HBITMAP other = CreateCompatibleBitmap(c.dc(), 2, 2);
        const HGDIOBJ mine = SelectObject(c.dc(), other);
        EXPECT_EQ(PictureOf(*ImageOfBitmap(c.bitmap()), kLegend), R"(
#...gb
#...gb
#...gb
#...gb)");
        SelectObject(c.dc(), mine);
        DeleteObject(other);
    }
}

// Batches of every width up to past the narrow ones, written out by the next read: each column
// keeps its own colour in every row, and nothing spills beside the batch.
TEST(LineTo, BatchesOfEveryWidthLandInTheirColumns) {
    for (int width = 1; width <= 11; ++width) {
        SCOPED_TRACE(width);
        const HDC dc = CreateCompatibleDC(0);
        const HBITMAP bitmap = CreateCompatibleBitmap(dc, 14, 3);
        const HGDIOBJ old = SelectObject(dc, bitmap);
        const HBRUSH white = CreateSolidBrush(kWhite);
        FillRect(dc, Rect{0, 0, 14, 3}, white);
        DeleteObject(white);
        for (int i = 0; i < width; ++i) {
            const HPEN pen = CreatePen(PS_SOLID, 1, RGB(10 * i, 0, 200));
            const HGDIOBJ previous = SelectObject(dc, pen);
            MoveToEx(dc, 1 + i, 1, nullptr);
            LineTo(dc, 1 + i, 3);
            SelectObject(dc, previous);
            DeleteObject(pen);
        }
        const QImage& image = *ImageOfDC(dc);
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < 14; ++x) {
                const bool inside = y >= 1 && x >= 1 && x <= width;
                const QRgb want = inside ? qRgb(10 * (x - 1), 0, 200) : qRgb(255, 255, 255);
                EXPECT_EQ(image.pixel(x, y), want) << "at " << x << ", " << y;
            }
        }
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
}

// A copy of a memory DC's image taken through ImageOfDC is a value of its own: whatever is
// drawn afterwards, batched columns and lines after text included, lands in the DC's bitmap
// and leaves the copy as it was.
TEST(LineTo, ACopyOfTheBitmapKeepsItsPixels) {
    MemoryCanvas c;
    c.Line(0, 0, 0, 4, kRed);
    const QImage before = *ImageOfDC(c.dc());
    c.Line(1, 0, 1, 4, kBlue); // a column batched while the copy shares the pixels
    c.Line(2, 0, 2, 4, kBlue);
    const QImage middle = *ImageOfDC(c.dc());
    // Text draws through a painter, which gives the bitmap new pixels of its own; the lines
    // after it must go there, not into the copy.
    SetBkMode(c.dc(), TRANSPARENT);
    Rect rc{5, 0, 6, 1};
    DrawTextA(c.dc(), " ", 1, &rc, DT_SINGLELINE);
    c.Line(3, 0, 3, 4, kGreen);
    c.Line(0, 1, 5, 1, kBlack);
    EXPECT_EQ(PictureOf(before, kLegend), R"(
r.....
r.....
r.....
r.....)");
    EXPECT_EQ(PictureOf(middle, kLegend), R"(
rbb...
rbb...
rbb...
rbb...)");
    EXPECT_EQ(c.Picture(), R"(
rbbg..
#####.
rbbg..
rbbg..)");
}

} // namespace
} // namespace gdi::test
