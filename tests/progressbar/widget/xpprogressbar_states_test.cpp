// What the widget shows beyond one picture of the control: the busy animation, the disabled
// look, the fill running right to left or inverted, and the palette and font it follows.
#include "progressbar/widget/XPProgressBar.h"

#include "tests/progressbar/paint_fixture.h"

#include <QGuiApplication>
#include <QPalette>
#include <QSignalSpy>
#include <QTimer>
#include <QtMath>
#include <QtTest/QTest>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>
#include <set>
#include <utility>

namespace xpbar {
namespace {

// Glyphs drawn without smoothing have only the text colour, whatever lies beneath them.
class CrispText : public ::testing::Environment {
  public:
    void SetUp() override {
        QFont font = QGuiApplication::font();
        font.setStyleStrategy(QFont::NoAntialias);
        QGuiApplication::setFont(font);
    }
};
const auto* const kCrispText = ::testing::AddGlobalTestEnvironment(new CrispText);

using vex::test::AsciiPicture;
using vex::test::kBarColor;
using vex::test::Legend;
using vex::test::PictureOf;
using vex::test::Tint;

QImage Shown(XPProgressBar& bar) {
    return bar.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// The smallest rectangle holding every pixel in which two pictures differ.
QRect ChangedBox(const QImage& a, const QImage& b) {
    QRect box;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y)) box |= QRect(x, y, 1, 1);
    return box;
}

// Flat: a tint-100 frame round a tint-180 fill, on white.
Legend FlatLegend() {
    Legend l;
    l.Exact('.', vex::test::kWhite)
        .Exact('#', vex::test::kBlack)
        .Exact('f', Tint(100))
        .Exact('F', Tint(180));
    return l;
}

// The XP border's greys, the white inside, and any tint of the bar colour as fill.
Legend XPLegend() {
    Legend l = vex::test::BorderLegend();
    l.Between('x', kBarColor, 0xFEFEFE);
    return l;
}

std::unique_ptr<XPProgressBar> Bar(XPProgressBar::BarStyle style, int width, int height) {
    auto bar = std::make_unique<XPProgressBar>();
    bar->resize(width, height);
    bar->setBarStyle(style);
    bar->setColorCode(kBarColor);
    bar->setTextVisible(false);
    return bar;
}

vex::Long HalfwayToWhite(vex::Long color) {
    const gdi::BgrColor c(color);
    return gdi::RGB((c.Red() + 255) / 2, (c.Green() + 255) / 2, (c.Blue() + 255) / 2);
}

QTimer* BusyTimer(XPProgressBar& bar) {
    return bar.findChild<QTimer*>(QStringLiteral("busyAnimation"));
}

// One tick of the animation, as its timer gives it.
void Tick(XPProgressBar& bar, int times = 1) {
    for (int i = 0; i < times; ++i)
        QMetaObject::invokeMethod(BusyTimer(bar), "timeout");
}

TEST(XPProgressBarBusy, TheAnimationRunsOnlyWhileVisibleAndBusy) {
    XPProgressBar bar;
    QTimer* timer = BusyTimer(bar);
    ASSERT_NE(timer, nullptr);
    bar.setRange(0, 0);
    EXPECT_FALSE(timer->isActive()) << "not shown yet";
    bar.show();
    EXPECT_TRUE(timer->isActive());
    bar.hide();
    EXPECT_FALSE(timer->isActive());
    bar.show();
    EXPECT_TRUE(timer->isActive());
    bar.setRange(0, 10);
    EXPECT_FALSE(timer->isActive()) << "no longer busy";
    bar.setMaximum(0);
    EXPECT_TRUE(timer->isActive());
}

TEST(XPProgressBarBusy, XPLooksRunTheirSearchingBlocksAcrossTheBar) {
    auto bar = Bar(XPProgressBar::XPSmooth, 24, 9);
    bar->setRange(0, 0);
    const Legend legend = XPLegend();
    const QImage first = Shown(*bar);
    EXPECT_EQ(PictureOf(first, legend), R"(
WAdFFFFFFFFFFFFFFFFFFFFW
amssssssssssssssssssssFs
dsslllllllllllllllllllsd
FslWWWWWWWWWWWWWWWWWWWlF
FslWWWWWWWWWWWWWWWWWWWlF
FslWWWWWWWWWWWWWWWWWWWlF
dslWWWWWWWWWWWWWWWWWWWld
Amllllllllllllllllllllms
WadFFFFFFFFFFFFFFFFFFdsW)")
        << "the blocks have not entered yet";
    Tick(*bar, 4);
    EXPECT_EQ(PictureOf(Shown(*bar), legend), R"(
WAdFFFFFFFFFFFFFFFFFFFFW
amssssssssssssssssssssFs
dsslllllllllllllllllllsd
FslxxxxxWWWWWWWWWWWWWWlF
FslxxxxxWWWWWWWWWWWWWWlF
FslxxxxxWWWWWWWWWWWWWWlF
dslxxxxxWWWWWWWWWWWWWWld
Amllllllllllllllllllllms
WadFFFFFFFFFFFFFFFFFFdsW)")
        << "entering at the start";
    Tick(*bar, 10);
    EXPECT_EQ(PictureOf(Shown(*bar), legend), R"(
WAdFFFFFFFFFFFFFFFFFFFFW
amssssssssssssssssssssFs
dsslllllllllllllllllllsd
FslxxWWxxxxxxxxxxWWxxxlF
FslxxWWxxxxxxxxxxWWxxxlF
FslxxWWxxxxxxxxxxWWxxxlF
dslxxWWxxxxxxxxxxWWxxxld
Amllllllllllllllllllllms
WadFFFFFFFFFFFFFFFFFFdsW)")
        << "three blocks half-way";
    Tick(*bar, 13);
    EXPECT_EQ(Shown(*bar), first) << "after 27 frames the pass starts again";
    bar->setLayoutDirection(Qt::RightToLeft);
    Tick(*bar, 14);
    EXPECT_EQ(PictureOf(Shown(*bar), legend), R"(
WAdFFFFFFFFFFFFFFFFFFFFW
amssssssssssssssssssssFs
dsslllllllllllllllllllsd
FslxxxWWxxxxxxxxxxWWxxlF
FslxxxWWxxxxxxxxxxWWxxlF
FslxxxWWxxxxxxxxxxWWxxlF
dslxxxWWxxxxxxxxxxWWxxld
Amllllllllllllllllllllms
WadFFFFFFFFFFFFFFFFFFdsW)")
        << "right to left, the blocks run from the right";
}

TEST(XPProgressBarBusy, OtherLooksMoveAHighlightAcrossTheFullBar) {
    auto bar = Bar(XPProgressBar::Flat, 24, 4);
    bar->setRange(0, 0);
    Legend legend = FlatLegend();
    // Half-way to white, over the frame and over the fill.
    legend.Exact('h', HalfwayToWhite(Tint(100))).Exact('H', HalfwayToWhite(Tint(180)));
    EXPECT_EQ(PictureOf(Shown(*bar), legend), R"(
ffffffffffffffffffffffff
fFFFFFFFFFFFFFFFFFFFFFFF
fFFFFFFFFFFFFFFFFFFFFFFF
ffffffffffffffffffffffff)")
        << "the band has not entered yet";
    Tick(*bar, 10);
    EXPECT_EQ(PictureOf(Shown(*bar), legend), R"(
ffffhhhhhhffffffffffffff
fFFFHHHHHHFFFFFFFFFFFFFF
fFFFHHHHHHFFFFFFFFFFFFFF
ffffhhhhhhffffffffffffff)");
    bar->setLayoutDirection(Qt::RightToLeft);
    EXPECT_EQ(PictureOf(Shown(*bar), legend), R"(
ffffffffffffffhhhhhhffff
fFFFFFFFFFFFFFHHHHHHFFFF
fFFFFFFFFFFFFFHHHHHHFFFF
ffffffffffffffhhhhhhffff)")
        << "right to left, the band runs from the right";
}

TEST(XPProgressBarDirection, RightToLeftAndInvertedFillFromTheOtherEnd) {
    const Legend legend = FlatLegend();
    const std::string fromLeft = R"(
ffffffffffffffff
fFFF...........f
fFFF...........f
ffffffffffffffff)";
    const std::string fromRight = R"(
ffffffffffffffff
f...........FFFf
f...........FFFf
ffffffffffffffff)";
    struct Case {
        const char* name;
        Qt::LayoutDirection direction;
        bool inverted;
        const std::string& picture;
    };
    const Case cases[] = {
        {"left to right", Qt::LeftToRight, false, fromLeft},
        {"right to left fills from the right", Qt::RightToLeft, false, fromRight},
        {"inverted fills from the right", Qt::LeftToRight, true, fromRight},
        {"inverted right to left fills from the left", Qt::RightToLeft, true, fromLeft},
    };
    for (const Case& c : cases) {
        auto bar = Bar(XPProgressBar::Flat, 16, 4);
        bar->setValue(25);
        bar->setLayoutDirection(c.direction);
        bar->setInvertedAppearance(c.inverted);
        EXPECT_EQ(PictureOf(Shown(*bar), legend), c.picture) << c.name;
    }
}

TEST(XPProgressBarDirection, AStandingInvertedBarFillsFromTheTop) {
    auto bar = Bar(XPProgressBar::XPSmooth, 9, 16);
    bar->setOrientation(Qt::Vertical);
    bar->setValue(40);
    bar->setInvertedAppearance(true);
    bar->setLayoutDirection(Qt::RightToLeft); // does not turn a standing bar
    EXPECT_EQ(PictureOf(Shown(*bar), XPLegend()), R"(
WAdFFFFFW
amsssssFs
dssllllsd
FslxxxxlF
FslxxxxlF
FslxxxxlF
FslxxxxlF
FslWWWWlF
FslWWWWlF
FslWWWWlF
FslWWWWlF
FslWWWWlF
FslWWWWlF
dslWWWWld
Amlllllms
WadFFFdsW)");
}

// Right to left the XP blocks start inside the right end of the border, as far from it as they
// start from the left one left to right; the border keeps its own light and shade.
TEST(XPProgressBarDirection, XPBlocksStartAtTheRightEndOfTheInside) {
    auto bar = Bar(XPProgressBar::XPBlocks, 30, 9);
    bar->setValue(40);
    EXPECT_EQ(PictureOf(Shown(*bar), XPLegend()), R"(
WAdFFFFFFFFFFFFFFFFFFFFFFFFFFW
amssssssssssssssssssssssssssFs
dsslllllllllllllllllllllllllsd
FslWxxxxxxWWWWWWWWWWWWWWWWWWlF
FslWxxxxxxWWWWWWWWWWWWWWWWWWlF
FslWxxxxxxWWWWWWWWWWWWWWWWWWlF
dslWxxxxxxWWWWWWWWWWWWWWWWWWld
Amllllllllllllllllllllllllllms
WadFFFFFFFFFFFFFFFFFFFFFFFFdsW)");
    bar->setLayoutDirection(Qt::RightToLeft);
    EXPECT_EQ(PictureOf(Shown(*bar), XPLegend()), R"(
WAdFFFFFFFFFFFFFFFFFFFFFFFFFFW
amssssssssssssssssssssssssssFs
dsslllllllllllllllllllllllllsd
FslWWWWWWWWWWWWWWWWWWxxxxxxWlF
FslWWWWWWWWWWWWWWWWWWxxxxxxWlF
FslWWWWWWWWWWWWWWWWWWxxxxxxWlF
dslWWWWWWWWWWWWWWWWWWxxxxxxWld
Amllllllllllllllllllllllllllms
WadFFFFFFFFFFFFFFFFFFFFFFFFdsW)");
}

// Shaded: a frame in tint 10, a dark track, a light fill closed by a tint-25 line.
Legend ShadedLegend() {
    Legend l;
    l.Exact('.', vex::test::kWhite)
        .Exact('f', Tint(10))
        .Exact('e', Tint(25))
        .Between('d', kBarColor, Tint(110))
        .Between('L', Tint(111), 0xFEFEFE);
    return l;
}

// Etched: the etched edge round a fill of tints 140 to 200.
Legend EtchedLegend() {
    Legend l;
    l.Exact('.', vex::test::kWhite).Between('x', Tint(140), Tint(200));
    return vex::test::EdgeLegend(l);
}

// Right to left every look shows its left-to-right fill turned end for end inside its frame,
// also where the fill covers part of the frame or leaves a stub at the start, and where the
// look draws blocks instead of a fill.
TEST(XPProgressBarDirection, EachLooksFillTurnsWithinItsFrame) {
    struct Case {
        const char* name;
        XPProgressBar::BarStyle style;
        int value;
        QSize size;
        Legend legend;
        std::string rightToLeft;
    };
    const Case cases[] = {
        {"shaded, empty: the stub over the frame moves to the right end",
         XPProgressBar::Shaded,
         0,
         {16, 8},
         ShadedLegend(),
         R"(
ffffffffffffffff
f..............f
f.dddddddddddd.e
f.ddddddddddLLLe
f.ddddddddddLLLe
f.ddddddddddddde
f..............f
ffffffffffffffff)"},
        {"shaded, a third", XPProgressBar::Shaded, 33, {16, 8}, ShadedLegend(), R"(
ffffffffffffffff
f..............f
f.ddddddddeddd.f
f.ddddddddeLLd.f
f.ddddddddeLLd.f
f.ddddddddeddd.f
f..............f
ffffffffffffffff)"},
        {"etched, empty: the one-line stub moves to the right end",
         XPProgressBar::Etched,
         0,
         {16, 6},
         EtchedLegend(),
         R"(
111111111111111.
1.............1.
1............x1.
1.............1.
111111111111111.
................)"},
        {"etched, half", XPProgressBar::Etched, 50, {16, 6}, EtchedLegend(), R"(
111111111111111.
1.............1.
1......xxxxxxx1.
1.............1.
111111111111111.
................)"},
        {"etched, full", XPProgressBar::Etched, 100, {16, 6}, EtchedLegend(), R"(
111111111111111.
1.............1.
1.xxxxxxxxxxxxx.
1.............1.
111111111111111.
................)"},
        {"searching: the blocks run from the right",
         XPProgressBar::XPSearching,
         50,
         {40, 7},
         XPLegend(),
         R"(
WAdFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFW
amssssssssssssssssssssssssssssssssssssFs
dsslllllllllllllllllllllllllllllllllllsd
FslWWWWWWxxxxxxxxxxWWxxxxxxxxxxWWxxxxxlF
dslWWWWWWxxxxxxxxxxWWxxxxxxxxxxWWxxxxxld
Amllllllllllllllllllllllllllllllllllllms
WadFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFdsW)"},
    };
    for (const Case& c : cases) {
        auto bar = Bar(c.style, c.size.width(), c.size.height());
        bar->setValue(c.value);
        bar->setLayoutDirection(Qt::RightToLeft);
        EXPECT_EQ(PictureOf(Shown(*bar), c.legend), c.rightToLeft) << c.name;
    }
}

// The black pixels of a text drawn without smoothing.
std::set<std::pair<int, int>> SolidText(const QImage& image) {
    std::set<std::pair<int, int>> pixels;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if ((image.pixel(x, y) & 0xFFFFFF) == 0) pixels.insert({x, y});
    return pixels;
}

// Mirrored, the fill changes ends but the text stays readable where it was.
TEST(XPProgressBarDirection, TheTextStaysReadableWhenTheFillRunsFromTheRight) {
    for (const XPProgressBar::BarStyle style : {XPProgressBar::XPSmooth, XPProgressBar::Glass}) {
        auto bar = Bar(style, 120, 20);
        bar->setTextVisible(true);
        bar->setValue(50);
        const QImage leftToRight = Shown(*bar);
        bar->setLayoutDirection(Qt::RightToLeft);
        const QImage rightToLeft = Shown(*bar);
        const auto ltrText = SolidText(leftToRight);
        const auto rtlText = SolidText(rightToLeft);
        if (style == XPProgressBar::XPSmooth) {
            ASSERT_FALSE(ltrText.empty());
            EXPECT_EQ(rtlText, ltrText) << "black text, in the same place";
        } else {
            // Glass draws the text white over the fill: right to left the fill lies right of
            // the middle, so the black part of the text is the left one.
            ASSERT_FALSE(rtlText.empty());
            for (const auto& [x, y] : rtlText)
                EXPECT_LT(x, 60) << "black text over the turned fill at " << x << "," << y;
            for (const auto& [x, y] : ltrText)
                EXPECT_GE(x, 60) << "black text over the fill at " << x << "," << y;
        }
    }
}

// A standing bar's text reads along the bar, turned the way textDirection says.
TEST(XPProgressBarDirection, AStandingBarsTextReadsAlongTheBar) {
    auto bar = Bar(XPProgressBar::XPSmooth, 22, 120);
    bar->setOrientation(Qt::Vertical);
    bar->setValue(20);
    const QImage bare = Shown(*bar);
    bar->setTextVisible(true);
    const QImage downwards = Shown(*bar);
    const QRect text = ChangedBox(downwards, bare);
    ASSERT_FALSE(text.isEmpty());
    EXPECT_GT(text.height(), 2 * text.width()) << "the text runs along the bar";
    EXPECT_LE(std::abs(text.center().y() - 60), 2) << "centred along the bar";

    bar->setTextDirection(XPProgressBar::BottomToTop);
    const QImage upwards = Shown(*bar);
    EXPECT_EQ(ChangedBox(upwards, bare).size(), text.size());
    EXPECT_NE(SolidText(upwards), SolidText(downwards)) << "turned the other way";
    // The same glyphs, half a turn apart.
    std::set<std::pair<int, int>> turned;
    for (const auto& [x, y] : SolidText(downwards))
        turned.insert({text.left() + text.right() - x, text.top() + text.bottom() - y});
    const QRect up = ChangedBox(upwards, bare);
    std::set<std::pair<int, int>> shifted;
    for (const auto& [x, y] : SolidText(upwards))
        shifted.insert({x - up.left() + text.left(), y - up.top() + text.top()});
    EXPECT_EQ(shifted, turned);
}

// Disabled: the same look, grey and faded; enabled again, the picture comes back.
TEST(XPProgressBarState, ADisabledBarIsGreyedAndFaded) {
    auto bar = Bar(XPProgressBar::Glass, 60, 14);
    bar->setTextVisible(true);
    bar->setValue(40);
    const QImage enabled = Shown(*bar);
    bar->setEnabled(false);
    const QImage disabled = Shown(*bar);
    for (int y = 0; y < disabled.height(); ++y)
        for (int x = 0; x < disabled.width(); ++x) {
            const QRgb p = disabled.pixel(x, y);
            ASSERT_TRUE(qRed(p) == qGreen(p) && qGreen(p) == qBlue(p)) << x << "," << y;
            ASSERT_GE(qRed(p), 127) << "faded at " << x << "," << y;
            // The look stays: darker where it was darker.
            EXPECT_EQ(qRed(p), (qGray(enabled.pixel(x, y)) + 255) / 2) << x << "," << y;
        }
    bar->setEnabled(true);
    EXPECT_EQ(Shown(*bar), enabled);
}

// Without a colour of its own the fill follows the palette's Highlight, also when the palette
// changes later; once one is set it stays.
TEST(XPProgressBarState, TheFillFollowsThePalettesHighlightUntilAColourIsSet) {
    XPProgressBar bar;
    bar.resize(40, 8);
    bar.setBarStyle(XPProgressBar::Flat);
    bar.setValue(100);
    QSignalSpy changed(&bar, &XPProgressBar::colorChanged);
    QPalette palette = bar.palette();
    palette.setColor(QPalette::Highlight, QColor(200, 10, 20));
    bar.setPalette(palette);
    EXPECT_EQ(bar.color(), QColor(200, 10, 20));
    EXPECT_EQ(changed.count(), 1);

    XPProgressBar reference;
    reference.resize(40, 8);
    reference.setBarStyle(XPProgressBar::Flat);
    reference.setValue(100);
    reference.setColor(QColor(200, 10, 20));
    EXPECT_EQ(Shown(bar), Shown(reference));

    bar.setColor(QColor(0, 128, 0));
    palette.setColor(QPalette::Highlight, QColor(0, 0, 255));
    bar.setPalette(palette);
    EXPECT_EQ(bar.color(), QColor(0, 128, 0)) << "a colour set stays";
}

// Without a font of its own the text is drawn in the font the bar inherits, also when it
// changes later.
TEST(XPProgressBarState, TheTextFollowsTheInheritedFont) {
    QWidget parent;
    auto* bar = new XPProgressBar(&parent);
    bar->resize(120, 30);
    bar->setValue(50);
    const QImage before = Shown(*bar);
    const QFont big(QStringLiteral("DejaVu Sans"), 16, QFont::Bold);
    parent.setFont(big);

    XPProgressBar reference;
    reference.resize(120, 30);
    reference.setValue(50);
    reference.setFont(big);
    EXPECT_EQ(Shown(*bar), Shown(reference));
    EXPECT_NE(Shown(*bar), before);
}

// What the bar draws on a device of the given pixel ratio.
QImage RenderedAt(XPProgressBar& bar, qreal ratio) {
    QImage target(QSize(qCeil(bar.width() * ratio), qCeil(bar.height() * ratio)),
                  QImage::Format_RGB32);
    target.setDevicePixelRatio(ratio);
    target.fill(Qt::magenta);
    bar.render(&target);
    target.setDevicePixelRatio(1);
    return target;
}

QImage Doubled(const QImage& image) {
    return image.scaled(image.size() * 2, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

struct ScaleCase {
    const char* name;
    XPProgressBar::BarStyle style;
    int value;
    Qt::Orientation orientation;
    Qt::LayoutDirection direction;
};

// At a ratio of 2 the picture is the 1x one with every pixel doubled: lines two device pixels
// wide, blocks and gaps twice as long.
TEST(XPProgressBarScale, AtRatioTwoEveryStepIsDoubled) {
    const ScaleCase cases[] = {
        {"blocks", XPProgressBar::XPBlocks, 45, Qt::Horizontal, Qt::LeftToRight},
        {"glass", XPProgressBar::Glass, 60, Qt::Horizontal, Qt::LeftToRight},
        {"flat right to left", XPProgressBar::Flat, 30, Qt::Horizontal, Qt::RightToLeft},
        {"standing blocks", XPProgressBar::XPBlocks, 70, Qt::Vertical, Qt::LeftToRight},
    };
    for (const ScaleCase& c : cases) {
        const bool lying = c.orientation == Qt::Horizontal;
        auto bar = Bar(c.style, lying ? 80 : 20, lying ? 18 : 80);
        bar->setOrientation(c.orientation);
        bar->setLayoutDirection(c.direction);
        bar->setValue(c.value);
        const QImage once = RenderedAt(*bar, 1);
        EXPECT_EQ(once, Shown(*bar)) << c.name << ": at 1 the picture is the one shown today";
        EXPECT_EQ(RenderedAt(*bar, 2), Doubled(once)) << c.name;
    }
}

// The text is drawn at device resolution: outside it the picture is the doubled one, inside it
// is finer than any doubled picture.
TEST(XPProgressBarScale, AtRatioTwoTheTextIsDrawnAtDeviceResolution) {
    auto bar = Bar(XPProgressBar::XPSmooth, 80, 18);
    bar->setValue(30);
    const QImage bare = Doubled(RenderedAt(*bar, 1));
    bar->setTextVisible(true);
    const QImage twice = RenderedAt(*bar, 2);
    const QRect text = ChangedBox(twice, bare);
    ASSERT_FALSE(text.isEmpty());
    EXPECT_LE(text.right(), 2 * 80 * 3 / 4) << "the text stays in the middle";
    EXPECT_GE(text.left(), 2 * 80 / 4);
    bool finer = false;
    for (int y = text.top(); y < text.bottom(); y += 2)
        for (int x = text.left() & ~1; x < text.right(); x += 2)
            finer = finer || twice.pixel(x, y) != twice.pixel(x + 1, y) ||
                    twice.pixel(x, y) != twice.pixel(x, y + 1);
    EXPECT_TRUE(finer) << "the text is not the 1x text doubled";
}

// A fractional ratio is the whole ratio above it, scaled down smoothly.
TEST(XPProgressBarScale, AFractionalRatioIsTheNextWholeOneScaledDown) {
    auto bar = Bar(XPProgressBar::XPBlocks, 80, 18);
    bar->setValue(55);
    const QImage twice = RenderedAt(*bar, 2);
    const QImage fraction = RenderedAt(*bar, 1.5);
    const QImage expected =
        twice.scaled(fraction.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    int worst = 0;
    for (int y = 0; y < fraction.height(); ++y)
        for (int x = 0; x < fraction.width(); ++x) {
            const QRgb a = fraction.pixel(x, y), b = expected.pixel(x, y);
            worst = std::max({worst, std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                              std::abs(qBlue(a) - qBlue(b))});
        }
    EXPECT_LE(worst, 24);
}

// A repaint of an unchanged bar shows the picture put together before; any change shows at once.
// Each change is made to a bar already painted in a state, and the picture compared with a bar
// given the change before its first paint.
TEST(XPProgressBarRepaint, EveryChangeShowsAtTheNextPaint) {
    struct Base {
        const char* name;
        qreal ratio;
        Qt::LayoutDirection direction;
        bool enabled;
    };
    const Base bases[] = {{"plain", 1, Qt::LeftToRight, true},
                          {"disabled", 1, Qt::LeftToRight, false},
                          {"right to left, disabled", 1, Qt::RightToLeft, false},
                          {"right to left at ratio 2", 2, Qt::RightToLeft, true}};
    using Change = std::function<void(XPProgressBar&)>;
    QImage tile(4, 4, QImage::Format_RGB32);
    tile.fill(Qt::darkCyan);
    QPalette palette;
    palette.setColor(QPalette::Highlight, QColor(0x20, 0xA0, 0x40));
    struct Case {
        const char* name;
        XPProgressBar::BarStyle look;
        Change change;
    };
    const Case cases[] = {
        {"value", XPProgressBar::XPBlocks, [](XPProgressBar& b) { b.setValue(70); }},
        {"format", XPProgressBar::XPBlocks,
         [](XPProgressBar& b) { b.setFormat(QStringLiteral("%v of %m")); }},
        {"text hidden", XPProgressBar::XPBlocks, [](XPProgressBar& b) { b.setTextVisible(false); }},
        {"look", XPProgressBar::XPBlocks,
         [](XPProgressBar& b) { b.setBarStyle(XPProgressBar::Dark); }},
        {"colour", XPProgressBar::Flat, [](XPProgressBar& b) { b.setColor(Qt::darkRed); }},
        {"palette", XPProgressBar::Flat, [&](XPProgressBar& b) { b.setPalette(palette); }},
        {"hatch", XPProgressBar::Hatch, [](XPProgressBar& b) { b.setBrushStyle(3); }},
        {"picture", XPProgressBar::Picture, [&](XPProgressBar& b) { b.setImage(tile); }},
        {"font", XPProgressBar::XPSmooth,
         [](XPProgressBar& b) { b.setFont(QFont(QStringLiteral("DejaVu Serif"), 11)); }},
        {"inverted", XPProgressBar::XPSmooth,
         [](XPProgressBar& b) { b.setInvertedAppearance(true); }},
        {"direction", XPProgressBar::XPSmooth,
         [](XPProgressBar& b) { b.setLayoutDirection(Qt::LeftToRight); }},
        {"enabled", XPProgressBar::XPSmooth, [](XPProgressBar& b) { b.setEnabled(true); }},
        {"size", XPProgressBar::XPBlocks, [](XPProgressBar& b) { b.resize(90, 20); }},
        {"busy", XPProgressBar::XPBlocks, [](XPProgressBar& b) { b.setRange(0, 0); }},
    };
    for (const Base& base : bases) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(base.name) + ", " + c.name);
            const auto make = [&] {
                auto bar = std::make_unique<XPProgressBar>();
                bar->resize(70, 18);
                bar->setBarStyle(c.look);
                bar->setValue(40);
                bar->setLayoutDirection(base.direction);
                bar->setEnabled(base.enabled);
                return bar;
            };
            auto painted = make();
            const QImage before = RenderedAt(*painted, base.ratio);
            EXPECT_EQ(RenderedAt(*painted, base.ratio), before) << "a repaint";
            c.change(*painted);
            auto fresh = make();
            c.change(*fresh);
            const QImage expected = RenderedAt(*fresh, base.ratio);
            EXPECT_EQ(RenderedAt(*painted, base.ratio), expected);
        }
    }
}

} // namespace
} // namespace xpbar
