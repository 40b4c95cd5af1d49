// Handles: bad handles, stock objects, selection and deletion rules, leak counting, fault
// injection, the screen DC, bitmaps, windows and system colours.

#include "tests/support/pixel_picture.h"

#include <QGuiApplication>
#include <QPalette>

#include <functional>
#include <set>

#include <gtest/gtest.h>

namespace gdi::test {
namespace {

using namespace vex::test;

class Handles : public ::testing::Test {
  protected:
    void SetUp() override { baseline_ = LiveObjectCount(); }
    void TearDown() override {
        ClearFailures();
        EXPECT_EQ(LiveObjectCount(), baseline_) << "a test leaked DCs or objects";
    }
    int baseline_ = 0;
};

// Handles that must be refused: never valid, freed, or of another kind.
std::vector<std::pair<const char*, Long>> BadHandles(Long freedDc, Long freedPen, Long pen,
                                                     Long dc) {
    return {{"zero", 0},        {"freed_dc", freedDc}, {"freed_pen", freedPen},
            {"pen_as_dc", pen}, {"dc_as_object", dc},  {"never_issued", 0x7FFF1234},
            {"negative", -1},   {"small_value", 1}};
}

TEST_F(Handles, BadHandlesDoNothingAndReportFailure) {
    Canvas canvas(4, 4);
    const HPEN pen = CreatePen(PS_SOLID, 1, kRed);
    const HBRUSH brush = CreateSolidBrush(kRed);
    const HDC freedDc = CreateCompatibleDC(0);
    DeleteDC(freedDc);
    const HPEN freedPen = CreatePen(PS_SOLID, 1, kRed);
    DeleteObject(freedPen);
    Rect rc{0, 0, 4, 4};

    // Calls taking a DC, given a bad one.
    const std::vector<std::pair<const char*, std::function<bool(HDC)>>> dcCalls = {
        {"CreateCompatibleBitmap", [](HDC h) { return CreateCompatibleBitmap(h, 2, 2) == 0; }},
        {"SelectObject", [&](HDC h) { return SelectObject(h, pen) == 0; }},
        {"DeleteDC", [](HDC h) { return !DeleteDC(h); }},
        {"FillRect", [&](HDC h) { return FillRect(h, rc, brush) == 0; }},
        {"MoveToEx", [](HDC h) { return !MoveToEx(h, 1, 1, nullptr); }},
        {"LineTo", [](HDC h) { return !LineTo(h, 3, 3); }},
        {"SetPixelV", [](HDC h) { return !SetPixelV(h, 1, 1, 0); }},
        {"PatBlt", [](HDC h) { return !PatBlt(h, 0, 0, 2, 2, PATCOPY); }},
        {"BitBlt_destination",
         [&](HDC h) { return !BitBlt(h, 0, 0, 2, 2, canvas.dc(), 0, 0, SRCCOPY); }},
        {"BitBlt_source",
         [&](HDC h) { return !BitBlt(canvas.dc(), 0, 0, 2, 2, h, 0, 0, SRCCOPY); }},
        {"SetBkMode", [](HDC h) { return SetBkMode(h, TRANSPARENT) == 0; }},
        {"SetBkColor", [](HDC h) { return SetBkColor(h, 0) == CLR_INVALID; }},
        {"SetTextColor", [](HDC h) { return SetTextColor(h, 0) == CLR_INVALID; }},
        {"DrawEdge", [&](HDC h) { return !DrawEdge(h, &rc, EDGE_ETCHED, BF_RECT); }},
        {"DrawTextA", [&](HDC h) { return DrawTextA(h, "x", -1, &rc, DT_SINGLELINE) == 0; }},
        {"ImageOfDC", [](HDC h) { return ImageOfDC(h) == nullptr; }},
    };
    // Calls taking an object, given a bad one.
    const std::vector<std::pair<const char*, std::function<bool(HGDIOBJ)>>> objectCalls = {
        {"SelectObject", [&](HGDIOBJ h) { return SelectObject(canvas.dc(), h) == 0; }},
        {"DeleteObject", [](HGDIOBJ h) { return !DeleteObject(h); }},
        {"FillRect", [&](HGDIOBJ h) { return FillRect(canvas.dc(), rc, h) == 0; }},
        {"FrameRect", [&](HGDIOBJ h) { return FrameRect(canvas.dc(), rc, h) == 0; }},
        {"CreatePatternBrush", [](HGDIOBJ h) { return CreatePatternBrush(h) == 0; }},
        {"ImageOfBitmap", [](HGDIOBJ h) { return ImageOfBitmap(h) == nullptr; }},
        {"GetClientRect", [&](HGDIOBJ h) { return !GetClientRect(h, &rc); }},
    };

    for (const auto& [what, bad] : BadHandles(freedDc, freedPen, pen, canvas.dc())) {
        if (bad != pen) {
            for (const auto& [name, fails] : objectCalls) {
                EXPECT_TRUE(fails(bad)) << name << " accepted " << what;
            }
        }
        if (bad != canvas.dc()) {
            for (const auto& [name, fails] : dcCalls)
                EXPECT_TRUE(fails(bad)) << name << " accepted " << what;
        }
    }
    EXPECT_EQ(canvas.Picture(kLegend), "\n....\n....\n....\n....");
    EXPECT_TRUE(DeleteObject(pen));
    EXPECT_TRUE(DeleteObject(brush));
}

TEST_F(Handles, StockObjectsAreSharedUncountedAndCannotBeDeleted) {
    const HDC a = CreateCompatibleDC(0);
    const HDC b = CreateCompatibleDC(0);
    const int withTwoDcs = LiveObjectCount();
    const HPEN pen = CreatePen(PS_SOLID, 1, kRed);
    const HBRUSH brush = CreateSolidBrush(kRed);
    const HFONT font = CreateFontFromQFont(QFont());
    const HBITMAP bitmap = CreateCompatibleBitmap(a, 2, 2);
    EXPECT_EQ(LiveObjectCount(), withTwoDcs + 4);

    const HGDIOBJ stock[] = {SelectObject(a, pen), SelectObject(a, brush), SelectObject(a, font),
                             SelectObject(a, bitmap)};
    const HGDIOBJ stockOfB[] = {SelectObject(b, pen), SelectObject(b, brush),
                                SelectObject(b, font)};
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(stock[i], stockOfB[i]) << "one set of stock objects";
    EXPECT_EQ(LiveObjectCount(), withTwoDcs + 4);
    for (const HGDIOBJ s : stock) {
        EXPECT_NE(s, 0);
        EXPECT_FALSE(DeleteObject(s));
    }
    const QImage* stockBitmap = ImageOfBitmap(stock[3]);
    ASSERT_NE(stockBitmap, nullptr);
    EXPECT_EQ(stockBitmap->size(), QSize(1, 1));

    for (const HGDIOBJ s : stock)
        SelectObject(a, s);
    for (int i = 0; i < 3; ++i)
        SelectObject(b, stock[i]);
    for (const HGDIOBJ obj : {pen, brush, font, bitmap})
        EXPECT_TRUE(DeleteObject(obj));
    EXPECT_TRUE(DeleteDC(a));
    EXPECT_TRUE(DeleteDC(b));
}

TEST_F(Handles, SelectObjectReturnsTheObjectItReplaces) {
    Canvas canvas(1, 1);
    const HPEN red = CreatePen(PS_SOLID, 1, kRed);
    const HPEN blue = CreatePen(PS_SOLID, 1, kBlue);
    const HGDIOBJ stock = SelectObject(canvas.dc(), red);
    EXPECT_EQ(SelectObject(canvas.dc(), blue), red);
    EXPECT_EQ(SelectObject(canvas.dc(), blue), blue); // selecting it again changes nothing
    EXPECT_EQ(SelectObject(canvas.dc(), stock), blue);
    EXPECT_TRUE(DeleteObject(red));
    EXPECT_TRUE(DeleteObject(blue));
}

TEST_F(Handles, ObjectsSelectedSomewhereCannotBeDeleted) {
    const HDC a = CreateCompatibleDC(0);
    const HDC b = CreateCompatibleDC(0);
    const HBRUSH brush = CreateSolidBrush(kRed);
    const HGDIOBJ oldA = SelectObject(a, brush);
    const HGDIOBJ oldB = SelectObject(b, brush); // pens and brushes may be in several DCs
    EXPECT_FALSE(DeleteObject(brush));
    SelectObject(a, oldA);
    EXPECT_FALSE(DeleteObject(brush)) << "still selected into b";
    SelectObject(b, oldB);
    EXPECT_TRUE(DeleteObject(brush));
    EXPECT_FALSE(DeleteObject(brush)) << "already deleted";
    DeleteDC(a);
    DeleteDC(b);
}

TEST_F(Handles, DeleteDcReleasesItsSelectionsButNotTheObjects) {
    const HDC memory = CreateCompatibleDC(0);
    const HBITMAP bitmap = CreateCompatibleBitmap(memory, 3, 2);
    const HPEN pen = CreatePen(PS_SOLID, 1, kRed);
    SelectObject(memory, bitmap);
    SelectObject(memory, pen);
    ASSERT_TRUE(DeleteDC(memory));
    ASSERT_NE(ImageOfBitmap(bitmap), nullptr); // the bitmap outlives the DC
    EXPECT_TRUE(DeleteObject(bitmap));
    EXPECT_TRUE(DeleteObject(pen));
}

TEST_F(Handles, ABitmapLivesInOneMemoryDcAtATime) {
    const HDC screen = CreateDCA("DISPLAY", "", "", nullptr);
    const HDC a = CreateCompatibleDC(screen);
    const HDC b = CreateCompatibleDC(screen);
    Canvas canvas(2, 2);
    const HBITMAP bitmap = CreateCompatibleBitmap(screen, 4, 4);
    const HGDIOBJ oldA = SelectObject(a, bitmap);
    EXPECT_NE(oldA, 0);
    EXPECT_EQ(SelectObject(b, bitmap), 0);
    EXPECT_EQ(SelectObject(canvas.dc(), bitmap), 0) << "an image DC has fixed pixels";
    EXPECT_EQ(SelectObject(screen, bitmap), 0) << "the screen DC holds no bitmap";
    SelectObject(a, oldA);
    EXPECT_NE(SelectObject(b, bitmap), 0);
    SelectObject(b, oldA);
    EXPECT_TRUE(DeleteObject(bitmap));
    for (const HDC dc : {a, b, screen})
        EXPECT_TRUE(DeleteDC(dc));
}

TEST_F(Handles, FreedHandlesAreNotReusedSoon) {
    const HPEN stale = CreatePen(PS_SOLID, 1, kRed);
    ASSERT_TRUE(DeleteObject(stale));
    std::set<Long> seen;
    for (int i = 0; i < 20000; ++i) {
        const HPEN pen = CreatePen(PS_SOLID, 1, kBlue);
        ASSERT_NE(pen, stale);
        seen.insert(pen);
        DeleteObject(pen);
    }
    EXPECT_EQ(seen.size(), 20000u);
    Canvas canvas(1, 1);
    EXPECT_EQ(SelectObject(canvas.dc(), stale), 0);
}

TEST_F(Handles, CreateDcaKnowsOnlyTheDisplay) {
    struct Case {
        const char* driver;
        bool succeeds;
    } const cases[] = {
        {"DISPLAY", true}, {"display", true}, {"WINSPOOL", false}, {"", false}, {nullptr, false}};
    for (const Case& c : cases) {
        const HDC dc = CreateDCA(c.driver, "", "", nullptr);
        EXPECT_EQ(dc != 0, c.succeeds) << (c.driver ? c.driver : "(null)");
        if (!dc) continue;
        EXPECT_EQ(ImageOfDC(dc), nullptr) << "the screen DC has no pixels here";
        const HBRUSH brush = CreateSolidBrush(kRed);
        EXPECT_EQ(FillRect(dc, Rect{0, 0, 1, 1}, brush), 0);
        DeleteObject(brush);
        DeleteDC(dc);
    }
}

TEST_F(Handles, CompatibleBitmapsAreBlackAndOfSaneSize) {
    const HDC screen = CreateDCA("DISPLAY", "", "", nullptr);
    struct Case {
        int width, height;
        bool succeeds;
    } const cases[] = {
        {1, 1, true},          {32767, 1, true},  {1, 32767, true},
        {0, 5, false},         {5, 0, false},     {-3, 5, false},
        {32768, 1, false},     {1, 32768, false}, {100000, 100000, false},
        {16384, 16385, false}, // over 256 MiB of pixels
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height);
        const HBITMAP bitmap = CreateCompatibleBitmap(screen, c.width, c.height);
        EXPECT_EQ(bitmap != 0, c.succeeds);
        if (!bitmap) continue;
        const QImage* image = ImageOfBitmap(bitmap);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->size(), QSize(c.width, c.height));
        EXPECT_EQ(image->format(), QImage::Format_RGB32);
        EXPECT_EQ(image->pixel(c.width - 1, c.height - 1), qRgb(0, 0, 0));
        DeleteObject(bitmap);
    }
    DeleteDC(screen);
}

TEST_F(Handles, BitmapsFromImagesTakeTheScreenFormat) {
    QImage argb(2, 1, QImage::Format_ARGB32);
    argb.setPixel(0, 0, qRgba(255, 0, 0, 255));
    argb.setPixel(1, 0, qRgba(0, 0, 255, 255));
    const HBITMAP bitmap = CreateBitmapFromImage(argb);
    ASSERT_NE(bitmap, 0);
    EXPECT_EQ(ImageOfBitmap(bitmap)->format(), QImage::Format_RGB32);
    EXPECT_EQ(PictureOf(*ImageOfBitmap(bitmap), kLegend), "\nrb");
    EXPECT_EQ(CreateBitmapFromImage(QImage()), 0);
    DeleteObject(bitmap);
}

TEST_F(Handles, ImageOfDcIsTheSelectedBitmapOrTheCallersImage) {
    QImage pixels(3, 2, QImage::Format_RGB32);
    const HDC own = CreateDCForImage(&pixels);
    EXPECT_EQ(ImageOfDC(own), &pixels);
    EXPECT_EQ(CreateDCForImage(nullptr), 0);

    QImage packed(3, 2, QImage::Format_RGB888); // not 32-bit pixels: the DC cannot draw
    const HDC unusable = CreateDCForImage(&packed);
    EXPECT_EQ(ImageOfDC(unusable), nullptr);
    EXPECT_FALSE(SetPixelV(unusable, 0, 0, kRed));
    DeleteDC(unusable);

    const HDC memory = CreateCompatibleDC(0);
    EXPECT_EQ(ImageOfDC(memory)->size(), QSize(1, 1)); // the stock bitmap
    const HBITMAP bitmap = CreateCompatibleBitmap(memory, 5, 4);
    const HGDIOBJ old = SelectObject(memory, bitmap);
    EXPECT_EQ(ImageOfDC(memory), ImageOfBitmap(bitmap));
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    DeleteDC(own);
}

TEST_F(Handles, FaultInjectionFailsTheNamedCallsOnly) {
    const HDC screen = CreateDCA("DISPLAY", "", "", nullptr);
    FailNextCalls("CreateCompatibleBitmap", 2);
    EXPECT_EQ(CreateCompatibleBitmap(screen, 2, 2), 0);
    const HDC memory = CreateCompatibleDC(screen); // other calls are not affected
    EXPECT_NE(memory, 0);
    EXPECT_EQ(CreateCompatibleBitmap(screen, 2, 2), 0);
    const HBITMAP bitmap = CreateCompatibleBitmap(screen, 2, 2);
    EXPECT_NE(bitmap, 0) << "only two calls were to fail";

    FailNextCalls("SelectObject");
    EXPECT_EQ(SelectObject(memory, bitmap), 0);
    EXPECT_EQ(ImageOfDC(memory)->size(), QSize(1, 1)) << "a failed selection changes nothing";
    const HGDIOBJ old = SelectObject(memory, bitmap);
    EXPECT_NE(old, 0);

    FailNextCalls("CreateDCA", 3);
    FailNextCalls("CreateCompatibleDC");
    ClearFailures();
    const HDC second = CreateDCA("DISPLAY", "", "", nullptr);
    EXPECT_NE(second, 0) << "ClearFailures disarms everything";
    const HDC third = CreateCompatibleDC(second);
    EXPECT_NE(third, 0);

    SelectObject(memory, old);
    DeleteObject(bitmap);
    for (const HDC dc : {memory, screen, second, third})
        DeleteDC(dc);
}

TEST_F(Handles, GetClientRectAsksTheHostForTheSize) {
    QSize size(100, 20);
    const HWND hwnd = RegisterWindow([&] { return size; });
    ASSERT_NE(hwnd, 0);
    Rect rc{7, 7, 7, 7};
    ASSERT_TRUE(GetClientRect(hwnd, &rc));
    EXPECT_EQ(rc, (Rect{0, 0, 100, 20}));
    size = QSize(-5, 30); // a client area is never negative
    ASSERT_TRUE(GetClientRect(hwnd, &rc));
    EXPECT_EQ(rc, (Rect{0, 0, 0, 30}));
    EXPECT_FALSE(GetClientRect(hwnd, nullptr));
    UnregisterWindow(hwnd);
    EXPECT_FALSE(GetClientRect(hwnd, &rc));
    EXPECT_EQ(RegisterWindow(nullptr), 0);
}

TEST(GetSysColor, PaletteRolesWhereOneFitsClassicValuesOtherwise) {
    const QPalette palette = QGuiApplication::palette();
    const auto ref = [](const QColor& c) { return RGB(c.red(), c.green(), c.blue()); };
    struct Case {
        int index;
        COLORREF expected;
    } const cases[] = {
        {COLOR_ACTIVECAPTION, RGB(10, 36, 106)},
        {COLOR_HIGHLIGHT, ref(palette.color(QPalette::Active, QPalette::Highlight))},
        {COLOR_HIGHLIGHTTEXT, ref(palette.color(QPalette::Active, QPalette::HighlightedText))},
        {COLOR_BTNFACE, ref(palette.color(QPalette::Active, QPalette::Button))},
        {COLOR_3DSHADOW, ref(palette.color(QPalette::Active, QPalette::Dark))},
        {COLOR_3DHIGHLIGHT, ref(palette.color(QPalette::Active, QPalette::Light))},
        {COLOR_3DDKSHADOW, ref(palette.color(QPalette::Active, QPalette::Shadow))},
        {COLOR_3DLIGHT, ref(palette.color(QPalette::Active, QPalette::Midlight))},
        {COLOR_WINDOW, ref(palette.color(QPalette::Active, QPalette::Base))},
        {COLOR_WINDOWTEXT, ref(palette.color(QPalette::Active, QPalette::Text))},
        {COLOR_BTNTEXT, ref(palette.color(QPalette::Active, QPalette::ButtonText))},
        {-1, 0},
        {25, 0},
        {31, 0},
        {1000, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(GetSysColor(c.index), c.expected) << c.index;
}

} // namespace
} // namespace gdi::test
