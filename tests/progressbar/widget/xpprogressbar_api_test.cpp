// The widget's Qt interface: its properties as Designer and QML-free containers see them, the
// calls it shares with QProgressBar, and pictures set through that interface.
#include "progressbar/widget/XPProgressBar.h"

#include "platform/gdi/gdi.h"
#include "progressbar/StdFont.h"
#include "progressbar/XP_ProgressBar.h"
#include "progressbar/headless/HeadlessHost.h"

#include <QAccessible>
#include <QFile>
#include <QFileInfo>
#include <QMetaProperty>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QtGui/private/qguiapplication_p.h>
#include <QtGui/qpa/qplatformaccessibility.h>
#include <QtGui/qpa/qplatformintegration.h>
#include <gtest/gtest.h>

#include <ostream>
#include <sstream>
#include <type_traits>

#include <climits>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace xpbar {
namespace {

QImage Shown(XPProgressBar& bar) {
    return bar.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

QImage Checkers() {
    QImage image(4, 4, QImage::Format_RGB32);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            image.setPixel(x, y, (x + y) % 2 ? 0xFF2040A0 : 0xFFE0E000);
    return image;
}

struct PropertyCase {
    const char* name;
    QVariant set;
    QVariant expected; // what the getter gives back
};
// Names the row in test output (the bytes of the struct otherwise).
void PrintTo(const PropertyCase& c, std::ostream* os) {
    *os << c.name;
}

class XPProgressBarProperty : public ::testing::TestWithParam<PropertyCase> {};

// Through the meta-object, as Designer and uic-generated code use it: the property is there and
// designable, the setter's value comes back from the getter, its notify signal fires once, and
// setting the same value again is silent.
TEST_P(XPProgressBarProperty, SetterGetterAndNotifySignal) {
    const PropertyCase& c = GetParam();
    XPProgressBar bar;
    bar.resize(120, 17);
    const QMetaObject* meta = bar.metaObject();
    const int index = meta->indexOfProperty(c.name);
    ASSERT_GE(index, 0) << c.name;
    const QMetaProperty property = meta->property(index);
    EXPECT_TRUE(property.isDesignable()) << c.name;
    ASSERT_TRUE(property.hasNotifySignal()) << c.name;

    QSignalSpy spy(&bar, property.notifySignal());
    ASSERT_TRUE(property.write(&bar, c.set)) << c.name;
    EXPECT_EQ(property.read(&bar), c.expected) << c.name;
    EXPECT_EQ(spy.count(), 1) << c.name;
    property.write(&bar, c.set);
    EXPECT_EQ(spy.count(), 1) << c.name << ": the same value again must not signal";
}

INSTANTIATE_TEST_SUITE_P(
    Properties, XPProgressBarProperty,
    ::testing::Values(PropertyCase{"value", 40, 40}, PropertyCase{"minimum", 10, 10},
                      PropertyCase{"maximum", 50, 50}, PropertyCase{"textVisible", false, false},
                      PropertyCase{"orientation", QVariant::fromValue(Qt::Vertical),
                                   QVariant::fromValue(Qt::Vertical)},
                      PropertyCase{"barStyle", QVariant::fromValue(XPProgressBar::Glass),
                                   QVariant::fromValue(XPProgressBar::Glass)},
                      PropertyCase{"color", QColor(0, 192, 0), QColor(0, 192, 0)},
                      PropertyCase{"colorCode", 0x0000C000u, 0x0000C000u},
                      PropertyCase{"brushStyle", 5, 5},
                      PropertyCase{"image", Checkers(), Checkers()},
                      PropertyCase{"font", QFont("DejaVu Sans", 11), QFont("DejaVu Sans", 11)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(XPProgressBarColour, ASystemColourCodeIsStoredAsTheRgbItHasNow) {
    XPProgressBar bar;
    bar.setColor(QColor(0, 0, 0));
    QSignalSpy code(&bar, &XPProgressBar::colorCodeChanged);
    QSignalSpy colour(&bar, &XPProgressBar::colorChanged);
    bar.setColorCode(0x8000000Du);
    const uint highlight = static_cast<uint>(gdi::GetSysColor(gdi::COLOR_HIGHLIGHT));
    EXPECT_EQ(bar.colorCode(), highlight);
    EXPECT_EQ(bar.colorCode() & 0x80000000u, 0u);
    EXPECT_EQ(bar.color(), gdi::BgrColor(static_cast<vex::Long>(highlight)).ToQColor());
    EXPECT_EQ(code.count(), 1);
    EXPECT_EQ(colour.count(), 1);

    // Red is the low byte of a code; an invalid colour changes nothing.
    bar.setColor(QColor(255, 0, 0));
    EXPECT_EQ(bar.colorCode(), 0x000000FFu);
    bar.setColor(QColor());
    EXPECT_EQ(bar.colorCode(), 0x000000FFu);
}

// The calls shared with QProgressBar, applied in the same order to both; after each step both
// must agree on value, minimum, maximum and on the valueChanged signals sent.
using Step = std::function<void(QObject*)>;

Step SetValue(int v) {
    return [v](QObject* o) {
        if (auto* b = qobject_cast<XPProgressBar*>(o)) return b->setValue(v);
        static_cast<QProgressBar*>(o)->setValue(v);
    };
}
Step SetRange(int lo, int hi) {
    return [lo, hi](QObject* o) {
        if (auto* b = qobject_cast<XPProgressBar*>(o)) return b->setRange(lo, hi);
        static_cast<QProgressBar*>(o)->setRange(lo, hi);
    };
}
Step SetMinimum(int m) {
    return [m](QObject* o) {
        if (auto* b = qobject_cast<XPProgressBar*>(o)) return b->setMinimum(m);
        static_cast<QProgressBar*>(o)->setMinimum(m);
    };
}
Step SetMaximum(int m) {
    return [m](QObject* o) {
        if (auto* b = qobject_cast<XPProgressBar*>(o)) return b->setMaximum(m);
        static_cast<QProgressBar*>(o)->setMaximum(m);
    };
}
Step Reset() {
    return [](QObject* o) {
        if (auto* b = qobject_cast<XPProgressBar*>(o)) return b->reset();
        static_cast<QProgressBar*>(o)->reset();
    };
}

// Any call both classes have, written once: STEP(setFormat("%v")) applies to either bar.
template <typename F> Step Do(F f) {
    return [f](QObject* o) {
        if (auto* b = qobject_cast<XPProgressBar*>(o)) return f(b);
        f(static_cast<QProgressBar*>(o));
    };
}
#define STEP(call) Do([](auto* bar) { bar->call; })
// The class's own enumerator, so that one step names QProgressBar's or ours.
#define OWN(bar, name) std::remove_pointer_t<decltype(bar)>::name

struct CompatCase {
    const char* name; // the rule the row checks
    std::vector<Step> steps;
};
// Names the row in test output (the bytes of the struct otherwise).
void PrintTo(const CompatCase& c, std::ostream* os) {
    *os << c.name;
}

// Everything a program can read back from a bar, as one comparable line.
std::string Observed(QWidget* w) {
    std::ostringstream out;
    const auto state = [&](auto* bar) {
        out << "value " << bar->value() << ", range " << bar->minimum() << ".." << bar->maximum()
            << ", text \"" << bar->text().toStdString() << "\", format \""
            << bar->format().toStdString() << "\", textVisible " << bar->isTextVisible()
            << ", alignment " << int(bar->alignment()) << ", orientation "
            << int(bar->orientation()) << ", inverted " << bar->invertedAppearance()
            << ", textDirection " << int(bar->textDirection());
    };
    if (auto* ours = qobject_cast<XPProgressBar*>(w))
        state(ours);
    else
        state(static_cast<QProgressBar*>(w));
    const QSize hint = w->sizeHint();
    const QSize minimum = w->minimumSizeHint();
    out << ", sizeHint " << hint.width() << "x" << hint.height() << ", minimumSizeHint "
        << minimum.width() << "x" << minimum.height() << ", sizePolicy "
        << int(w->sizePolicy().horizontalPolicy()) << "/" << int(w->sizePolicy().verticalPolicy());
    QAccessibleInterface* a11y = QAccessible::queryAccessibleInterface(w);
    out << ", accessible role " << (a11y ? int(a11y->role()) : -1);
    if (a11y && a11y->valueInterface()) {
        QAccessibleValueInterface* v = a11y->valueInterface();
        out << ", current " << v->currentValue().toString().toStdString() << ", minimum "
            << v->minimumValue().toString().toStdString() << ", maximum "
            << v->maximumValue().toString().toStdString();
        // QProgressBar counts the step in int, which wraps for a range wider than INT_MAX (a
        // negative step); ours counts it in 64 bits, checked in its own test below.
        const qint64 width = v->maximumValue().toLongLong() - v->minimumValue().toLongLong();
        if (width <= INT_MAX) out << ", step " << v->minimumStepSize().toString().toStdString();
        out << ", value text \"" << a11y->text(QAccessible::Value).toStdString() << "\", name \""
            << a11y->text(QAccessible::Name).toStdString() << "\"";
    }
    return out.str();
}

class XPProgressBarLikeQProgressBar : public ::testing::TestWithParam<CompatCase> {};

// After every step both bars must read back the same: value, range, text and its settings,
// size hints and policy, what assistive technology sees, and the valueChanged signals sent.
TEST_P(XPProgressBarLikeQProgressBar, SameStateAfterEveryStep) {
    const CompatCase& c = GetParam();
    XPProgressBar ours;
    QProgressBar theirs;
    ours.resize(120, 17);
    theirs.resize(120, 17);
    QSignalSpy oursChanged(&ours, &XPProgressBar::valueChanged);
    QSignalSpy theirsChanged(&theirs, &QProgressBar::valueChanged);
    EXPECT_EQ(Observed(&ours), Observed(&theirs)) << c.name << ": a new bar";
    for (size_t i = 0; i < c.steps.size(); ++i) {
        c.steps[i](&ours);
        c.steps[i](&theirs);
        EXPECT_EQ(Observed(&ours), Observed(&theirs)) << c.name << ", step " << i;
        ASSERT_EQ(oursChanged.count(), theirsChanged.count()) << c.name << ", step " << i;
    }
    for (int i = 0; i < oursChanged.count(); ++i)
        EXPECT_EQ(oursChanged.at(i).at(0), theirsChanged.at(i).at(0)) << c.name;
}

// The value-change events sent to assistive technology, recorded while they are captured.
// Accessibility is on only while the platform says a client listens; the offscreen platform
// never does, so the recording switches its platform accessibility on (Qt's own accessibility
// tests do the same) and off again.
class AccessibleValueEvents {
  public:
    AccessibleValueEvents()
        : platform_(QGuiApplicationPrivate::platformIntegration()->accessibility()) {
        Recorded().clear();
        if (platform_) {
            wasActive_ = platform_->isActive();
            platform_->setActive(true);
        }
        previous_ = QAccessible::installUpdateHandler(&Record);
    }
    ~AccessibleValueEvents() {
        QAccessible::installUpdateHandler(previous_);
        if (platform_) platform_->setActive(wasActive_);
        Recorded().clear();
    }
    AccessibleValueEvents(const AccessibleValueEvents&) = delete;
    AccessibleValueEvents& operator=(const AccessibleValueEvents&) = delete;

    // Whether events reach the recording at all on this platform.
    static bool Available() { return QAccessible::isActive(); }

    // The values the events for `object` carried since the last call, in order.
    static std::vector<QVariant> Take(const QObject* object) {
        std::vector<QVariant> values;
        auto& all = Recorded();
        for (auto it = all.begin(); it != all.end();) {
            if (it->first != object) {
                ++it;
                continue;
            }
            values.push_back(it->second);
            it = all.erase(it);
        }
        return values;
    }

  private:
    static std::vector<std::pair<const QObject*, QVariant>>& Recorded() {
        static std::vector<std::pair<const QObject*, QVariant>> events;
        return events;
    }
    static void Record(QAccessibleEvent* event) {
        if (event->type() == QAccessible::ValueChanged)
            Recorded().emplace_back(event->object(),
                                    static_cast<QAccessibleValueChangeEvent*>(event)->value());
    }

    QPlatformAccessibility* platform_;
    bool wasActive_ = false;
    QAccessible::UpdateHandler previous_ = nullptr;
};

// Shown, both bars send assistive technology the same value-change events after every step, in
// the widget's units.
TEST_P(XPProgressBarLikeQProgressBar, SameAccessibleValueEventsWhenShown) {
    const CompatCase& c = GetParam();
    XPProgressBar ours;
    QProgressBar theirs;
    ours.resize(120, 17);
    theirs.resize(120, 17);
    ours.show();
    theirs.show();
    const AccessibleValueEvents events;
    if (!AccessibleValueEvents::Available()) GTEST_SKIP() << "no accessibility on this platform";
    for (size_t i = 0; i < c.steps.size(); ++i) {
        c.steps[i](&ours);
        c.steps[i](&theirs);
        EXPECT_EQ(AccessibleValueEvents::Take(&ours), AccessibleValueEvents::Take(&theirs))
            << c.name << ", step " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Calls, XPProgressBarLikeQProgressBar,
    ::testing::Values(
        CompatCase{"values inside the range are taken", {SetValue(0), SetValue(55), SetValue(100)}},
        CompatCase{"a value above the maximum is ignored", {SetValue(30), SetValue(101)}},
        CompatCase{"a value below the minimum is ignored",
                   {SetRange(10, 90), SetValue(20), SetValue(9), SetValue(-5)}},
        CompatCase{"the same value twice signals once", {SetValue(7), SetValue(7)}},
        CompatCase{"setRange with min > max makes max = min",
                   {SetRange(40, 20), SetValue(40), SetValue(41)}},
        CompatCase{"a range that excludes the value resets it",
                   {SetValue(80), SetRange(0, 50), SetValue(50)}},
        CompatCase{"a range still holding the value keeps it", {SetValue(30), SetRange(20, 60)}},
        CompatCase{"a minimum raised above the value resets it", {SetValue(30), SetMinimum(31)}},
        CompatCase{"setMinimum above the maximum moves the maximum", {SetMinimum(150)}},
        CompatCase{"setMaximum below the minimum moves the minimum",
                   {SetRange(10, 20), SetMaximum(5)}},
        CompatCase{"reset gives minimum - 1", {SetRange(5, 60), SetValue(30), Reset()}},
        CompatCase{"reset at INT_MIN stays at INT_MIN", {SetRange(INT_MIN, 100), Reset()}},
        CompatCase{"a negative range", {SetRange(-100, -1), SetValue(-50), SetValue(0)}},
        CompatCase{"a byte count beyond 21 million is taken",
                   {SetRange(0, 30'000'000), SetValue(22'000'000), SetValue(30'000'000)}},
        CompatCase{"a non-zero minimum counts from the minimum",
                   {SetRange(50, 150), SetValue(100), SetValue(150), SetValue(50)}},
        CompatCase{"a range across zero", {SetRange(-100, 100), SetValue(0), SetValue(-99)}},
        CompatCase{"a range below zero ending at zero",
                   {SetRange(-100, 0), SetValue(-50), SetValue(0)}},
        CompatCase{"the whole int range",
                   {SetRange(INT_MIN, INT_MAX), SetValue(0), SetValue(INT_MAX), SetValue(INT_MIN),
                    SetValue(INT_MIN + 1), Reset()}},
        CompatCase{
            "the top of the int range",
            {SetRange(INT_MAX - 10, INT_MAX), SetValue(INT_MAX - 3), Reset(), SetValue(INT_MAX)}},
        CompatCase{
            "0..0 is busy and takes any value",
            {SetValue(40), SetRange(0, 0), SetValue(5), SetValue(-7), Reset(), SetRange(0, 10)}},
        CompatCase{"a one-step range shows 100%", {SetRange(5, 5), SetValue(5), SetValue(6)}},
        CompatCase{"the format's placeholders",
                   {SetRange(-20, 180), SetValue(30), STEP(setFormat("%v of %m (%p%)")),
                    STEP(setFormat("%p%%")), STEP(setFormat("%%p %x %")), STEP(setFormat("")),
                    STEP(resetFormat())}},
        CompatCase{"no text after reset and when busy",
                   {SetValue(10), STEP(setFormat("%v")), Reset(), SetRange(0, 0)}},
        CompatCase{"the text settings",
                   {SetValue(25), STEP(setTextVisible(false)), STEP(setTextVisible(true)),
                    STEP(setAlignment(Qt::AlignCenter)), STEP(setAlignment(Qt::AlignRight)),
                    STEP(setInvertedAppearance(true)),
                    STEP(setTextDirection(OWN(bar, BottomToTop)))}},
        CompatCase{"standing turns the size hints and the policy",
                   {STEP(setOrientation(Qt::Vertical)), SetValue(60),
                    STEP(setOrientation(Qt::Horizontal)), STEP(setOrientation(Qt::Vertical))}},
        CompatCase{"a font changes the size hints",
                   {SetValue(60), STEP(setFont(QFont(QStringLiteral("DejaVu Sans"), 16))),
                    STEP(setOrientation(Qt::Vertical))}},
        CompatCase{"an own size policy stays when standing",
                   {STEP(setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Preferred)),
                    STEP(setOrientation(Qt::Vertical))}}),
    [](const auto& info) { return std::to_string(info.index); });

// A range wider than an int: the step stays a positive hundredth of it.
TEST(XPProgressBarAccessibility, TheStepOfARangeWiderThanAnIntIsAHundredthOfIt) {
    XPProgressBar bar;
    bar.setRange(INT_MIN, INT_MAX);
    QAccessibleInterface* a11y = QAccessible::queryAccessibleInterface(&bar);
    ASSERT_NE(a11y, nullptr);
    EXPECT_DOUBLE_EQ(a11y->valueInterface()->minimumStepSize().toDouble(), 4294967295 / 100.0);
}

// The event carries the value itself, not the percentage painted; a hidden bar sends none, as a
// hidden QProgressBar does.
TEST(XPProgressBarAccessibility, AValueChangeEventCarriesTheValueWhileShown) {
    XPProgressBar bar;
    bar.resize(120, 17);
    bar.setRange(50, 150);
    const AccessibleValueEvents events;
    if (!AccessibleValueEvents::Available()) GTEST_SKIP() << "no accessibility on this platform";
    bar.setValue(60);
    EXPECT_TRUE(AccessibleValueEvents::Take(&bar).empty()) << "hidden";
    bar.show();
    bar.setValue(100);
    EXPECT_EQ(AccessibleValueEvents::Take(&bar), std::vector<QVariant>{100});
    bar.setValue(100);
    bar.setValue(151);
    EXPECT_TRUE(AccessibleValueEvents::Take(&bar).empty()) << "no change, or refused";
}

// In a vertical layout the bar keeps QProgressBar's height however tall the window is.
TEST(XPProgressBarLayout, KeepsQProgressBarsHeightAtEveryWindowSize) {
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* ours = new XPProgressBar;
    auto* theirs = new QProgressBar;
    layout->addWidget(ours);
    layout->addWidget(theirs);
    window.show();
    for (const QSize size : {QSize(300, 60), QSize(300, 300), QSize(300, 30), QSize(120, 600)}) {
        window.resize(size);
        layout->activate();
        EXPECT_EQ(ours->height(), theirs->height()) << size.width() << "x" << size.height();
        EXPECT_EQ(ours->height(), ours->sizeHint().height());
        EXPECT_EQ(ours->width(), theirs->width());
    }
}

// Set through the widget's interface, the bar must show exactly what the control paints when
// its own properties are set to the same things.
struct PictureCase {
    const char* name;
    XPProgressBar::BarStyle style;
    int value;
    bool text;
    uint color;
    Qt::Orientation orientation;
};
// Names the row in test output (the bytes of the struct otherwise).
void PrintTo(const PictureCase& c, std::ostream* os) {
    *os << c.name;
}

class XPProgressBarPicture : public ::testing::TestWithParam<PictureCase> {};

TEST_P(XPProgressBarPicture, GrabEqualsTheControlsOwnPicture) {
    const PictureCase& c = GetParam();
    const int width = c.orientation == Qt::Horizontal ? 150 : 24;
    const int height = c.orientation == Qt::Horizontal ? 20 : 120;
    XPProgressBar bar;
    bar.resize(width, height);
    // The control's own text and font, set as the updater's window sets what it needs.
    bar.setFormat(QStringLiteral("%p %"));
    bar.setFont(vex::StdFont().ToQFont());
    bar.setBarStyle(c.style);
    bar.setColorCode(c.color);
    bar.setOrientation(c.orientation);
    bar.setTextVisible(c.text);
    bar.setValue(c.value);

    vex::HeadlessHost reference(width, height);
    vex::XP_ProgressBar& control = reference.Control();
    control.SetScrolling(c.style);
    control.SetColor(static_cast<vex::Long>(c.color));
    control.SetOrientation(c.orientation == Qt::Horizontal ? 0 : 1);
    control.SetShowText(vex::ToBoolean(c.text));
    control.SetValue(c.value);
    EXPECT_EQ(Shown(bar), reference.Screen().convertToFormat(QImage::Format_RGB32)) << c.name;
}

INSTANTIATE_TEST_SUITE_P(Pictures, XPProgressBarPicture,
                         ::testing::Values(PictureCase{"blocks at 45", XPProgressBar::XPBlocks, 45,
                                                       false, 0x0000C000, Qt::Horizontal},
                                           PictureCase{"glass with text", XPProgressBar::Glass, 60,
                                                       true, 0x00FF8000, Qt::Horizontal},
                                           PictureCase{"shaded full", XPProgressBar::Shaded, 100,
                                                       true, 0x000000FF, Qt::Horizontal},
                                           PictureCase{"vertical smooth", XPProgressBar::XPSmooth,
                                                       70, false, 0x0000C000, Qt::Vertical}),
                         [](const auto& info) { return std::to_string(info.index); });

// The stored properties through a file: what one bar saves, another restores, and its
// properties and signals follow; a file that cannot be read changes nothing.
TEST(XPProgressBarPropertyFile, WhatOneBarSavesAnotherRestores) {
    QTemporaryDir dir;
    const QString path = dir.filePath("bar.json");
    XPProgressBar saved;
    saved.setRange(0, 200);
    saved.setValue(50);
    saved.setBarStyle(XPProgressBar::Hatch);
    saved.setBrushStyle(2);
    saved.setColorCode(0x00102030);
    saved.setTextVisible(true);
    QString error;
    ASSERT_TRUE(saved.saveProperties(path, &error)) << error.toStdString();

    XPProgressBar restored;
    QSignalSpy style(&restored, &XPProgressBar::barStyleChanged);
    QSignalSpy maximum(&restored, &XPProgressBar::maximumChanged);
    ASSERT_TRUE(restored.loadProperties(path, &error)) << error.toStdString();
    EXPECT_EQ(restored.maximum(), 200);
    EXPECT_EQ(restored.value(), 50);
    EXPECT_EQ(restored.barStyle(), XPProgressBar::Hatch);
    EXPECT_EQ(restored.brushStyle(), 2);
    EXPECT_EQ(restored.colorCode(), 0x00102030u);
    EXPECT_TRUE(restored.isTextVisible());
    EXPECT_EQ(style.count(), 1);
    EXPECT_EQ(maximum.count(), 1);
    // The same percentage drawn: the two bars show the same picture.
    saved.resize(120, 17);
    restored.resize(120, 17);
    EXPECT_EQ(Shown(restored), Shown(saved));
}

// The range and the value are saved in the widget's units, so every range comes back whole.
TEST(XPProgressBarPropertyFile, EveryRangeAndValueComesBack) {
    struct Case {
        const char* name;
        int minimum, maximum, value; // value INT_MIN: left reset
    };
    const Case cases[] = {
        {"a byte count", 0, 30'000'000, 22'000'000},
        {"a minimum above 0", 50, 150, 100},
        {"a negative range", -100, 0, -25},
        {"the whole int range", INT_MIN, INT_MAX, INT_MAX},
        {"busy", 0, 0, 7},
        {"nothing done yet", 10, 20, INT_MIN},
    };
    QTemporaryDir dir;
    for (const Case& c : cases) {
        const QString path = dir.filePath("bar.json");
        XPProgressBar saved;
        saved.setRange(c.minimum, c.maximum);
        if (c.value != INT_MIN) saved.setValue(c.value);
        QString error;
        ASSERT_TRUE(saved.saveProperties(path, &error)) << c.name << ": " << error.toStdString();
        XPProgressBar restored;
        ASSERT_TRUE(restored.loadProperties(path, &error)) << c.name << ": " << error.toStdString();
        EXPECT_EQ(restored.minimum(), saved.minimum()) << c.name;
        EXPECT_EQ(restored.maximum(), saved.maximum()) << c.name;
        EXPECT_EQ(restored.value(), saved.value()) << c.name;
        EXPECT_EQ(restored.text(), saved.text()) << c.name;
        EXPECT_EQ(Shown(restored), Shown(saved)) << c.name;
    }
}

TEST(XPProgressBarPropertyFile, AFileThatCannotBeReadChangesNothing) {
    QTemporaryDir dir;
    const QString path = dir.filePath("broken.json");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("{ \"format\": \"Vexbrindle.PropertyBag\", \"entr");
    file.close();

    XPProgressBar bar;
    bar.setValue(30);
    bar.setBarStyle(XPProgressBar::Dark);
    QString error;
    EXPECT_FALSE(bar.loadProperties(path, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(bar.loadProperties(dir.filePath("missing.json"), &error));
    EXPECT_EQ(bar.value(), 30);
    EXPECT_EQ(bar.barStyle(), XPProgressBar::Dark);

    EXPECT_FALSE(bar.saveProperties(dir.filePath("no/such/folder/bar.json"), &error));
    EXPECT_FALSE(error.isEmpty());
}

// A link planted where the bar saves its settings is replaced by the file, never written through.
TEST(XPProgressBarProperties, ASaveReplacesALinkInsteadOfWritingThroughIt) {
    QTemporaryDir dir;
    const QString victim = dir.filePath("victim.txt");
    const QString path = dir.filePath("bar.json");
    {
        QFile file(victim);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("someone else's file\n");
    }
    ASSERT_TRUE(QFile::link(victim, path));
    XPProgressBar bar;
    bar.setValue(40);
    QString error;
    ASSERT_TRUE(bar.saveProperties(path, &error)) << error.toStdString();
    EXPECT_FALSE(QFileInfo(path).isSymLink());
    QFile file(victim);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("someone else's file\n"));
    XPProgressBar restored;
    ASSERT_TRUE(restored.loadProperties(path, &error)) << error.toStdString();
    EXPECT_EQ(restored.value(), 40);
}

} // namespace
} // namespace xpbar
