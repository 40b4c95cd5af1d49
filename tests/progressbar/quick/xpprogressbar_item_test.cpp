// The Qt Quick item as a QML program uses it: `import XPProgressBar`, properties set in QML,
// the item grabbed from its window. For the same state it shows the same pixels as the widget,
// at the screen's device pixel ratio.
#include "progressbar/widget/XPProgressBar.h"

#include <QByteArray>
#include <QColor>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest/QTest>
#include <gtest/gtest.h>

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

    // What the window shows of the item, in device pixels.
    QImage Shown(QQuickItem& item) {
        window = std::make_unique<QQuickWindow>();
        window->resize(qRound(item.width()), qRound(item.height()));
        item.setParentItem(window->contentItem());
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        return window->grabWindow().convertToFormat(QImage::Format_RGB32);
    }
};

// A widget's state and the same state written in QML for the item. The widget gets the
// percentage QProgressBar shows for the item's range and value on its default range 0..100,
// so the rows hold whatever the widget's own range mapping does.
struct PixelCase {
    const char* name; // the fault the row catches
    int width, height;
    const char* qml;
    XPProgressBar::BarStyle style;
    int percent;
    bool vertical = false;
    bool text = false;
    std::optional<QColor> color = std::nullopt;
    int brushStyle = 0;
};
void PrintTo(const PixelCase& c, std::ostream* os) {
    *os << c.name;
}

// What the widget shows, through its own paint event, as the widget tests grab it.
QImage WidgetShows(const PixelCase& c) {
    XPProgressBar bar;
    bar.resize(c.width, c.height);
    bar.initializeControl();
    bar.setBarStyle(c.style);
    bar.setOrientation(c.vertical ? Qt::Vertical : Qt::Horizontal);
    bar.setTextVisible(c.text);
    if (c.color) bar.setColor(*c.color);
    bar.setBrushStyle(c.brushStyle);
    bar.setValue(c.percent);
    bar.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&bar));
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
    auto item = Create(QByteArray("width: ") + QByteArray::number(c.width) +
                       "; height: " + QByteArray::number(c.height) + "\n" + c.qml);
    ASSERT_TRUE(item);
    ASSERT_EQ(item->property("percent").toInt(), c.percent);
    const QImage shown = Shown(*item);
    const QImage expected = WidgetShows(c);
    const qreal ratio = window->devicePixelRatio();
    ASSERT_EQ(shown.size(), QSize(qRound(c.width * ratio), qRound(c.height * ratio)));
    EXPECT_TRUE(shown == expected) << FirstDifference(shown, expected);
}

INSTANTIATE_TEST_SUITE_P(
    States, QuickItemPixels,
    ::testing::Values(
        PixelCase{"default look not the widget's", 120, 17, "value: 0.4", XPProgressBar::XPBlocks,
                  40},
        PixelCase{"real value rounded below its percent", 233, 17, "value: 0.29",
                  XPProgressBar::XPBlocks, 29},
        PixelCase{"non-zero from mapped as the control's Min", 150, 20,
                  "from: 50; to: 150; value: 100; barStyle: XPProgressBar.XPSmooth",
                  XPProgressBar::XPSmooth, 50},
        PixelCase{"text missing or in another font", 160, 22,
                  "from: -100; to: 100; value: 30; textVisible: true; "
                  "barStyle: XPProgressBar.Glass",
                  XPProgressBar::Glass, 65, false, true},
        PixelCase{"vertical bar filled from the wrong end", 24, 90,
                  "to: 1000; value: 700; orientation: Qt.Vertical", XPProgressBar::XPBlocks, 70,
                  true},
        PixelCase{"vertical text not centred", 30, 100,
                  "to: 10; value: 3; orientation: Qt.Vertical; textVisible: true; "
                  "barStyle: XPProgressBar.XPSearching",
                  XPProgressBar::XPSearching, 30, true, true},
        PixelCase{"byte count refused", 200, 18,
                  "to: 30000000; value: 22000000; barStyle: XPProgressBar.Shaded; "
                  "color: \"#c03000\"",
                  XPProgressBar::Shaded, 73, false, false, QColor(0xc0, 0x30, 0x00)},
        PixelCase{"hatch drawn with another brush", 140, 20,
                  "value: 0.8; barStyle: XPProgressBar.Hatch; brushStyle: 5; color: \"navy\"",
                  XPProgressBar::Hatch, 80, false, false, QColor(0, 0, 128), 5},
        PixelCase{"black-cleared look shows stale white", 90, 20,
                  "value: 0.6; barStyle: XPProgressBar.Dark; textVisible: true",
                  XPProgressBar::Dark, 60, false, true},
        PixelCase{"full etched bar", 100, 16, "value: 1; barStyle: XPProgressBar.Etched",
                  XPProgressBar::Etched, 100},
        PixelCase{"flat bar past its end", 100, 16, "value: 3; barStyle: XPProgressBar.Flat",
                  XPProgressBar::Flat, 100}),
    [](const auto& info) { return std::to_string(info.index); });

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
        auto item = Create("width: 120; height: 20; value: 0.5; barStyle: XPProgressBar.Picture; "
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
