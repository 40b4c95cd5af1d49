// The control's state: what InitializeControl leaves, what every accessor stores, notifies and
// repaints (in that order), and the lifecycle at sizes a surface cannot be made for.
#include "progressbar/StdFont.h"
#include "progressbar/StdPicture.h"
#include "progressbar/headless/HeadlessHost.h"
#include "tests/progressbar/test_access.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

namespace vex {
namespace {

constexpr QRgb kProbe = qRgb(255, 0, 255);

// Marks the screen; any repaint copies or paints over the mark.
void MarkScreen(HeadlessHost& host) {
    gdi::SetPixelV(host.OwnDC(), 0, 0, gdi::RGB(255, 0, 255));
}
bool Repainted(const HeadlessHost& host) {
    return host.Screen().pixel(0, 0) != kProbe;
}

TEST(Initialize, LeavesTheDefaults) {
    HeadlessHost host(120, 20);
    XP_ProgressBar& bar = host.Control();
    XP_ProgressBarTestAccess a(bar);
    EXPECT_EQ(a.Max(), 100);
    EXPECT_EQ(a.Min(), 0);
    EXPECT_EQ(a.lPercent(), 0);
    EXPECT_EQ(a.Orientation(), 0);
    EXPECT_EQ(a.Scrolling(), 0);
    EXPECT_EQ(a.BrushStyle(), 0);
    EXPECT_EQ(a.ShowText(), kFalse);
    EXPECT_EQ(a.Image(), nullptr);
    EXPECT_EQ(bar.GetColor(), gdi::GetSysColor(gdi::COLOR_HIGHLIGHT));
    ASSERT_NE(bar.GetFont(), nullptr);
    EXPECT_EQ(bar.GetFont()->Name, "MS Sans Serif");
    EXPECT_DOUBLE_EQ(bar.GetFont()->Size, 8.25);
    EXPECT_EQ(host.BackColor(), 0xFFFFFF);
    EXPECT_TRUE(host.ScaleModeIsPixels());
    EXPECT_EQ(bar.GethWnd(), host.Window());
    EXPECT_NE(a.hMemDC(), 0);
    EXPECT_EQ(bar.GethDc(), a.hMemDC());
    EXPECT_EQ(a.bUseMemDC(), kTrue);
    EXPECT_EQ(a.lMemWidth(), 120);
    EXPECT_EQ(a.lMemHeight(), 20);
    EXPECT_TRUE(host.Notifications().isEmpty()) << "initialisation stores fields directly";
}

TEST(Initialize, PaintsTheBar) {
    HeadlessHost host(30, 8, false);
    MarkScreen(host);
    host.Initialize();
    EXPECT_TRUE(Repainted(host));
}

struct AccessorCase {
    const char* name;
    std::function<void(XP_ProgressBar&, HeadlessHost&)> set;
    std::function<bool(XP_ProgressBar&, HeadlessHost&)> stored;
    QStringList notifications;
    bool repaints;
};

std::vector<AccessorCase> AccessorCases() {
    auto picture = std::make_shared<StdPicture>(QImage(4, 4, QImage::Format_RGB32));
    auto font = std::make_shared<StdFont>("Arial", 12);
    return {
        {"BrushStyle notifies without repainting",
         [](auto& b, auto&) { b.SetBrushStyle(3); },
         [](auto& b, auto&) { return XP_ProgressBarTestAccess(b).BrushStyle() == 3; },
         {"BrushStyle"},
         false},
        {"Color stores RGB as given and repaints",
         [](auto& b, auto&) { b.SetColor(0x123456); },
         [](auto& b, auto&) { return b.GetColor() == 0x123456; },
         {},
         true},
        {"Color resolves a system colour",
         [](auto& b, auto&) { b.SetColor(0x8000000F); },
         [](auto& b, auto&) { return b.GetColor() == gdi::GetSysColor(gdi::COLOR_BTNFACE); },
         {},
         true},
        {"Image shares the picture",
         [picture](auto& b, auto&) { b.SetImage(picture); },
         [picture](auto& b, auto&) { return b.GetImage() == picture; },
         {"Image"},
         true},
        {"Image accepts no picture",
         [](auto& b, auto&) { b.SetImage(nullptr); },
         [](auto& b, auto&) { return b.GetImage() == nullptr; },
         {"Image"},
         true},
        {"Min is not clamped and does not repaint",
         [](auto& b, auto&) { b.SetMin(500); },
         [](auto& b, auto&) { return b.GetMin() == 500 && b.StoredPercent() == 0; },
         {"Min"},
         false},
        {"Max is not clamped and does not repaint",
         [](auto& b, auto&) { b.SetMax(-3); },
         [](auto& b, auto&) { return b.GetMax() == -3; },
         {"Max"},
         false},
        {"Orientation keeps any value",
         [](auto& b, auto&) { b.SetOrientation(7); },
         [](auto& b, auto&) { return b.GetOrientation() == 7; },
         {"Orientation"},
         true},
        {"Scrolling keeps a value outside the styles",
         [](auto& b, auto&) { b.SetScrolling(12); },
         [](auto& b, auto&) { return b.GetScrolling() == 12; },
         {"Scrolling"},
         true},
        {"ShowText stores a non-zero value as True",
         [](auto& b, auto&) { b.SetShowText(1); },
         [](auto& b, auto&) { return b.GetShowText() == kTrue; },
         {"ShowText"},
         true},
        {"ShowText False",
         [](auto& b, auto&) { b.SetShowText(kFalse); },
         [](auto& b, auto&) { return b.GetShowText() == kFalse; },
         {"ShowText"},
         true},
        {"Value repaints without notifying",
         [](auto& b, auto&) { b.SetValue(50); },
         [](auto& b, auto&) { return b.StoredPercent() == 50; },
         {},
         true},
        {"Font shares the object and does not repaint",
         [font](auto& b, auto&) { b.SetFont(font); },
         [font](auto& b, auto&) { return b.GetFont() == font; },
         {},
         false},
        {"hWnd stores the handle only",
         [](auto& b, auto&) { b.SethWnd(4242); },
         [](auto& b, auto&) { return b.GethWnd() == 4242; },
         {},
         false},
        {"hDc ignores its argument",
         [](auto& b, auto&) { b.SethDc(999); },
         [](auto& b, auto&) {
             return b.GethDc() == XP_ProgressBarTestAccess(b).hMemDC() && b.GethDc() != 999;
         },
         {},
         false},
    };
}

TEST(Accessors, StoreNotifyAndRepaintAsEachPropertyRequires) {
    for (const AccessorCase& c : AccessorCases()) {
        SCOPED_TRACE(c.name);
        HeadlessHost host(40, 10);
        MarkScreen(host);
        c.set(host.Control(), host);
        EXPECT_TRUE(c.stored(host.Control(), host));
        EXPECT_EQ(host.Notifications(), c.notifications);
        EXPECT_EQ(Repainted(host), c.repaints);
    }
}

// The container hears of a change only once it is stored, and before it is painted.
TEST(Accessors, NotifyAfterStoreAndBeforeRepaint) {
    struct Case {
        const char* name;
        std::function<void(XP_ProgressBar&)> set;
        std::function<bool(XP_ProgressBar&)> stored;
    };
    const Case cases[] = {
        {"Orientation", [](auto& b) { b.SetOrientation(1); },
         [](auto& b) { return b.GetOrientation() == 1; }},
        {"Scrolling", [](auto& b) { b.SetScrolling(4); },
         [](auto& b) { return b.GetScrolling() == 4; }},
        {"ShowText", [](auto& b) { b.SetShowText(kTrue); },
         [](auto& b) { return b.GetShowText() == kTrue; }},
        {"Image", [](auto& b) { b.SetImage(nullptr); }, [](auto&) { return true; }},
        {"Max", [](auto& b) { b.SetMax(7); }, [](auto& b) { return b.GetMax() == 7; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HeadlessHost host(40, 10);
        MarkScreen(host);
        bool storedFirst = false;
        bool paintedFirst = true;
        host.onNotify = [&](const QString&) {
            storedFirst = c.stored(host.Control());
            paintedFirst = Repainted(host);
        };
        c.set(host.Control());
        EXPECT_TRUE(storedFirst);
        EXPECT_FALSE(paintedFirst);
    }
}

TEST(Accessors, FailingNotificationKeepsTheValueAndSkipsTheRepaint) {
    HeadlessHost host(40, 10);
    MarkScreen(host);
    host.onNotify = [](const QString&) { throw std::runtime_error("container refused"); };
    EXPECT_THROW(host.Control().SetScrolling(5), std::runtime_error);
    EXPECT_EQ(host.Control().GetScrolling(), 5);
    EXPECT_FALSE(Repainted(host));
}

TEST(Accessors, FontGetReturnsTheSharedObject) {
    HeadlessHost host(40, 10);
    host.Control().GetFont()->Weight = 700;
    EXPECT_EQ(host.Control().GetFont()->Weight, 700);
}

TEST(Accessors, ColorStoresTheSystemColourAsItIsNow) {
    HeadlessHost host(40, 10);
    host.Control().SetColor(static_cast<Long>(0x8000000D));
    EXPECT_GE(host.Control().GetColor(), 0) << "a system-colour code must never be stored";
}

TEST(Lifecycle, AnotherWindowSizesTheNextPaint) {
    HeadlessHost host(40, 10);
    const gdi::HWND other = gdi::RegisterWindow([] { return QSize(25, 6); });
    host.Control().SethWnd(other);
    host.Paint();
    EXPECT_EQ(XP_ProgressBarTestAccess(host.Control()).rcClient(), (gdi::Rect{0, 0, 25, 6}));
    gdi::UnregisterWindow(other);
}

TEST(Lifecycle, ResizeGrowsTheSurfaceWithoutPainting) {
    HeadlessHost host(40, 10);
    XP_ProgressBarTestAccess a(host.Control());
    host.SetSize(60, 12);
    MarkScreen(host);
    host.Control().ResizeControl();
    EXPECT_EQ(a.lMemWidth(), 60);
    EXPECT_EQ(a.lMemHeight(), 12);
    EXPECT_EQ(host.Control().GethDc(), a.hMemDC());
    EXPECT_FALSE(Repainted(host)) << "the paint request after a resize paints, not the resize";
}

TEST(Lifecycle, TerminateReleasesEverythingTheControlMade) {
    const int baseline = gdi::LiveObjectCount();
    {
        HeadlessHost host(50, 12, false);
        const int withHost = gdi::LiveObjectCount();
        host.Initialize();
        host.Control().SetShowText(kTrue);
        host.Control().SetValue(60);
        host.Terminate();
        XP_ProgressBarTestAccess a(host.Control());
        EXPECT_EQ(a.hMemDC(), 0);
        EXPECT_EQ(a.hMemBitmap(), 0);
        EXPECT_EQ(a.hOldBitmap(), 0);
        EXPECT_EQ(a.lMemWidth(), 0);
        EXPECT_EQ(a.lMemHeight(), 0);
        // The font object may keep its own handle until it goes; everything else is gone.
        EXPECT_LE(gdi::LiveObjectCount() - withHost, 1);
    }
    EXPECT_EQ(gdi::LiveObjectCount(), baseline);
}

TEST(Lifecycle, DestroyingAnUnterminatedControlLeaksNothing) {
    const int baseline = gdi::LiveObjectCount();
    {
        HeadlessHost host(50, 12, false);
        host.Initialize();
        XP_ProgressBar* extra = new XP_ProgressBar(host);
        XP_ProgressBarTestAccess(*extra).CreateSurface(30, 30);
        delete extra; // never terminated
    }
    EXPECT_EQ(gdi::LiveObjectCount(), baseline);
}

// Sizes for which no surface can be made: every layer goes to the own DC and nothing crashes.
TEST(Lifecycle, SizesWithoutASurfacePaintOnTheOwnDC) {
    struct Case {
        const char* name;
        int width;
        int height;
    };
    const Case cases[] = {
        {"zero by zero", 0, 0}, {"zero width", 0, 20},      {"zero height", 100, 0},
        {"negative", -5, -7},   {"negative width", -1, 20}, {"huge", 100000, 100000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HeadlessHost host(c.width, c.height);
        XP_ProgressBar& bar = host.Control();
        XP_ProgressBarTestAccess a(bar);
        EXPECT_EQ(a.hMemDC(), 0);
        EXPECT_EQ(bar.GethDc(), host.OwnDC());
        EXPECT_EQ(a.bUseMemDC(), kFalse);
        for (Long style = 0; style <= 10; ++style)
            bar.SetScrolling(style);
        bar.SetShowText(kTrue);
        bar.SetValue(50);
        host.Paint();
        EXPECT_EQ(bar.StoredPercent(), 50);
    }
}

TEST(Lifecycle, GrowingFromNothingGetsASurface) {
    HeadlessHost host(0, 0);
    host.Resize(80, 16);
    XP_ProgressBarTestAccess a(host.Control());
    EXPECT_EQ(a.lMemWidth(), 80);
    EXPECT_EQ(a.bUseMemDC(), kTrue);
    EXPECT_EQ(host.Control().GethDc(), a.hMemDC());
    host.Resize(0, 0);
    EXPECT_EQ(a.lMemWidth(), 80) << "shrinking keeps the surface";
    EXPECT_EQ(a.bUseMemDC(), kTrue);
}

// The font handle is made once and kept while the attributes stay; a change of any attribute
// the font is made from gives a new handle at the next call.
TEST(StdFont, HandleIsRemadeWhenAnAttributeChanges) {
    struct Change {
        const char* name;
        std::function<void(StdFont&)> apply;
    };
    const Change changes[] = {
        {"name", [](StdFont& f) { f.Name = QStringLiteral("Serif"); }},
        {"size", [](StdFont& f) { f.Size = 12; }},
        {"weight", [](StdFont& f) { f.Weight = 700; }},
        {"italic", [](StdFont& f) { f.Italic = true; }},
        {"underline", [](StdFont& f) { f.Underline = true; }},
        {"strikethrough", [](StdFont& f) { f.Strikethrough = true; }},
    };
    for (const Change& c : changes) {
        SCOPED_TRACE(c.name);
        StdFont font;
        const gdi::HFONT first = font.hFont();
        ASSERT_NE(first, 0);
        EXPECT_EQ(font.hFont(), first);
        c.apply(font);
        const gdi::HFONT second = font.hFont();
        EXPECT_NE(second, 0);
        EXPECT_NE(second, first);
        EXPECT_EQ(font.hFont(), second);
        EXPECT_FALSE(gdi::DeleteObject(first)) << "the old handle is deleted with the change";
    }
}

} // namespace
} // namespace vex
