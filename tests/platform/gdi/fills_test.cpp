// Rectangle fills, frames, single pixels, hatch and pattern brushes.

#include "tests/support/pixel_picture.h"

#include <QPainter>

#include <string>

#include <gtest/gtest.h>

namespace gdi::test {
namespace {

using namespace vex::test;

struct RectCase {
    const char* name;
    Rect rc;
    const char* picture;
};

template <std::size_t N>
void CheckRectCases(const RectCase (&cases)[N], int (*paint)(HDC, const Rect&, HBRUSH)) {
    for (const RectCase& c : cases) {
        SCOPED_TRACE(c.name);
        Canvas canvas(6, 4);
        const HBRUSH red = CreateSolidBrush(kRed);
        EXPECT_NE(paint(canvas.dc(), c.rc, red), 0);
        EXPECT_TRUE(DeleteObject(red));
        EXPECT_EQ(canvas.Picture(kLegend), c.picture);
    }
}

const RectCase kFills[] = {
    {"right_and_bottom_excluded", {1, 1, 4, 3}, R"(
......
.rrr..
.rrr..
......)"},
    {"clipped_at_the_top_left", {-2, -2, 2, 10}, R"(
rr....
rr....
rr....
rr....)"},
    {"empty_width_paints_nothing", {3, 1, 3, 3}, R"(
......
......
......
......)"},
    {"inverted_paints_nothing", {4, 3, 1, 1}, R"(
......
......
......
......)"},
    {"whole_32_bit_range_is_clipped", {-2000000000, -2000000000, 2000000000, 2000000000}, R"(
rrrrrr
rrrrrr
rrrrrr
rrrrrr)"},
};

TEST(FillRect, FillsLeftToRightMinusOneAndTopToBottomMinusOne) {
    CheckRectCases(kFills, FillRect);
}

const RectCase kFrames[] = {
    {"one_pixel_inside_the_rectangle", {1, 0, 5, 4}, R"(
.rrrr.
.r..r.
.r..r.
.rrrr.)"},
    {"one_column_wide", {2, 0, 3, 4}, R"(
..r...
..r...
..r...
..r...)"},
    {"two_rows_high_has_no_hole", {0, 1, 6, 3}, R"(
......
rrrrrr
rrrrrr
......)"},
    {"partly_outside_shows_the_inside_sides", {-1, -1, 4, 3}, R"(
...r..
...r..
rrrr..
......)"},
    {"inverted_paints_nothing", {5, 3, 1, 1}, R"(
......
......
......
......)"},
};

TEST(FrameRect, PaintsAOnePixelBorderInside) {
    CheckRectCases(kFrames, FrameRect);
}

TEST(SetPixelV, WritesOnePixelInBgrOrderAndRefusesOutside) {
    Canvas canvas(3, 2);
    EXPECT_TRUE(SetPixelV(canvas.dc(), 1, 0, RGB(255, 0, 0)));
    EXPECT_TRUE(SetPixelV(canvas.dc(), 2, 1, RGB(0x12, 0x34, 0x56)));
    const QRgb p = canvas.image().pixel(2, 1);
    EXPECT_EQ(qRed(p), 0x12);
    EXPECT_EQ(qGreen(p), 0x34);
    EXPECT_EQ(qBlue(p), 0x56);
    for (const Point outside : {Point{-1, 0}, Point{3, 0}, Point{0, 2}, Point{0, -1}}) {
        EXPECT_FALSE(SetPixelV(canvas.dc(), outside.x, outside.y, kBlack));
    }
    EXPECT_EQ(canvas.Picture(kLegend), "\n.r.\n..?");
}

// --- Hatch brushes -----------------------------------------------------------------------------

struct HatchCase {
    const char* name;
    int style;
    const char* picture;
};

// Filled at (2, 1)-(10, 9) on a 10 x 9 surface: the 8 x 8 cell stays anchored at the surface's
// origin, not at the rectangle. '#' hatch line, 'y' background colour, '.' untouched.
const HatchCase kHatches[] = {
    {"horizontal_line_in_row_3_of_the_cell", HS_HORIZONTAL, R"(
..........
..yyyyyyyy
..yyyyyyyy
..########
..yyyyyyyy
..yyyyyyyy
..yyyyyyyy
..yyyyyyyy
..yyyyyyyy)"},
    {"vertical_line_in_column_4_of_the_cell", HS_VERTICAL, R"(
..........
..yy#yyyyy
..yy#yyyyy
..yy#yyyyy
..yy#yyyyy
..yy#yyyyy
..yy#yyyyy
..yy#yyyyy
..yy#yyyyy)"},
    {"fdiagonal_falls_to_the_lower_right", HS_FDIAGONAL, R"(
..........
..yyyyyyy#
..#yyyyyyy
..y#yyyyyy
..yy#yyyyy
..yyy#yyyy
..yyyy#yyy
..yyyyy#yy
..yyyyyy#y)"},
    {"bdiagonal_rises_to_the_upper_right", HS_BDIAGONAL, R"(
..........
..yyyy#yyy
..yyy#yyyy
..yy#yyyyy
..y#yyyyyy
..#yyyyyyy
..yyyyyyy#
..yyyyyy#y
..yyyyy#yy)"},
    {"cross", HS_CROSS, R"(
..........
..yy#yyyyy
..yy#yyyyy
..########
..yy#yyyyy
..yy#yyyyy
..yy#yyyyy
..yy#yyyyy
..yy#yyyyy)"},
    {"diagonal_cross", HS_DIAGCROSS, R"(
..........
..yyyy#yy#
..#yy#yyyy
..y##yyyyy
..y##yyyyy
..#yy#yyyy
..yyyy#yy#
..yyyyy##y
..yyyyy##y)"},
};

TEST(CreateHatchBrush, FillsTheSixStylesAnchoredAtTheSurfaceOrigin) {
    for (const HatchCase& c : kHatches) {
        SCOPED_TRACE(c.name);
        Canvas canvas(10, 9);
        SetBkColor(canvas.dc(), kYellow); // the default mode is OPAQUE
        const HBRUSH hatch = CreateHatchBrush(c.style, kBlack);
        ASSERT_NE(hatch, 0);
        FillRect(canvas.dc(), Rect{2, 1, 10, 9}, hatch);
        DeleteObject(hatch);
        EXPECT_EQ(canvas.Picture(kLegend), c.picture);
    }
}

TEST(CreateHatchBrush, MatchesQtsHatchPatterns) {
    const Qt::BrushStyle qtStyles[] = {Qt::HorPattern,   Qt::VerPattern,   Qt::FDiagPattern,
                                       Qt::BDiagPattern, Qt::CrossPattern, Qt::DiagCrossPattern};
    for (int style = HS_HORIZONTAL; style <= HS_DIAGCROSS; ++style) {
        SCOPED_TRACE(style);
        QImage expected(16, 16, QImage::Format_RGB32);
        expected.fill(Qt::white);
        {
            QPainter painter(&expected);
            painter.fillRect(expected.rect(), QBrush(Qt::black, qtStyles[style]));
        }
        Canvas canvas(16, 16);
        const HBRUSH hatch = CreateHatchBrush(style, kBlack);
        FillRect(canvas.dc(), Rect{0, 0, 16, 16}, hatch);
        DeleteObject(hatch);
        EXPECT_EQ(canvas.Picture(kLegend), PictureOf(expected, kLegend));
    }
}

// Fills many periods wide and tall, starting and ending part-way through a period, against
// what QPainter paints with the same pattern anchored at the origin: rows and runs are built
// from copies of earlier ones, and a copy taken from the wrong place shows up here.
struct LargeFillCase {
    const char* name;
    Rect rc;
};

const LargeFillCase kLargeFills[] = {
    {"from_the_origin", {0, 0, 61, 37}},
    {"odd_start_partial_end", {3, 5, 58, 34}},
    {"one_row", {5, 11, 60, 12}},
    {"one_column", {7, 2, 8, 35}},
    {"narrower_than_a_period", {9, 1, 14, 36}},
};

QImage FilledByQt(const QBrush& brush, const Rect& rc) {
    QImage image(61, 37, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.fillRect(QRect(rc.left, rc.top, rc.width(), rc.height()), brush);
    return image;
}

TEST(CreateHatchBrush, LargeFillsMatchQtAtAnyOffset) {
    const Qt::BrushStyle qtStyles[] = {Qt::HorPattern,   Qt::VerPattern,   Qt::FDiagPattern,
                                       Qt::BDiagPattern, Qt::CrossPattern, Qt::DiagCrossPattern};
    for (const LargeFillCase& c : kLargeFills) {
        for (int style = HS_HORIZONTAL; style <= HS_DIAGCROSS; ++style) {
            SCOPED_TRACE(std::string(c.name) + " style " + std::to_string(style));
            QImage expected(61, 37, QImage::Format_RGB32);
            expected.fill(Qt::white);
            {
                QPainter painter(&expected);
                const QRect area(c.rc.left, c.rc.top, c.rc.width(), c.rc.height());
                painter.fillRect(area, Qt::yellow); // the background colour between the lines
                painter.fillRect(area, QBrush(Qt::blue, qtStyles[style]));
            }
            Canvas canvas(61, 37);
            SetBkColor(canvas.dc(), kYellow);
            const HBRUSH hatch = CreateHatchBrush(style, kBlue);
            FillRect(canvas.dc(), c.rc, hatch);
            DeleteObject(hatch);
            EXPECT_EQ(canvas.Picture(kLegend), PictureOf(expected, kLegend));
        }
    }
}

TEST(CreatePatternBrush, LargeFillsMatchQtAtAnyOffset) {
    const Legend legend = {{kWhite, '.'}, {kBlack, '#'}, {kRed, 'r'},
                           {kGreen, 'g'}, {kBlue, 'b'},  {kYellow, 'y'}};
    const char* const tiles[] = {"\nr", "\nrg\nby", "\nrgb#y\nbyrg.\n#.rgb", R"(
rgby#rgby#rgby#rgby#rgby#rgby#rgby#rgby#rgby#rgby#rgby#rgby#rgby#rgby#
gby#rgby#rgby#rgby#rgby#rgby#rgby#rgby#rgby#rgby#rgby#rgby#rgby#rgby#r)"};
    for (const LargeFillCase& c : kLargeFills) {
        for (const char* tilePicture : tiles) {
            const QImage tile = ImageOf(tilePicture, legend);
            SCOPED_TRACE(std::string(c.name) + " tile " + std::to_string(tile.width()) + "x" +
                         std::to_string(tile.height()));
            const HBITMAP bitmap = CreateBitmapFromImage(tile);
            const HBRUSH pattern = CreatePatternBrush(bitmap);
            DeleteObject(bitmap);
            Canvas canvas(61, 37);
            FillRect(canvas.dc(), c.rc, pattern);
            DeleteObject(pattern);
            EXPECT_EQ(canvas.Picture(legend), PictureOf(FilledByQt(QBrush(tile), c.rc), legend));
        }
    }
}

TEST(CreateHatchBrush, TransparentModeLeavesTheBackgroundPixels) {
    Canvas canvas(6, 5, kRed);
    SetBkColor(canvas.dc(), kYellow);
    EXPECT_EQ(SetBkMode(canvas.dc(), TRANSPARENT), OPAQUE);
    const HBRUSH hatch = CreateHatchBrush(HS_CROSS, kBlue);
    FillRect(canvas.dc(), Rect{0, 0, 6, 5}, hatch);
    FrameRect(canvas.dc(), Rect{0, 0, 6, 5}, hatch); // frames use the brush the same way
    DeleteObject(hatch);
    EXPECT_EQ(canvas.Picture(kLegend), R"(
rrrrbr
rrrrbr
rrrrbr
bbbbbb
rrrrbr)");
}

TEST(CreateHatchBrush, RejectsStylesOutsideTheSix) {
    EXPECT_EQ(CreateHatchBrush(-1, kBlack), 0);
    EXPECT_EQ(CreateHatchBrush(6, kBlack), 0);
}

TEST(DcDefaults, OpaqueModeWhiteBackgroundBlackText) {
    Canvas canvas(1, 1);
    EXPECT_EQ(SetBkMode(canvas.dc(), TRANSPARENT), OPAQUE);
    EXPECT_EQ(SetBkMode(canvas.dc(), 7), 0); // not a mode: refused, nothing changes
    EXPECT_EQ(SetBkMode(canvas.dc(), OPAQUE), TRANSPARENT);
    EXPECT_EQ(SetBkColor(canvas.dc(), kRed), kWhite);
    EXPECT_EQ(SetBkColor(canvas.dc(), kBlue), kRed);
    EXPECT_EQ(SetTextColor(canvas.dc(), kGreen), kBlack);
    EXPECT_EQ(SetTextColor(canvas.dc(), kBlue), kGreen);
}

// --- Pattern brushes and PatBlt ---------------------------------------------------------------

const Legend kPatternLegend = {{kWhite, '.'}, {kBlack, '#'}, {kRed, 'r'},
                               {kGreen, 'g'}, {kBlue, 'b'},  {kYellow, 'y'}};

TEST(PatBlt, TilesThePatternFromTheSurfaceOrigin) {
    const HBITMAP bitmap = CreateBitmapFromImage(ImageOf(R"(
rgb
by#)",
                                                         kPatternLegend));
    const HBRUSH pattern = CreatePatternBrush(bitmap);
    ASSERT_NE(pattern, 0);
    EXPECT_TRUE(DeleteObject(bitmap)); // the brush keeps its own copy of the pixels

    Canvas canvas(7, 5);
    const HGDIOBJ old = SelectObject(canvas.dc(), pattern);
    EXPECT_TRUE(PatBlt(canvas.dc(), 1, 1, 5, 3, PATCOPY));
    SelectObject(canvas.dc(), old);
    EXPECT_TRUE(DeleteObject(pattern));
    EXPECT_EQ(canvas.Picture(kPatternLegend), R"(
.......
.y#by#.
.gbrgb.
.y#by#.
.......)");
}

TEST(PatBlt, EmptyOrNegativeExtentPaintsNothing) {
    Canvas canvas(4, 3, kRed);
    for (const auto& [w, h] : {std::pair{0, 2}, {-3, 2}, {2, 0}, {2, -1}}) {
        EXPECT_TRUE(PatBlt(canvas.dc(), 2, 1, w, h, PATCOPY));
    }
    EXPECT_EQ(canvas.Picture(kLegend), "\nrrrr\nrrrr\nrrrr");
}

TEST(PatBlt, UsesTheSelectedBrushAndOnlyPatCopy) {
    Canvas canvas(4, 2, kRed);
    EXPECT_TRUE(PatBlt(canvas.dc(), 0, 0, 2, 1, PATCOPY)); // the stock brush is white
    EXPECT_FALSE(PatBlt(canvas.dc(), 0, 1, 2, 1, SRCCOPY));
    EXPECT_EQ(canvas.Picture(kLegend), "\n..rr\nrrrr");
}

TEST(CreatePatternBrush, CopiesThePixelsAtCreation) {
    const HDC memory = CreateCompatibleDC(0);
    const HBITMAP bitmap = CreateCompatibleBitmap(memory, 2, 1); // black
    const HGDIOBJ oldBitmap = SelectObject(memory, bitmap);
    const HBRUSH pattern = CreatePatternBrush(bitmap);
    SetPixelV(memory, 0, 0, kRed); // a later change of the bitmap does not reach the brush

    Canvas canvas(4, 1);
    FillRect(canvas.dc(), Rect{0, 0, 4, 1}, pattern);
    EXPECT_EQ(canvas.Picture(kLegend), "\n####");

    DeleteObject(pattern);
    SelectObject(memory, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(memory);
}

} // namespace
} // namespace gdi::test
