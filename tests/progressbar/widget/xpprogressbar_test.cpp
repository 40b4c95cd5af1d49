// The progress bar's widget host: the widget shows the control's own DC, forwards resize and
// paint, terminates the control when it goes, and shows the bar to assistive technology.
#include "progressbar/widget/XPProgressBar.h"
#include "progressbar/widget/XPProgressBarInternals.h"

#include "platform/gdi/gdi.h"
#include "progressbar/ControlHost.h"
#include "progressbar/StdFont.h"
#include "progressbar/XP_ProgressBar.h"
#include "progressbar/headless/HeadlessHost.h"

#include <QAccessible>
#include <QSignalSpy>
#include <QtTest/QTest>
#include <gtest/gtest.h>

#include <ostream>

#include <memory>
#include <vector>

namespace xpbar {

using vex::HeadlessHost;
using vex::kTrue;
using vex::Long;
using vex::XP_ProgressBar;

namespace {

// What the widget puts on the screen, through its own paint event.
QImage Shown(XPProgressBar& bar) {
    return bar.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

QRgb Pixel(const QImage& image, int x, int y) {
    return image.pixel(x, y) & 0xFFFFFF;
}
QRgb FromGdi(Long c) {
    return gdi::BgrColor(c).ToQRgb() & 0xFFFFFF;
}

// A bar compared with the control's own pictures, which show no text until asked.
std::unique_ptr<XPProgressBar> ShownBar(int width, int height) {
    auto bar = std::make_unique<XPProgressBar>();
    bar->resize(width, height);
    bar->initializeControl();
    bar->setTextVisible(false);
    bar->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(bar.get()));
    return bar;
}

TEST(XPProgressBar, ShowsACleanBarInAWindow) {
    auto bar = ShownBar(120, 17);
    const QImage shown = Shown(*bar);
    ASSERT_EQ(shown.size(), QSize(120, 17));
    // Nothing filled yet: the middle of the bar is the cleared white.
    EXPECT_EQ(Pixel(shown, 60, 8), 0xFFFFFFu);
    EXPECT_EQ(Pixel(shown, 100, 8), 0xFFFFFFu);
}

// Whatever the painters draw, the widget must show exactly what the control painted for its
// state and size: the same control in a window-less host gives the reference picture.
struct StateCase {
    const char* name; // the fault the row catches
    int width, height;
    Long value;
    Long scrolling;
};
// Names the row in test output (the bytes of the struct otherwise).
void PrintTo(const StateCase& c, std::ostream* os) {
    *os << c.name;
}

class XPProgressBarShowsControl : public ::testing::TestWithParam<StateCase> {};

TEST_P(XPProgressBarShowsControl, SamePixelsAsTheControlPaints) {
    const StateCase& c = GetParam();
    auto bar = ShownBar(c.width, c.height);
    XPProgressBarInternals::Control(*bar).SetScrolling(c.scrolling);
    bar->setValue(c.value);

    HeadlessHost reference(c.width, c.height);
    reference.Control().SetScrolling(c.scrolling);
    reference.Control().SetValue(c.value);

    EXPECT_EQ(Shown(*bar), reference.Screen().convertToFormat(QImage::Format_RGB32)) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    States, XPProgressBarShowsControl,
    ::testing::Values(StateCase{"value not presented after a set", 120, 17, 40, 0},
                      StateCase{"full bar not presented", 233, 17, 100, 0},
                      StateCase{"black-cleared style shows stale white", 90, 20, 60, 6},
                      StateCase{"tall bar clipped", 30, 80, 70, 0}),
    [](const auto& info) { return std::to_string(info.index); });

TEST(XPProgressBar, ResizeRepaintsTheBarAtTheNewSize) {
    auto bar = ShownBar(60, 17);
    bar->setValue(50);
    bar->resize(200, 25);
    QCoreApplication::processEvents();

    HeadlessHost reference(200, 25);
    reference.Control().SetValue(50);
    EXPECT_EQ(bar->shownImage().size(), QSize(200, 25));
    EXPECT_EQ(Shown(*bar), reference.Screen().convertToFormat(QImage::Format_RGB32));

    // Shrinking keeps the (larger) surface and still shows the right picture.
    bar->resize(40, 10);
    QCoreApplication::processEvents();
    HeadlessHost small(40, 10);
    small.Control().SetValue(50);
    EXPECT_EQ(Shown(*bar), small.Screen().convertToFormat(QImage::Format_RGB32));
}

TEST(XPProgressBar, ZeroSizeShowsNothingAndDoesNotCrash) {
    auto bar = std::make_unique<XPProgressBar>();
    bar->resize(0, 0);
    bar->initializeControl();
    bar->setValue(30);
    bar->resize(50, 10);
    QCoreApplication::processEvents();
    EXPECT_EQ(Shown(*bar).size(), QSize(50, 10));
}

TEST(XPProgressBar, DestructionTerminatesTheControlAndLeavesNoGdiObject) {
    const int before = gdi::LiveObjectCount();
    {
        auto bar = ShownBar(150, 17);
        bar->setValue(80);
        bar->resize(300, 20);
        QCoreApplication::processEvents();
        EXPECT_GT(gdi::LiveObjectCount(), before);
    }
    EXPECT_EQ(gdi::LiveObjectCount(), before);
}

TEST(XPProgressBar, UninitialisedWidgetPaintsItsBackgroundOnly) {
    XPProgressBar bar;
    bar.resize(40, 10);
    const QImage shown = Shown(bar);
    EXPECT_EQ(Pixel(shown, 20, 5), FromGdi(gdi::GetSysColor(gdi::COLOR_BTNFACE)));
}

// Before the control sets its own background, every host shows the desktop's button face.
TEST(XPProgressBar, StartsOnTheSameBackgroundAsTheHeadlessHost) {
    const Long buttonFace = gdi::GetSysColor(gdi::COLOR_BTNFACE);
    XPProgressBar bar;
    bar.resize(40, 10);
    HeadlessHost headless(40, 10, false);
    EXPECT_EQ(headless.BackColor(), buttonFace);
    EXPECT_EQ(Pixel(headless.Screen(), 20, 5), FromGdi(buttonFace));
    EXPECT_EQ(Pixel(Shown(bar), 20, 5), Pixel(headless.Screen(), 20, 5));
}

TEST(XPProgressBar, ScaleIsInTwipsUntilTheControlAsksForPixels) {
    XPProgressBar bar;
    bar.resize(40, 10);
    EXPECT_FLOAT_EQ(XPProgressBarInternals::Host(bar).ScaleWidth(), 600.0f);
    EXPECT_FLOAT_EQ(XPProgressBarInternals::Host(bar).ScaleHeight(), 150.0f);
    bar.initializeControl();
    EXPECT_FLOAT_EQ(XPProgressBarInternals::Host(bar).ScaleWidth(), 40.0f);
    EXPECT_FLOAT_EQ(XPProgressBarInternals::Host(bar).ScaleHeight(), 10.0f);
}

TEST(XPProgressBar, PropertyChangesReachTheContainerAsASignal) {
    auto bar = ShownBar(50, 10);
    QSignalSpy spy(bar.get(), &XPProgressBar::propertyChanged);
    XPProgressBarInternals::Control(*bar).SetMax(200);
    XPProgressBarInternals::Control(*bar).SetShowText(kTrue);
    ASSERT_EQ(spy.count(), 2);
    EXPECT_EQ(spy.at(0).at(0).toString(), "Max");
    EXPECT_EQ(spy.at(1).at(0).toString(), "ShowText");
}

// The font a bar inherits reaches the control as its own font object, size and weight kept.
TEST(XPProgressBar, TheInheritedFontBecomesTheControlsFont) {
    QWidget parent;
    auto* bar = new XPProgressBar(&parent);
    bar->resize(120, 30);
    bar->setValue(50);
    parent.setFont(QFont(QStringLiteral("DejaVu Sans"), 16, QFont::Bold));
    ASSERT_NE(XPProgressBarInternals::Control(*bar).GetFont(), nullptr);
    EXPECT_EQ(XPProgressBarInternals::Control(*bar).GetFont()->Size, 16.0);
    EXPECT_EQ(XPProgressBarInternals::Control(*bar).GetFont()->Weight, 700);
}

// As a QProgressBar: the value interface in the widget's units, the value as its text, and no
// name of its own.
TEST(XPProgressBar, AssistiveTechnologySeesAProgressBarWithItsValue) {
    auto bar = ShownBar(100, 17);
    bar->setRange(50, 150);
    bar->setValue(100);

    QAccessibleInterface* a11y = QAccessible::queryAccessibleInterface(bar.get());
    ASSERT_NE(a11y, nullptr);
    EXPECT_EQ(a11y->role(), QAccessible::ProgressBar);
    ASSERT_NE(a11y->valueInterface(), nullptr);
    EXPECT_EQ(a11y->valueInterface()->currentValue().toInt(), 100);
    EXPECT_EQ(a11y->valueInterface()->minimumValue().toInt(), 50);
    EXPECT_EQ(a11y->valueInterface()->maximumValue().toInt(), 150);
    EXPECT_EQ(a11y->text(QAccessible::Value), "100");
    EXPECT_EQ(a11y->text(QAccessible::Name), "");

    // Read-only: assistive technology cannot move the bar.
    a11y->valueInterface()->setCurrentValue(120);
    EXPECT_EQ(bar->value(), 100);
}

} // namespace
} // namespace xpbar
