// The Qt Quick item as a QML program uses it: `import XPProgressBar`, properties set in QML,
// the item grabbed from its window. For the same state it shows the same pixels as the widget,
// at the screen's device pixel ratio (the suite runs at 1 and at 2).
#include "progressbar/widget/XPProgressBar.h"

#include <QByteArray>
#include <QColor>
#include <QMetaEnum>
#include <QMetaProperty>
#include <QQmlComponent>
#include <QQmlEngine>
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
        QQmlComponent component(&engine);
        component.setData("import XPProgressBar\nXPProgressBar {\n" + body + "\n}\n", QUrl());
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
    qml += c.text ? "; textVisible: true" : "; textVisible: false";
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
    bar.setTextVisible(c.text);
    if (c.format) bar.setFormat(QString::fromLatin1(c.format));
    if (c.color) bar.setColor(*c.color);
    bar.setBrushStyle(c.brushStyle);
    bar.setRange(c.minimum, c.maximum);
    bar.setValue(c.value);
    bar.setEnabled(c.enabled);
    if (IsBusy(c)) {
        Tick(bar, c.busyFrames);
    } else {
        bar.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&bar));
    }
    return bar.grab().toImage().convertToFormat(QImage::Format_RGB32);
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
                                .busyFrames = 2}),
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

} // namespace
