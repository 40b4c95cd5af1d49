// DrawTextA: measuring with DT_CALCRECT, and one line drawn left/top aligned, clipped to the
// rectangle, in the DC's font, text colour and background mode. The checks are about where
// ink lands, not about glyph shapes.

#include "tests/support/pixel_picture.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>

#include <gtest/gtest.h>

#include <string>

namespace gdi::test {
namespace {

using namespace vex::test;

QFont TestFont(int pixelSize = 16) {
    QFont font("DejaVu Sans");
    font.setPixelSize(pixelSize);
    return font;
}

// A canvas with the test font selected, restored and deleted at the end.
class TextCanvas : public Canvas {
  public:
    TextCanvas(int width, int height, COLORREF background = kWhite)
        : Canvas(width, height, background), font_(CreateFontFromQFont(TestFont())),
          old_(SelectObject(dc(), font_)) {}
    ~TextCanvas() {
        SelectObject(dc(), old_);
        DeleteObject(font_);
    }
    QFontMetrics Metrics() { return QFontMetrics(TestFont(), &image()); }

  private:
    HFONT font_;
    HGDIOBJ old_;
};

// The smallest rectangle holding every pixel that differs from `background`.
Rect InkBox(const QImage& image, COLORREF background) {
    Rect box{image.width(), image.height(), 0, 0};
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (ColorAt(image, x, y) == background) continue;
            box.left = std::min<Long>(box.left, x);
            box.top = std::min<Long>(box.top, y);
            box.right = std::max<Long>(box.right, x + 1);
            box.bottom = std::max<Long>(box.bottom, y + 1);
        }
    }
    return box;
}

bool Inside(const Rect& inner, const Rect& outer) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

TEST(DrawTextA, CalcRectMeasuresWithQtsFontEngineAndDrawsNothing) {
    TextCanvas canvas(60, 30);
    const QFontMetrics metrics = canvas.Metrics();
    Rect rc{10, 5, 0, 0}; // right and bottom are outputs
    const int height = DrawTextA(canvas.dc(), "45 %", -1, &rc, DT_CALCRECT);
    EXPECT_EQ(height, metrics.height());
    EXPECT_EQ(rc, (Rect{10, 5, 10 + metrics.horizontalAdvance("45 %"), 5 + metrics.height()}));
    EXPECT_EQ(InkBox(canvas.image(), kWhite).right, 0) << "measuring must not draw";
}

TEST(DrawTextA, LengthCountsCharactersAndMinusOneMeansUpToTheNul) {
    TextCanvas canvas(10, 10);
    const QFontMetrics metrics = canvas.Metrics();
    Rect rc{};
    DrawTextA(canvas.dc(), "MMMMxyz", 4, &rc, DT_CALCRECT);
    EXPECT_EQ(rc.right, metrics.horizontalAdvance("MMMM"));
    DrawTextA(canvas.dc(), "Searching..", -1, &rc, DT_CALCRECT);
    EXPECT_EQ(rc.right, metrics.horizontalAdvance("Searching.."));
    DrawTextA(canvas.dc(), "\xE9", 1, &rc, DT_CALCRECT); // 8-bit text is Latin-1
    EXPECT_EQ(rc.right, metrics.horizontalAdvance(QString(QChar(0xE9))));
    EXPECT_EQ(DrawTextA(canvas.dc(), "x", -2, &rc, DT_CALCRECT), 0);
    EXPECT_EQ(DrawTextA(canvas.dc(), nullptr, -1, &rc, DT_CALCRECT), 0);
    EXPECT_EQ(DrawTextA(canvas.dc(), "x", -1, nullptr, DT_CALCRECT), 0);
}

TEST(DrawTextA, TheSelectedFontIsUsedAndRestoredBySelectObject) {
    Canvas canvas(10, 10);
    const HFONT big = CreateFontFromQFont(TestFont(40));
    const HGDIOBJ stock = SelectObject(canvas.dc(), big);
    EXPECT_NE(stock, 0);
    Rect rc{};
    EXPECT_EQ(DrawTextA(canvas.dc(), "M", -1, &rc, DT_CALCRECT),
              QFontMetrics(TestFont(40), &canvas.image()).height());
    EXPECT_EQ(SelectObject(canvas.dc(), stock), big);
    EXPECT_FALSE(DeleteObject(stock)) << "the default font is a stock object";
    EXPECT_TRUE(DeleteObject(big));
}

TEST(DrawTextA, SingleLineIsAlignedToTheLeftAndTopOfTheRectangle) {
    // The same text drawn at two places gives the same pixels, moved by the difference.
    TextCanvas a(80, 40);
    TextCanvas b(80, 40);
    SetBkMode(a.dc(), TRANSPARENT);
    SetBkMode(b.dc(), TRANSPARENT);
    Rect ra{5, 3, 80, 40};
    Rect rb{12, 9, 80, 40};
    const int height = DrawTextA(a.dc(), "45 %", -1, &ra, DT_SINGLELINE);
    DrawTextA(b.dc(), "45 %", -1, &rb, DT_SINGLELINE);
    EXPECT_EQ(height, a.Metrics().height());
    EXPECT_EQ(a.image().copy(5, 3, 60, 30), b.image().copy(12, 9, 60, 30));

    const Rect ink = InkBox(a.image(), kWhite);
    const Rect cell{5, 3, 5 + a.Metrics().horizontalAdvance("45 %"), 3 + height};
    EXPECT_TRUE(Inside(ink, cell)) << "ink must stay in the text cell";
    EXPECT_LE(ink.left, 5 + 3) << "the text starts at the left edge";
    EXPECT_LE(ink.top, 3 + a.Metrics().ascent()) << "the text hangs from the top edge";
}

TEST(DrawTextA, DrawsInTheTextColour) {
    TextCanvas canvas(80, 30);
    SetTextColor(canvas.dc(), kBlue);
    Rect rc{2, 2, 80, 30};
    DrawTextA(canvas.dc(), "MMM", -1, &rc, DT_SINGLELINE);
    bool sawBlue = false;
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 80; ++x) {
            const QRgb p = canvas.image().pixel(x, y);
            sawBlue |= ColorAt(canvas.image(), x, y) == kBlue;
            EXPECT_GE(qBlue(p), qRed(p)) << "ink must be a shade of the text colour";
        }
    }
    EXPECT_TRUE(sawBlue) << "the stems of M are solid text colour";
}

TEST(DrawTextA, ClipsToTheRectangle) {
    TextCanvas canvas(80, 30);
    Rect rc{10, 5, 20, 12}; // narrower and lower than the text
    DrawTextA(canvas.dc(), "MMMM", -1, &rc, DT_SINGLELINE);
    const Rect ink = InkBox(canvas.image(), kWhite);
    EXPECT_TRUE(Inside(ink, rc));
    EXPECT_LT(ink.left, ink.right) << "the visible part is drawn";
    EXPECT_EQ(rc, (Rect{10, 5, 20, 12})) << "drawing leaves the rectangle alone";
}

TEST(DrawTextA, OpaqueModeFillsTheTextCellWithTheBackgroundColour) {
    TextCanvas canvas(80, 30);
    SetBkColor(canvas.dc(), kRed); // OPAQUE is the default mode
    Rect rc{4, 2, 80, 30};
    const int height = DrawTextA(canvas.dc(), "MM", -1, &rc, DT_SINGLELINE);
    const Rect cell{4, 2, 4 + canvas.Metrics().horizontalAdvance("MM"), 2 + height};
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 80; ++x) {
            const COLORREF c = ColorAt(canvas.image(), x, y);
            if (cell.contains(x, y)) {
                EXPECT_NE(c, kWhite) << "unfilled cell pixel at " << x << "," << y;
            } else {
                EXPECT_EQ(c, kWhite) << "fill outside the cell at " << x << "," << y;
            }
        }
    }
}

TEST(DrawTextA, TransparentModeLeavesTheBackground) {
    TextCanvas canvas(80, 30, kRed);
    SetBkColor(canvas.dc(), kYellow);
    SetBkMode(canvas.dc(), TRANSPARENT);
    SetTextColor(canvas.dc(), kRed | RGB(0, 0, 255)); // magenta ink over red
    Rect rc{4, 2, 80, 30};
    DrawTextA(canvas.dc(), "MM", -1, &rc, DT_SINGLELINE);
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 80; ++x) {
            const QRgb p = canvas.image().pixel(x, y);
            ASSERT_EQ(qRed(p), 255) << "background touched at " << x << "," << y;
            ASSERT_EQ(qGreen(p), 0) << "background colour used at " << x << "," << y;
        }
    }
}

TEST(DrawTextA, RectanglesAtTheEndsOfTheRangeDrawNothingAndDoNotOverflow) {
    TextCanvas canvas(20, 10);
    SetBkColor(canvas.dc(), kRed);
    for (Rect rc : {Rect{2147483000, 0, 2147483647, 10}, Rect{-2147483647 - 1, 0, -2147483000, 10},
                    Rect{0, 2147483000, 20, 2147483647},
                    Rect{-2147483647 - 1, 0, 20, 10}}) { // the line starts far left of the image
        EXPECT_GT(DrawTextA(canvas.dc(), "MMMM", -1, &rc, DT_SINGLELINE), 0);
        Rect measured = rc;
        DrawTextA(canvas.dc(), "MMMM", -1, &measured, DT_CALCRECT);
        EXPECT_GE(measured.right, measured.left) << "the measured edge saturates, never wraps";
    }
    EXPECT_EQ(InkBox(canvas.image(), kWhite).right, 0);
}

// Backgrounds for the pixel comparisons: ink blends with what lies under it, so a glyph drawn
// wrongly (or twice, or not at all) shows on every one of them, not only on white.
enum class Ground { White, Gradient, Stripes, Black };

void PaintGround(QImage& image, Ground ground) {
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            QRgb p = qRgb(255, 255, 255);
            switch (ground) {
            case Ground::White:
                break;
            case Ground::Gradient:
                p = qRgb(x * 255 / image.width(), 90 + y, 255 - x * 2);
                break;
            case Ground::Stripes:
                p = (x / 3 + y / 2) % 2 ? qRgb(20, 40, 200) : qRgb(240, 230, 10);
                break;
            case Ground::Black:
                p = qRgb(0, 0, 0);
                break;
            }
            image.setPixel(x, y, p);
        }
    }
}

// What a painter draws for `text` with the top left of the line at `rc`'s corner, clipped to
// `rc` and the image.
void PaintText(QImage& image, const QFont& font, const char* text, const Rect& rc, COLORREF ink) {
    QPainter painter(&image);
    painter.setClipRect(QRect(QPoint(std::max<Long>(rc.left, 0), std::max<Long>(rc.top, 0)),
                              QPoint(rc.right - 1, rc.bottom - 1)));
    painter.setFont(font);
    painter.setPen(QColor(BgrColor(ink).ToQRgb()));
    painter.drawText(QPointF(rc.left, rc.top + QFontMetrics(font, &image).ascent()),
                     QString::fromLatin1(text));
}

// Lines are shaped once and kept: what is drawn from the kept line, the first time and every
// time after, must be what QPainter::drawText draws, to the pixel, on any background and
// wherever the rectangle cuts the line.
TEST(DrawTextA, DrawsTheSamePixelsAsQPainterEveryTime) {
    struct Case {
        const char* text;
        int pixelSize;
        bool bold;
        Rect rc;
        COLORREF ink;
        Ground ground = Ground::White;
        const char* family = "DejaVu Sans";
        bool italic = false;
        bool underline = false;
    };
    static const std::string longText = [] {
        std::string line;
        for (int i = 0; i < 40; ++i)
            line += "Searching.. ";
        return line;
    }();
    const char* longLine = longText.c_str();
    // Only a regular face: bold and italic are made up from it, and reach further than the
    // regular outlines.
    const char* oneFace = "DejaVu Math TeX Gyre";
    const Case cases[] = {
        {"45 %", 16, false, {5, 3, 90, 40}, kBlack},
        {"100 %", 11, false, {0, 0, 90, 40}, kBlue},
        {"0 %", 13, true, {-3, -4, 90, 40}, kRed},
        {"Searching..", 12, false, {7, 9, 30, 20}, kBlack},     // clipped by the rectangle
        {"99 %", 17, true, {60, 20, 90, 40}, RGB(10, 200, 90)}, // runs off the image
        {"\xE9t\xE9 \xB5", 15, false, {1, 1, 90, 40}, kBlack},
        // The standing bar's centring: most of the line lies left of the image.
        {"Searching..", 12, false, {-40, 11, 22, 40}, kBlack, Ground::Gradient},
        {"Searching..", 12, false, {-40, 11, 22, 40}, kYellow, Ground::Black},
        {"Searching..", 12, false, {-33, 0, 17, 40}, kBlack, Ground::Stripes},
        // Edges through the middle of glyphs, and a cut through the ascenders.
        {"MMMM", 16, false, {5, 3, 23, 40}, RGB(200, 30, 60), Ground::Stripes},
        {"WAVAW", 18, true, {-7, 3, 37, 40}, kBlack, Ground::Gradient},
        {"Wolf 88 %", 16, false, {2, 2, 80, 9}, kBlue, Ground::Gradient},
        {"fff jjj", 20, false, {-6, 5, 29, 40}, kBlack, Ground::Stripes, "DejaVu Sans", true},
        {"MWMW", 22, true, {-9, 4, 41, 40}, kBlack, Ground::Stripes, oneFace, true},
        {"MWMW", 22, true, {4, 4, 19, 40}, kWhite, Ground::Black, oneFace, true},
        // Long lines and very large glyphs.
        {longLine, 12, false, {-300, 2, 90, 40}, kBlack, Ground::Gradient},
        {"g%", 300, false, {-60, -200, 90, 40}, kBlack, Ground::Stripes},
        // An underline runs under every glyph, drawn or not.
        {"45 %", 14, false, {-12, 3, 20, 40}, kBlack, Ground::Gradient, "DejaVu Sans", false, true},
    };
    for (const Case& c : cases) {
        QFont font(c.family);
        font.setPixelSize(c.pixelSize);
        font.setBold(c.bold);
        font.setItalic(c.italic);
        font.setUnderline(c.underline);
        QImage expected(90, 40, QImage::Format_RGB32);
        PaintGround(expected, c.ground);
        const QImage ground = expected;
        PaintText(expected, font, c.text, c.rc, c.ink);
        ASSERT_NE(expected, ground) << c.text << ": the case must draw something";
        for (int round = 0; round < 3; ++round) {
            Canvas canvas(90, 40);
            canvas.image() = ground;
            const HFONT hfont = CreateFontFromQFont(font); // a new handle every time
            const HGDIOBJ old = SelectObject(canvas.dc(), hfont);
            SetBkMode(canvas.dc(), TRANSPARENT);
            SetTextColor(canvas.dc(), c.ink);
            Rect rc = c.rc;
            DrawTextA(canvas.dc(), c.text, -1, &rc, DT_SINGLELINE);
            SelectObject(canvas.dc(), old);
            DeleteObject(hfont);
            ASSERT_EQ(canvas.image(), expected) << c.text << " round " << round;
        }
    }
}

// Glyph masks and blending depend on the pixel format, and a device pixel ratio scales what a
// painter draws; every 32-bit format, at every ratio, gets what a painter draws.
TEST(DrawTextA, DrawsTheSamePixelsAsQPainterInEveryPixelFormat) {
    const QFont font = TestFont(12);
    const HFONT hfont = CreateFontFromQFont(font);
    for (const auto format : {QImage::Format_ARGB32_Premultiplied, QImage::Format_ARGB32,
                              QImage::Format_RGBA8888, QImage::Format_RGB32}) {
        for (const auto& [at, ratio] :
             {std::pair(Rect{-20, 3, 30, 40}, 1.0), std::pair(Rect{3, 3, 60, 40}, 1.0),
              std::pair(Rect{-20, 3, 30, 40}, 2.0)}) {
            QImage expected(60, 30, format);
            PaintGround(expected, Ground::Gradient);
            expected.setDevicePixelRatio(ratio);
            QImage image = expected;
            PaintText(expected, font, "Searching..", at, kRed);
            const HDC dc = CreateDCForImage(&image);
            const HGDIOBJ old = SelectObject(dc, hfont);
            SetBkMode(dc, TRANSPARENT);
            SetTextColor(dc, kRed);
            Rect rc = at;
            DrawTextA(dc, "Searching..", -1, &rc, DT_SINGLELINE);
            SelectObject(dc, old);
            DeleteDC(dc);
            EXPECT_EQ(image, expected)
                << "format " << format << " at " << at.left << " ratio " << ratio;
        }
    }
    DeleteObject(hfont);
}

// The same text drawn again and again at almost the same place, with the kept line and its
// last pick of glyphs: anything that differs (a pixel under the text, the colour, the clip, the
// place, the background) must give what a painter draws now.
TEST(DrawTextA, RepeatedDrawsFollowWhatLiesUnderTheText) {
    struct Step {
        Ground ground;
        Rect rc;
        COLORREF ink;
        QPoint dot{-1, -1}; // one pixel of the ground changed, if inside the image
    };
    const Rect at{-9, 4, 40, 40};
    const Step steps[] = {
        {Ground::Gradient, at, kBlack},
        {Ground::Gradient, at, kBlack},
        {Ground::Gradient, at, kBlack, {5, 12}}, // under the edge of a stem
        {Ground::Gradient, at, kBlack, {5, 12}},
        {Ground::Gradient, at, kBlack},
        {Ground::Gradient, at, kRed},
        {Ground::Gradient, {-9, 4, 15, 40}, kBlack},
        {Ground::Gradient, {-8, 4, 40, 40}, kBlack},
        {Ground::Gradient, {-9, 5, 40, 40}, kBlack},
        {Ground::Stripes, at, kBlack},
        {Ground::Gradient, at, kBlack, {38, 25}}, // away from the text
        {Ground::Gradient, at, kBlack},
    };
    const QFont font = TestFont(14);
    const HFONT hfont = CreateFontFromQFont(font);
    Canvas canvas(40, 30);
    const HGDIOBJ old = SelectObject(canvas.dc(), hfont);
    SetBkMode(canvas.dc(), TRANSPARENT);
    int index = 0;
    for (const Step& step : steps) {
        QImage ground(40, 30, QImage::Format_RGB32);
        PaintGround(ground, step.ground);
        if (ground.rect().contains(step.dot)) ground.setPixel(step.dot, qRgb(255, 0, 255));
        QImage expected = ground;
        PaintText(expected, font, "Wide 45 %", step.rc, step.ink);
        canvas.image() = ground;
        SetTextColor(canvas.dc(), step.ink);
        Rect rc = step.rc;
        DrawTextA(canvas.dc(), "Wide 45 %", -1, &rc, DT_SINGLELINE);
        EXPECT_EQ(canvas.image(), expected) << "step " << index;
        ++index;
    }
    SelectObject(canvas.dc(), old);
    DeleteObject(hfont);
}

// The control keeps one font handle while its attributes stay and measures and draws the same
// text with it paint after paint; whatever else changes between calls must still be followed.
TEST(DrawTextA, TheSameHandleFollowsTextDeviceAndApplicationFont) {
    const QFont appFont = QGuiApplication::font();
    QFont pointFont("DejaVu Sans");
    pointFont.setPointSize(10); // pixels depend on the device's resolution
    const HFONT hfont = CreateFontFromQFont(pointFont);
    QImage screenLike(120, 40, QImage::Format_RGB32);
    QImage fine(120, 40, QImage::Format_RGB32);
    fine.setDotsPerMeterX(fine.dotsPerMeterX() * 2);
    fine.setDotsPerMeterY(fine.dotsPerMeterY() * 2);

    const auto drawn = [&](QImage& image, const char* text) {
        image.fill(qRgb(255, 255, 255));
        const HDC dc = CreateDCForImage(&image);
        const HGDIOBJ old = SelectObject(dc, hfont);
        SetBkMode(dc, TRANSPARENT);
        Rect measured{0, 0, 0, 0};
        DrawTextA(dc, text, -1, &measured, DT_CALCRECT);
        Rect rc{2, 2, 120, 40};
        DrawTextA(dc, text, -1, &rc, DT_SINGLELINE);
        SelectObject(dc, old);
        DeleteDC(dc);
        return std::pair(measured, image);
    };
    const auto painted = [&](const QImage& like, const char* text) {
        QImage image(like.size(), like.format());
        image.setDotsPerMeterX(like.dotsPerMeterX());
        image.setDotsPerMeterY(like.dotsPerMeterY());
        image.fill(qRgb(255, 255, 255));
        const QFontMetrics metrics(pointFont, &image);
        {
            QPainter painter(&image);
            painter.setClipRect(QRect(2, 2, 118, 38));
            painter.setFont(pointFont);
            painter.setPen(Qt::black);
            painter.drawText(QPointF(2, 2 + metrics.ascent()), text);
        }
        return std::pair(Rect{0, 0, metrics.horizontalAdvance(text), metrics.height()}, image);
    };

    EXPECT_EQ(drawn(screenLike, "45 %"), painted(screenLike, "45 %"));
    EXPECT_EQ(drawn(screenLike, "46 %"), painted(screenLike, "46 %")) << "another text";
    EXPECT_EQ(drawn(fine, "46 %"), painted(fine, "46 %")) << "another resolution";
    EXPECT_EQ(drawn(screenLike, "46 %"), painted(screenLike, "46 %")) << "back again";
    for (const auto strategy : {QFont::NoAntialias, QFont::PreferAntialias}) {
        QFont app = appFont;
        app.setStyleStrategy(strategy);
        QGuiApplication::setFont(app);
        EXPECT_EQ(drawn(screenLike, "46 %"), painted(screenLike, "46 %"))
            << "application font with style strategy " << strategy;
    }
    QGuiApplication::setFont(appFont);
    DeleteObject(hfont);
}

// A font leaves attributes unset that a painter takes from the application's font; the kept
// line must take them too, and follow when the application's font changes.
TEST(DrawTextA, UnsetFontAttributesComeFromTheApplicationsFont) {
    const QFont appFont = QGuiApplication::font();
    for (const auto strategy : {QFont::NoAntialias, QFont::PreferAntialias}) {
        QFont crisp = appFont;
        crisp.setStyleStrategy(strategy);
        QGuiApplication::setFont(crisp);
        const QFont plain = TestFont(); // its style strategy is unset
        QImage expected(60, 30, QImage::Format_RGB32);
        expected.fill(qRgb(255, 255, 255));
        {
            QPainter painter(&expected);
            painter.setClipRect(QRect(2, 2, 58, 28));
            painter.setFont(plain);
            painter.setPen(Qt::black);
            painter.drawText(QPointF(2, 2 + QFontMetrics(plain, &expected).ascent()), "45 %");
        }
        TextCanvas canvas(60, 30);
        SetBkMode(canvas.dc(), TRANSPARENT);
        Rect rc{2, 2, 60, 30};
        DrawTextA(canvas.dc(), "45 %", -1, &rc, DT_SINGLELINE);
        EXPECT_EQ(canvas.image(), expected) << "style strategy " << strategy;
    }
    QGuiApplication::setFont(appFont);
}

TEST(DrawTextA, WithoutPixelsMeasuresButCannotDraw) {
    const HDC screen = CreateDCA("DISPLAY", "", "", nullptr);
    Rect rc{0, 0, 0, 0};
    EXPECT_GT(DrawTextA(screen, "45 %", -1, &rc, DT_CALCRECT), 0);
    EXPECT_GT(rc.right, 0);
    EXPECT_EQ(DrawTextA(screen, "45 %", -1, &rc, DT_SINGLELINE), 0);
    DeleteDC(screen);
}

} // namespace
} // namespace gdi::test
