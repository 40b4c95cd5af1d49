// The Qt Quick item as a QML program uses it: `import XPProgressBar`, properties set in QML,
// the item grabbed from its window. For the same state it shows the same pixels as the widget,
// at the screen's device pixel ratio (the suite runs at 1, 2 and 1.5).
#include "progressbar/widget/XPProgressBar.h"

#include <QAccessible>
#include <QByteArray>
#include <QColor>
#include <QFont>
#include <QMetaEnum>
#include <QMetaProperty>
#include <QPalette>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQmlProperty>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <QtTest/QTest>
#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

namespace {

using xpbar::XPProgressBar;

// The offscreen platform has no GPU: Qt Quick draws with its software renderer there.
class QuickItem : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        static const bool chosen = [] {
            QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
            return true;
        }();
        (void)chosen;
    }

    QQmlEngine engine;
    std::unique_ptr<QQuickWindow> window;

    void SetUp() override { engine.addImportPath(QStringLiteral(XPBAR_QML_IMPORT_DIR)); }

    // Creates `XPProgressBar { <body> }` from QML text, as a QML file would.
    std::unique_ptr<QQuickItem> Create(const QByteArray& body) {
        return CreateFile("XPProgressBar {\n" + body + "\n}\n");
    }

    // Creates the root item of a QML file that imports the module.
    std::unique_ptr<QQuickItem> CreateFile(const QByteArray& qml) {
        QQmlComponent component(&engine);
        component.setData("import XPProgressBar\n" + qml, QUrl());
        std::unique_ptr<QQuickItem> item(qobject_cast<QQuickItem*>(component.create()));
        EXPECT_TRUE(item) << component.errorString().toStdString();
        return item;
    }

    // What the window shows of the item, in device pixels; `whileShown` runs once the window
    // shows, just before the picture is taken.
    QImage Shown(QQuickItem& item, const std::function<void()>& whileShown = {}) {
        window = std::make_unique<QQuickWindow>();
        window->resize(qRound(item.width()), qRound(item.height()));
        item.setParentItem(window->contentItem());
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        if (whileShown) whileShown();
        return window->grabWindow().convertToFormat(QImage::Format_RGB32);
    }
};

// A widget's state and the same state for the item: the widget gets the range and value
// through setRange and setValue, the item the same numbers as from, to and value (or the real
// range `itemRange` that shows the same percentage), so the rows hold the item's range mapping,
// text and frames against the widget's own.
struct PixelCase {
    const char* name; // the fault the row catches
    int width, height;
    int minimum, maximum, value;
    XPProgressBar::BarStyle style = XPProgressBar::XPBlocks;
    const char* qml = ""; // more of the item's QML, where the fields below do not say it
    bool vertical = false;
    bool text = false;
    std::optional<QColor> color = std::nullopt;
    int brushStyle = 0;
    const char* format = nullptr;
    bool enabled = true;
    int busyFrames = 0; // steps of the busy animation before the picture is taken
    const char* itemRange = nullptr;
    bool inverted = false;
    bool rightToLeft = false; // the widget's layout direction, the item's LayoutMirroring
    bool textUpwards = false; // a standing bar's text reads bottom to top
    bool bare = false;        // neither sets textVisible: both show the text as made
    // Changed once the bar shows: the palette's Highlight (the window's, inherited by the
    // item) and the font.
    std::optional<QColor> laterHighlight = std::nullopt;
    std::optional<QFont> laterFont = std::nullopt;
};
void PrintTo(const PixelCase& c, std::ostream* os) {
    *os << c.name;
}

bool IsBusy(const PixelCase& c) {
    return c.minimum == 0 && c.maximum == 0;
}

// One step of the busy animation, as its timer gives it.
void Tick(QObject& owner, int times) {
    auto* timer = owner.findChild<QTimer*>(QStringLiteral("busyAnimation"));
    ASSERT_NE(timer, nullptr);
    for (int i = 0; i < times; ++i)
        QMetaObject::invokeMethod(timer, "timeout");
}

// The item's QML for a row: its size, range, text and look.
QByteArray ItemQml(const PixelCase& c) {
    QByteArray qml = "width: " + QByteArray::number(c.width) +
                     "; height: " + QByteArray::number(c.height) + "\n";
    // A busy row is made busy once its window shows, so that the animation starts from its
    // first step there.
    if (c.itemRange)
        qml += c.itemRange;
    else
        qml += "from: " + QByteArray::number(c.minimum) +
               "; to: " + QByteArray::number(IsBusy(c) ? 1 : c.maximum) +
               "; value: " + QByteArray::number(c.value);
    qml += "\nbarStyle: XPProgressBar." +
           QByteArray(QMetaEnum::fromType<XPProgressBar::BarStyle>().valueToKey(c.style));
    if (c.vertical) qml += "; orientation: Qt.Vertical";
    if (!c.bare) qml += c.text ? "; textVisible: true" : "; textVisible: false";
    if (c.inverted) qml += "; invertedAppearance: true";
    if (c.rightToLeft) qml += "; LayoutMirroring.enabled: true";
    if (c.textUpwards) qml += "; textDirection: XPProgressBar.BottomToTop";
    if (c.format) qml += "; format: \"" + QByteArray(c.format) + "\"";
    if (!c.enabled) qml += "; enabled: false";
    if (c.color) qml += "; color: \"" + c.color->name().toLatin1() + "\"";
    qml += "; brushStyle: " + QByteArray::number(c.brushStyle);
    return qml + "\n" + c.qml;
}

// What the widget shows, through its own paint event, as the widget tests grab it. A busy
// widget is grabbed without being shown, so that its animation steps only when told.
QImage WidgetShows(const PixelCase& c) {
    XPProgressBar bar;
    bar.resize(c.width, c.height);
    bar.initializeControl();
    bar.setBarStyle(c.style);
    bar.setOrientation(c.vertical ? Qt::Vertical : Qt::Horizontal);
    if (!c.bare) bar.setTextVisible(c.text);
    if (c.format) bar.setFormat(QString::fromLatin1(c.format));
    if (c.color) bar.setColor(*c.color);
    bar.setBrushStyle(c.brushStyle);
    bar.setRange(c.minimum, c.maximum);
    bar.setValue(c.value);
    bar.setEnabled(c.enabled);
    bar.setInvertedAppearance(c.inverted);
    bar.setLayoutDirection(c.rightToLeft ? Qt::RightToLeft : Qt::LeftToRight);
    bar.setTextDirection(c.textUpwards ? XPProgressBar::BottomToTop : XPProgressBar::TopToBottom);
    if (IsBusy(c)) {
        Tick(bar, c.busyFrames);
    } else {
        bar.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&bar));
    }
    if (c.laterHighlight) {
        QPalette palette = bar.palette();
        palette.setColor(QPalette::Highlight, *c.laterHighlight);
        bar.setPalette(palette);
    }
    if (c.laterFont) bar.setFont(*c.laterFont);
    return bar.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// The Highlight of a window's palette, which its items inherit, set as a QML program sets it.
void SetWindowHighlight(QQuickWindow& window, const QColor& color) {
    auto* palette = window.contentItem()->property("palette").value<QObject*>();
    ASSERT_NE(palette, nullptr);
    palette->setProperty("highlight", color);
}

// Where two pictures differ, for the failure message.
std::string FirstDifference(const QImage& shown, const QImage& expected) {
    if (shown.size() != expected.size()) return "sizes differ";
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x)
            if (shown.pixel(x, y) != expected.pixel(x, y))
                return QStringLiteral("first at (%1, %2): %3 where the widget shows %4")
                    .arg(x)
                    .arg(y)
                    .arg(shown.pixel(x, y) & 0xFFFFFF, 6, 16, QLatin1Char('0'))
                    .arg(expected.pixel(x, y) & 0xFFFFFF, 6, 16, QLatin1Char('0'))
                    .toStdString();
    return "none";
}

class QuickItemPixels : public QuickItem, public ::testing::WithParamInterface<PixelCase> {};

TEST_P(QuickItemPixels, SameAsTheWidgetInTheSameState) {
    const PixelCase& c = GetParam();
    auto item = Create(ItemQml(c));
    ASSERT_TRUE(item);
    const QImage shown = Shown(*item, [&] {
        if (c.laterHighlight) SetWindowHighlight(*window, *c.laterHighlight);
        if (c.laterFont) item->setProperty("font", *c.laterFont);
        if (!IsBusy(c)) return;
        item->setProperty("to", 0);
        Tick(*item, c.busyFrames);
    });
    const QImage expected = WidgetShows(c);
    const qreal ratio = window->devicePixelRatio();
    ASSERT_EQ(shown.size(), QSize(qRound(c.width * ratio), qRound(c.height * ratio)));
    EXPECT_TRUE(shown == expected) << FirstDifference(shown, expected);
}

INSTANTIATE_TEST_SUITE_P(
    States, QuickItemPixels,
    ::testing::Values(PixelCase{"default look not the widget's", 120, 17, 0, 10, 4},
                      PixelCase{.name = "real value rounded below its percent",
                                .width = 233,
                                .height = 17,
                                .minimum = 0,
                                .maximum = 100,
                                .value = 29,
                                .text = true,
                                .itemRange = "to: 1; value: 0.29"},
                      PixelCase{"non-zero minimum mapped as the control's Min", 150, 20, 50, 150,
                                100, XPProgressBar::XPSmooth},
                      PixelCase{.name = "text missing or in another font",
                                .width = 160,
                                .height = 22,
                                .minimum = -100,
                                .maximum = 100,
                                .value = 30,
                                .style = XPProgressBar::Glass,
                                .text = true},
                      PixelCase{.name = "vertical bar filled from the wrong end",
                                .width = 24,
                                .height = 90,
                                .minimum = 0,
                                .maximum = 1000,
                                .value = 700,
                                .vertical = true},
                      PixelCase{.name = "vertical text not along the bar",
                                .width = 30,
                                .height = 100,
                                .minimum = 0,
                                .maximum = 10,
                                .value = 3,
                                .style = XPProgressBar::XPSearching,
                                .vertical = true,
                                .text = true},
                      PixelCase{.name = "byte count refused",
                                .width = 200,
                                .height = 18,
                                .minimum = 0,
                                .maximum = 30000000,
                                .value = 22000000,
                                .style = XPProgressBar::Shaded,
                                .color = QColor(0xc0, 0x30, 0x00)},
                      PixelCase{.name = "whole int range overflows the percentage",
                                .width = 120,
                                .height = 20,
                                .minimum = INT_MIN,
                                .maximum = INT_MAX,
                                .value = INT_MAX - 1,
                                .style = XPProgressBar::Flat,
                                .text = true},
                      PixelCase{.name = "hatch drawn with another brush",
                                .width = 140,
                                .height = 20,
                                .minimum = 0,
                                .maximum = 5,
                                .value = 4,
                                .style = XPProgressBar::Hatch,
                                .color = QColor(0, 0, 128),
                                .brushStyle = 5},
                      PixelCase{.name = "black-cleared look shows stale white",
                                .width = 90,
                                .height = 20,
                                .minimum = 0,
                                .maximum = 100,
                                .value = 60,
                                .style = XPProgressBar::Dark,
                                .text = true},
                      PixelCase{.name = "format's value and steps not replaced",
                                .width = 160,
                                .height = 20,
                                .minimum = 10,
                                .maximum = 40,
                                .value = 25,
                                .style = XPProgressBar::XPSmooth,
                                .text = true,
                                .format = "%v of %m (%p%)"},
                      PixelCase{"full etched bar", 100, 16, 0, 100, 100, XPProgressBar::Etched},
                      PixelCase{.name = "disabled bar not greyed",
                                .width = 120,
                                .height = 18,
                                .minimum = 0,
                                .maximum = 4,
                                .value = 3,
                                .style = XPProgressBar::Shaded,
                                .text = true,
                                .enabled = false},
                      PixelCase{.name = "busy XP look not running its searching blocks",
                                .width = 120,
                                .height = 17,
                                .minimum = 0,
                                .maximum = 0,
                                .value = 0,
                                .text = true,
                                .busyFrames = 7},
                      PixelCase{.name = "busy standing bar's blocks run the wrong way",
                                .width = 20,
                                .height = 80,
                                .minimum = 0,
                                .maximum = 0,
                                .value = 0,
                                .style = XPProgressBar::XPSmooth,
                                .vertical = true,
                                .busyFrames = 3},
                      PixelCase{.name = "busy band of the other looks misplaced",
                                .width = 140,
                                .height = 18,
                                .minimum = 0,
                                .maximum = 0,
                                .value = 0,
                                .style = XPProgressBar::Glass,
                                .busyFrames = 9},
                      PixelCase{.name = "busy and disabled",
                                .width = 100,
                                .height = 16,
                                .minimum = 0,
                                .maximum = 0,
                                .value = 0,
                                .style = XPProgressBar::Flat,
                                .enabled = false,
                                .busyFrames = 2},
                      PixelCase{.name = "right-to-left layout fills from the left",
                                .width = 120,
                                .height = 17,
                                .minimum = 0,
                                .maximum = 10,
                                .value = 3,
                                .text = true,
                                .rightToLeft = true},
                      PixelCase{.name = "inverted bar fills from the start, text unreadable",
                                .width = 140,
                                .height = 20,
                                .minimum = 0,
                                .maximum = 100,
                                .value = 70,
                                .style = XPProgressBar::Glass,
                                .text = true,
                                .inverted = true},
                      PixelCase{.name = "inverted right-to-left bar not turned back",
                                .width = 120,
                                .height = 18,
                                .minimum = 0,
                                .maximum = 4,
                                .value = 1,
                                .style = XPProgressBar::Shaded,
                                .inverted = true,
                                .rightToLeft = true},
                      PixelCase{.name = "standing bar mirrored by the layout",
                                .width = 24,
                                .height = 90,
                                .minimum = 0,
                                .maximum = 10,
                                .value = 4,
                                .style = XPProgressBar::XPSmooth,
                                .vertical = true,
                                .rightToLeft = true},
                      PixelCase{.name = "inverted standing bar fills from the bottom",
                                .width = 24,
                                .height = 90,
                                .minimum = 0,
                                .maximum = 10,
                                .value = 4,
                                .vertical = true,
                                .text = true,
                                .inverted = true},
                      PixelCase{.name = "standing text reads down where told to read up",
                                .width = 30,
                                .height = 100,
                                .minimum = 0,
                                .maximum = 10,
                                .value = 6,
                                .vertical = true,
                                .text = true,
                                .textUpwards = true},
                      PixelCase{.name = "busy band enters from the left when right to left",
                                .width = 140,
                                .height = 18,
                                .minimum = 0,
                                .maximum = 0,
                                .value = 0,
                                .style = XPProgressBar::Etched,
                                .busyFrames = 5,
                                .rightToLeft = true},
                      PixelCase{.name = "bare item and bare widget differ",
                                .width = 120,
                                .height = 17,
                                .minimum = 0,
                                .maximum = 100,
                                .value = 45,
                                .bare = true},
                      PixelCase{.name = "palette change after creation ignored",
                                .width = 120,
                                .height = 17,
                                .minimum = 0,
                                .maximum = 10,
                                .value = 6,
                                .style = XPProgressBar::XPSmooth,
                                .bare = true,
                                .laterHighlight = QColor(0x20, 0x90, 0x30)},
                      PixelCase{.name = "palette overrides the colour set",
                                .width = 120,
                                .height = 17,
                                .minimum = 0,
                                .maximum = 10,
                                .value = 6,
                                .style = XPProgressBar::Flat,
                                .color = QColor(0x80, 0x10, 0x60),
                                .laterHighlight = QColor(0x20, 0x90, 0x30)},
                      PixelCase{
                          .name = "font change after creation ignored",
                          .width = 160,
                          .height = 24,
                          .minimum = 0,
                          .maximum = 10,
                          .value = 5,
                          .style = XPProgressBar::Dark,
                          .text = true,
                          .laterFont = QFont(QStringLiteral("DejaVu Serif"), 13, QFont::Bold)}),
    [](const auto& info) { return std::to_string(info.index); });

// A standing bar with text draws its text on the bar laid down; the pictures after that are
// whole, not cut to the laid-down bar's height.
TEST_F(QuickItem, StandingTextLeavesLaterPicturesWhole) {
    auto item = Create("width: 30; height: 100; to: 10; value: 3; orientation: Qt.Vertical; "
                       "textVisible: true");
    ASSERT_TRUE(item);
    const QImage first = Shown(*item);
    item->setProperty("value", 4);
    item->setProperty("value", 3);
    EXPECT_TRUE(window->grabWindow().convertToFormat(QImage::Format_RGB32) == first);
}

// The busy animation steps only while the item is busy and can be seen.
TEST_F(QuickItem, BusyAnimationRunsOnlyWhileVisibleAndBusy) {
    auto item = Create("width: 100; height: 16; to: 0");
    ASSERT_TRUE(item);
    auto* timer = item->findChild<QTimer*>(QStringLiteral("busyAnimation"));
    ASSERT_NE(timer, nullptr);
    EXPECT_FALSE(timer->isActive()) << "in no window";
    Shown(*item);
    EXPECT_TRUE(timer->isActive());
    item->setVisible(false);
    EXPECT_FALSE(timer->isActive());
    item->setVisible(true);
    EXPECT_TRUE(timer->isActive());
    item->setProperty("to", 10);
    EXPECT_FALSE(timer->isActive()) << "no longer busy";
    item->setProperty("indeterminate", true);
    EXPECT_TRUE(timer->isActive());
    item->setParentItem(nullptr);
    EXPECT_FALSE(timer->isActive()) << "out of its window";
}

// The text as the widget writes it, with real numbers where the range has them; none while busy.
TEST_F(QuickItem, TextFollowsFormatAndState) {
    auto item = Create("to: 2; value: 0.5");
    ASSERT_TRUE(item);
    QSignalSpy text(item.get(), SIGNAL(textChanged()));
    EXPECT_EQ(item->property("format").toString(), QStringLiteral("%p%"));
    EXPECT_EQ(item->property("text").toString(), QStringLiteral("25%"));
    item->setProperty("format", QStringLiteral("%v/%m"));
    EXPECT_EQ(item->property("text").toString(), QStringLiteral("0.5/2"));
    item->setProperty("to", 30000000);
    EXPECT_EQ(item->property("text").toString(), QStringLiteral("0.5/30000000"));
    item->setProperty("indeterminate", true);
    EXPECT_EQ(item->property("text").toString(), QString());
    EXPECT_EQ(text.count(), 3);
    const QMetaObject& meta = *item->metaObject();
    EXPECT_TRUE(meta.property(meta.indexOfProperty("format")).reset(item.get()));
    item->setProperty("indeterminate", false);
    EXPECT_EQ(item->property("text").toString(), QStringLiteral("0%"));
}

// The Picture look tiles the picture read from imageSource as the widget tiles the same image;
// a picture that cannot be read leaves none, as a widget that was given none.
TEST_F(QuickItem, PictureFromImageSourceSameAsTheWidgetsImage) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QImage checker(4, 4, QImage::Format_RGB32);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            checker.setPixel(x, y, (x + y) % 2 ? 0xFF2040C0 : 0xFFF0E020);
    const QString path = dir.filePath(QStringLiteral("checker.png"));
    ASSERT_TRUE(checker.save(path));

    struct Source {
        QString file;
        QImage image; // what the widget is given
    };
    const Source sources[] = {{path, checker}, {dir.filePath(QStringLiteral("missing.png")), {}}};
    for (const Source& source : sources) {
        const QByteArray url = QUrl::fromLocalFile(source.file).toEncoded();
        auto item = Create("width: 120; height: 20; value: 0.5; textVisible: true; "
                           "barStyle: XPProgressBar.Picture; "
                           "imageSource: \"" +
                           url + "\"");
        ASSERT_TRUE(item);
        EXPECT_EQ(item->property("image").value<QImage>().isNull(), source.image.isNull());

        XPProgressBar bar;
        bar.resize(120, 20);
        bar.initializeControl();
        bar.setBarStyle(XPProgressBar::Picture);
        bar.setImage(source.image);
        bar.setValue(50);
        bar.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&bar));
        const QImage expected = bar.grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QImage shown = Shown(*item);
        EXPECT_TRUE(shown == expected)
            << source.file.toStdString() << ": " << FirstDifference(shown, expected);
    }
}

// The range as Qt Quick Controls' ProgressBar keeps it, whatever order QML sets it in.
struct RangeCase {
    const char* name;
    const char* qml;
    double value, position;
    int percent;
    bool indeterminate;
};
void PrintTo(const RangeCase& c, std::ostream* os) {
    *os << c.name;
}

class QuickItemRange : public QuickItem, public ::testing::WithParamInterface<RangeCase> {};

TEST_P(QuickItemRange, FollowsProgressBar) {
    const RangeCase& c = GetParam();
    auto item = Create(c.qml);
    ASSERT_TRUE(item);
    EXPECT_DOUBLE_EQ(item->property("value").toDouble(), c.value);
    EXPECT_DOUBLE_EQ(item->property("position").toDouble(), c.position);
    EXPECT_DOUBLE_EQ(item->property("visualPosition").toDouble(), c.position);
    EXPECT_EQ(item->property("percent").toInt(), c.percent);
    EXPECT_EQ(item->property("indeterminate").toBool(), c.indeterminate);
}

INSTANTIATE_TEST_SUITE_P(
    Ranges, QuickItemRange,
    ::testing::Values(RangeCase{"defaults are not ProgressBar's", "", 0, 0, 0, false},
                      RangeCase{"value clamped before its range is set",
                                "value: 120; to: 200; from: 100", 120, 0.2, 20, false},
                      RangeCase{"value above the range kept", "value: 5", 1, 1, 100, false},
                      RangeCase{"value below a reversed range kept", "from: 10; to: 0; value: -3",
                                0, 1, 100, false},
                      RangeCase{"equal ends not busy", "from: 4; to: 4; value: 4", 4, 0, 0, true},
                      RangeCase{"busy flag ignored", "value: 0.5; indeterminate: true", 0.5, 0.5, 0,
                                true}),
    [](const auto& info) { return std::to_string(info.index); });

// Each change of the range says what moved, once, and only what moved.
TEST_F(QuickItem, RangeChangesSignalWhatMoved) {
    auto item = Create("to: 10; value: 5");
    ASSERT_TRUE(item);
    QSignalSpy value(item.get(), SIGNAL(valueChanged()));
    QSignalSpy position(item.get(), SIGNAL(positionChanged()));
    QSignalSpy percent(item.get(), SIGNAL(percentChanged()));
    QSignalSpy busy(item.get(), SIGNAL(indeterminateChanged()));

    item->setProperty("from", 6); // the value moves up with the range
    EXPECT_DOUBLE_EQ(item->property("value").toDouble(), 6);
    EXPECT_EQ(item->property("percent").toInt(), 0);
    EXPECT_EQ(value.count(), 1);
    EXPECT_EQ(position.count(), 1);
    EXPECT_EQ(percent.count(), 1);
    EXPECT_EQ(busy.count(), 0);

    item->setProperty("to", 6); // an empty range is busy
    EXPECT_TRUE(item->property("indeterminate").toBool());
    EXPECT_EQ(busy.count(), 1);
    EXPECT_EQ(position.count(), 1);
    EXPECT_EQ(percent.count(), 1);

    item->setProperty("to", 16);
    item->setProperty("value", 11);
    EXPECT_FALSE(item->property("indeterminate").toBool());
    EXPECT_EQ(item->property("percent").toInt(), 50);
    EXPECT_EQ(busy.count(), 2);
}

// Until a colour is set the bar takes the Highlight of the palette it inherits, and follows it.
TEST_F(QuickItem, ColourFollowsInheritedPaletteUntilSet) {
    auto root = CreateFile("Item {\n"
                           "    palette.highlight: \"#208030\"\n"
                           "    XPProgressBar { objectName: \"bar\" }\n"
                           "}\n");
    ASSERT_TRUE(root);
    auto* bar = root->findChild<QQuickItem*>(QStringLiteral("bar"));
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->property("color").value<QColor>(), QColor(0x20, 0x80, 0x30));

    QSignalSpy color(bar, SIGNAL(colorChanged()));
    auto* palette = root->property("palette").value<QObject*>();
    ASSERT_NE(palette, nullptr);
    palette->setProperty("highlight", QColor(0x10, 0x20, 0xa0));
    EXPECT_EQ(bar->property("color").value<QColor>(), QColor(0x10, 0x20, 0xa0));
    EXPECT_EQ(color.count(), 1);

    bar->setProperty("color", QColor(0xc0, 0x30, 0x00));
    palette->setProperty("highlight", QColor(0x20, 0x80, 0x30));
    EXPECT_EQ(bar->property("color").value<QColor>(), QColor(0xc0, 0x30, 0x00));
}

// A mirrored layout, inherited from above, turns a lying bar (visualPosition counts from the
// right), and invertedAppearance turns it back.
TEST_F(QuickItem, MirroringFollowsLayoutMirroringAbove) {
    auto root = CreateFile("Item {\n"
                           "    LayoutMirroring.enabled: true\n"
                           "    LayoutMirroring.childrenInherit: true\n"
                           "    XPProgressBar { objectName: \"bar\"; value: 0.25 }\n"
                           "}\n");
    ASSERT_TRUE(root);
    auto* bar = root->findChild<QQuickItem*>(QStringLiteral("bar"));
    ASSERT_NE(bar, nullptr);
    EXPECT_TRUE(bar->property("mirrored").toBool());
    EXPECT_DOUBLE_EQ(bar->property("position").toDouble(), 0.25);
    EXPECT_DOUBLE_EQ(bar->property("visualPosition").toDouble(), 0.75);

    QSignalSpy visual(bar, SIGNAL(visualPositionChanged()));
    bar->setProperty("invertedAppearance", true);
    EXPECT_DOUBLE_EQ(bar->property("visualPosition").toDouble(), 0.25);
    EXPECT_EQ(visual.count(), 1);

    QSignalSpy mirrored(bar, SIGNAL(mirroredChanged()));
    QQmlProperty::write(root.get(), QStringLiteral("LayoutMirroring.enabled"), false,
                        qmlContext(root.get()));
    EXPECT_FALSE(bar->property("mirrored").toBool());
    EXPECT_EQ(mirrored.count(), 1);
    EXPECT_DOUBLE_EQ(bar->property("visualPosition").toDouble(), 0.75) << "inverted alone";
}

// Assistive technology sees a progress bar in the item's units, with the value as its text and
// no name of its own, as a child of the window.
TEST_F(QuickItem, AccessibleAsAProgressBarInItsUnits) {
    auto item = Create("width: 100; height: 16; from: 50; to: 150; value: 100");
    ASSERT_TRUE(item);
    Shown(*item);
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(item.get());
    ASSERT_NE(iface, nullptr);
    EXPECT_EQ(iface->role(), QAccessible::ProgressBar);
    EXPECT_EQ(iface->text(QAccessible::Name), QString());
    EXPECT_EQ(iface->text(QAccessible::Value), QStringLiteral("100"));
    QAccessibleValueInterface* values = iface->valueInterface();
    ASSERT_NE(values, nullptr);
    EXPECT_DOUBLE_EQ(values->currentValue().toDouble(), 100);
    EXPECT_DOUBLE_EQ(values->minimumValue().toDouble(), 50);
    EXPECT_DOUBLE_EQ(values->maximumValue().toDouble(), 150);
    EXPECT_FALSE(iface->state().invisible);

    QAccessibleInterface* windowIface = QAccessible::queryAccessibleInterface(window.get());
    ASSERT_NE(windowIface, nullptr);
    EXPECT_GE(windowIface->indexOfChild(iface), 0) << "not in the window's tree";
    ASSERT_NE(iface->parent(), nullptr);
    EXPECT_EQ(iface->parent()->object(), window.get());
}

} // namespace
