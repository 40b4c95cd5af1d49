// The text overlay: which text, where it stands, and how Dark and Glass split it in two colours
// at the fill end. The checks read placement and colours, never glyph shapes, so they hold with
// any font.
#include "tests/progressbar/paint_fixture.h"

#include "progressbar/StdFont.h"

#include <QFont>
#include <QGuiApplication>
#include <gtest/gtest.h>

#include <set>

namespace vex::test {
namespace {

// Glyphs drawn without smoothing have only the text colour, so each text pixel tells which of
// the two draws made it.
class CrispText : public ::testing::Environment {
  public:
    void SetUp() override {
        QFont font = QGuiApplication::font();
        font.setStyleStrategy(QFont::NoAntialias);
        QGuiApplication::setFont(font);
    }
};
const auto* const kCrispText = ::testing::AddGlobalTestEnvironment(new CrispText);

// The pixels where two pictures of the same size differ, with the colour in `with`.
struct Changed {
    int x, y;
    Long color;
};
std::vector<Changed> Differences(const QImage& with, const QImage& without) {
    std::vector<Changed> d;
    for (int y = 0; y < with.height(); ++y)
        for (int x = 0; x < with.width(); ++x)
            if (with.pixel(x, y) != without.pixel(x, y)) d.push_back({x, y, ColorAt(with, x, y)});
    return d;
}

// What the text adds to a bar: the bar painted with and without it.
struct TextOnBar {
    explicit TextOnBar(BarSetup setup)
        : with(WithText(setup, true)), without(WithText(setup, false)) {}
    static BarSetup WithText(BarSetup setup, bool text) {
        setup.text = text;
        return setup;
    }
    std::vector<Changed> Text() const { return Differences(with.Screen(), without.Screen()); }
    PaintedBar with;
    PaintedBar without;
};

// The width and height of a text in the bar's font, measured as the overlay measures it.
gdi::Rect Measure(PaintedBar& bar, const std::string& text) {
    const gdi::HDC dc = bar.Control().GethDc();
    const gdi::HGDIOBJ old = gdi::SelectObject(dc, bar.Control().GetFont()->hFont());
    gdi::Rect rc;
    gdi::DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &rc, gdi::DT_CALCRECT);
    gdi::SelectObject(dc, old);
    return rc;
}

TEST(TextOverlay, ShowsTheCentredTextOfTheStyle) {
    struct Case {
        const char* name;
        BarSetup bar;
        std::string text;
    };
    const Case cases[] = {
        {"percentage with a space before the sign", {200, 20, XPBlocks, 45}, "45 %"},
        {"zero percent", {200, 20, Flat, 0}, "0 %"},
        {"the capped percentage", {200, 20, Shaded, 150}, "100 %"},
        {"a negative percentage keeps its sign", {200, 20, XPSmooth, -10}, "-10 %"},
        {"the searching style shows its word", {200, 20, XPSearching, 45}, "Searching.."},
        {"on a narrow control the text is still centred", {10, 20, XPSmooth, 30}, "30 %"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TextOnBar bar(c.bar);
        const gdi::Rect size = Measure(bar.with, c.text);
        const gdi::Rect rc = bar.with.Access().rcText();
        EXPECT_EQ(rc.width(), size.width()) << "the rectangle keeps the measured width";
        EXPECT_EQ(rc.height(), size.height());
        // Centred: both margins equal, or one pixel apart where the halves round to even.
        EXPECT_LE(std::abs(rc.left - (c.bar.width - rc.right)), 1);
        EXPECT_LE(std::abs(rc.top - (c.bar.height - rc.bottom)), 1);
        EXPECT_EQ(rc.left, static_cast<Long>(std::nearbyint(c.bar.width / 2.0 - rc.width() / 2.0)));

        const std::vector<Changed> text = bar.Text();
        if (c.bar.width >= rc.width()) {
            ASSERT_FALSE(text.empty()) << "the text is visible";
        }
        for (const Changed& p : text) {
            EXPECT_TRUE(rc.contains(p.x, p.y)) << "text pixel outside the text rectangle";
            EXPECT_EQ(p.color, kBlack) << "one draw, in black";
        }
    }
}

// The pixels of the text: which colours lie left of the fill end and which right of it.
struct Split {
    std::set<Long> left, right;
};
Split SplitAt(const std::vector<Changed>& text, double fillEnd) {
    Split s;
    for (const Changed& p : text)
        (p.x < fillEnd ? s.left : s.right).insert(p.color);
    return s;
}

TEST(TextOverlay, GlassAndDarkRedrawThePartOverTheFill) {
    // On a 100-pixel bar the fill end is the percentage itself.
    const Long overDark = LightenColor(kBarColor, 80);
    struct Case {
        const char* name;
        Long style;
        Long value;
        std::set<Long> left, right; // text colours each side of the fill end
    };
    const Case cases[] = {
        {"glass, fill short of the text: all black", Glass, 20, {}, {kBlack}},
        {"glass, fill across the text: white over the fill, black after",
         Glass,
         50,
         {kWhite},
         {kBlack}},
        {"glass, fill past the text: all white", Glass, 90, {kWhite}, {}},
        {"dark, fill short of the text: all silver", Dark, 20, {}, {0xC0C0C0}},
        {"dark, fill across the text: lightened bar colour, then silver",
         Dark,
         50,
         {overDark},
         {0xC0C0C0}},
        {"dark, fill past the text: all lightened bar colour", Dark, 90, {overDark}, {}},
        {"other styles never split", XPSmooth, 50, {kBlack}, {kBlack}},
        {"the searching text never splits", XPSearching, 50, {kBlack}, {kBlack}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TextOnBar bar({100, 20, c.style, c.value});
        const Split split = SplitAt(bar.Text(), c.value);
        EXPECT_EQ(split.left, c.left);
        EXPECT_EQ(split.right, c.right);
    }
}

// A host's own text takes the place of the percentage and keeps the overlay's placement and
// colour rule; an empty one draws nothing.
TEST(TextOverlay, AHostsTextTakesThePlaceOfTheControlsOwn) {
    const Long overDark = LightenColor(kBarColor, 80);
    struct Case {
        const char* name;
        Long style;
        Long value;
        std::string hostText;
        std::set<Long> left, right; // text colours each side of the fill end
    };
    const Case cases[] = {
        {"glass splits a host text at the fill end",
         Glass,
         50,
         "Copying files",
         {kWhite},
         {kBlack}},
        {"dark splits a host text at the fill end",
         Dark,
         50,
         "Copying files",
         {overDark},
         {0xC0C0C0}},
        {"a host text replaces the searching word", XPSearching, 45, "45%", {kBlack}, {kBlack}},
        {"an empty host text draws nothing", Glass, 50, "", {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PaintedBar with({100, 20, c.style, c.value, 0, true});
        with.Host().barText = c.hostText;
        with.Host().Paint();
        const PaintedBar without({100, 20, c.style, c.value, 0, false});
        const std::vector<Changed> text = Differences(with.Screen(), without.Screen());
        const Split split = SplitAt(text, c.value);
        EXPECT_EQ(split.left, c.left);
        EXPECT_EQ(split.right, c.right);
        if (!c.hostText.empty()) {
            const gdi::Rect size = Measure(with, c.hostText);
            EXPECT_EQ(with.Access().rcText().left,
                      static_cast<Long>(std::nearbyint(50 - size.width() / 2.0)))
                << "centred as the control's own text";
        }
    }

    // The same text from the host and from the control: the same pixels.
    PaintedBar own({100, 20, Glass, 50, 0, true});
    PaintedBar hosted({100, 20, Glass, 50, 0, true});
    hosted.Host().barText = "50 %";
    hosted.Host().Paint();
    EXPECT_EQ(hosted.Screen(), own.Screen());
}

// The comparisons at the text's edges: a fill that ends exactly on the left edge counts as
// reaching the text, and one that ends exactly on the right edge lets the first draw happen.
TEST(TextOverlay, FillEndOnTheTextEdges) {
    TextOnBar probe({100, 20, Glass, 50});
    const gdi::Rect size = Measure(probe.with, "50 %");
    const Long left = static_cast<Long>(std::nearbyint(50 - size.width() / 2.0));
    const Long right = left + size.width();

    PaintedBar before({100, 20, Glass, left - 1, 0, true});
    EXPECT_EQ(before.Access().rcText().right, right)
        << "fill short of the text: the rectangle keeps its measured right";

    PaintedBar atLeft({100, 20, Glass, left, 0, true});
    EXPECT_EQ(atLeft.Access().rcText().right, left) << "the second draw is clipped at the fill";

    TextOnBar atRight({100, 20, Glass, right});
    EXPECT_EQ(atRight.with.Access().rcText().right, right);
    EXPECT_EQ(SplitAt(atRight.Text(), 1000).left, std::set<Long>{kWhite});
}

// Whatever path the overlay takes, the DC ends with the font it had before.
TEST(TextOverlay, SelectsTheDCsFontBack) {
    for (Long style : {XPBlocks, Dark, Glass}) {
        for (Long value : {0, 50, 100}) {
            SCOPED_TRACE(::testing::Message() << "style " << style << ", value " << value);
            PaintedBar bar({100, 20, style, value, 0, true});
            const gdi::HDC dc = bar.Control().GethDc();
            const gdi::HFONT mine = gdi::CreateFontFromQFont(QFont(QStringLiteral("Serif")));
            const gdi::HGDIOBJ original = gdi::SelectObject(dc, mine);
            bar.Access().DrawBarText();
            EXPECT_EQ(gdi::SelectObject(dc, original), mine);
            gdi::DeleteObject(mine);
        }
    }
}

TEST(TextOverlay, ShowTextOffSelectsNoFont) {
    PaintedBar bar({100, 20, XPBlocks, 50});
    bar.Access().fntText() = nullptr;
    bar.Host().Paint();
    EXPECT_EQ(bar.Access().fntText(), nullptr);
}

// Without a font object the paint ends with an error and the screen keeps its picture.
TEST(TextOverlay, MissingFontIsAnErrorNotACrash) {
    PaintedBar bar({100, 20, XPBlocks, 30, 0, true});
    const QImage before = bar.Screen();
    bar.Control().SetFont(nullptr);
    EXPECT_THROW(bar.Control().SetValue(60), RuntimeError);
    EXPECT_EQ(bar.Screen(), before);
}

} // namespace
} // namespace vex::test
