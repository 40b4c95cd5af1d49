// The control's Qt widget: a host for one XP_ProgressBar (its window and own DC), and the
// QProgressBar-style interface over the control's properties.
#include "progressbar/widget/XPProgressBar.h"
#include "progressbar/widget/XPProgressBarInternals.h"

#include "platform/gdi/gdi.h"
#include "platform/gdi/twips.h"
#include "platform/runtime/arith.h"
#include "platform/runtime/errors.h"
#include "progressbar/ControlHost.h"
#include "progressbar/PropertyBag.h"
#include "progressbar/ScrollingStyle.h"
#include "progressbar/StdFont.h"
#include "progressbar/StdPicture.h"
#include "progressbar/XP_ProgressBar.h"
#include "progressbar/widget/ComposingHost.h"
#include "progressbar/widget/ToStdFont.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPaintEngine>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QStyle>
#include <QStyleOptionProgressBar>
#include <QTimer>

#include <climits>
#include <cmath>
#include <iterator>

namespace xpbar {

using vex::Long;

namespace {

// The public header speaks Qt alone, so BarStyle repeats the control's styles; these keep the
// two lists the same.
constexpr bool SameStyle(XPProgressBar::BarStyle barStyle, vex::ScrollingStyle style) {
    return static_cast<Long>(barStyle) == static_cast<Long>(style);
}
static_assert(SameStyle(XPProgressBar::XPBlocks, vex::XPBlocks) &&
              SameStyle(XPProgressBar::XPSmooth, vex::XPSmooth) &&
              SameStyle(XPProgressBar::XPSearching, vex::XPSearching) &&
              SameStyle(XPProgressBar::Flat, vex::Flat) &&
              SameStyle(XPProgressBar::Etched, vex::Etched) &&
              SameStyle(XPProgressBar::Shaded, vex::Shaded) &&
              SameStyle(XPProgressBar::Dark, vex::Dark) &&
              SameStyle(XPProgressBar::Hatch, vex::Hatch) &&
              SameStyle(XPProgressBar::Picture, vex::Picture) &&
              SameStyle(XPProgressBar::Glass, vex::Glass));
static_assert(std::size(vex::kScrollingStyles) ==
                  static_cast<std::size_t>(XPProgressBar::Glass) + 1,
              "every style of the control has a BarStyle");

const QString kDefaultFormat = QStringLiteral("%p%");
constexpr int kBusyFrameMs = 50;
constexpr vex::Long kControlMin = 0; // the control works on its own percentage scale
constexpr vex::Long kControlMax = 100;

// The bar as assistive technology sees it, as it sees a QProgressBar: the value interface in the
// widget's units, the value as its text, and no name of its own.
class XPBarAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
  public:
    explicit XPBarAccessible(XPProgressBar* bar)
        : QAccessibleWidget(bar, QAccessible::ProgressBar) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value) return QString::number(bar()->value());
        return QAccessibleWidget::text(t);
    }

    QVariant currentValue() const override { return bar()->value(); }
    void setCurrentValue(const QVariant&) override {} // read-only for assistive technology
    QVariant maximumValue() const override { return bar()->maximum(); }
    QVariant minimumValue() const override { return bar()->minimum(); }
    // A hundredth of the range, as QProgressBar reports it.
    QVariant minimumStepSize() const override {
        return (qint64(bar()->maximum()) - bar()->minimum()) / 100.0;
    }

  private:
    XPProgressBar* bar() const { return static_cast<XPProgressBar*>(widget()); }
};

QAccessibleInterface* XPBarAccessibleFactory(const QString&, QObject* object) {
    if (auto* bar = qobject_cast<XPProgressBar*>(object)) return new XPBarAccessible(bar);
    return nullptr;
}

void InstallAccessibilityOnce() {
    static const bool installed = [] {
        QAccessible::installFactory(XPBarAccessibleFactory);
        return true;
    }();
    (void)installed;
}

void Warn(const char* what, const vex::RuntimeError& e) {
    qWarning("XPProgressBar: %s: %s", what, e.what());
}

// What the widget's properties read, to signal what a restore changed.
struct Snapshot {
    int minimum, maximum, value;
    bool textVisible;
    Qt::Orientation orientation;
    XPProgressBar::BarStyle barStyle;
    uint colorCode;
    int brushStyle;
    qint64 imageKey;
    QFont font;
};

} // namespace

// The control's host: an image the size of the widget is the control's own DC, and the widget
// is its window. Also keeps QProgressBar's range, value and text settings, which the control
// does not store (it keeps only the percentage it paints). Hidden in the shared library like
// everything but the widget's own interface.
class Q_DECL_HIDDEN XPProgressBar::Host : public ComposingHost {
  public:
    explicit Host(XPProgressBar& widget) : widget_(widget) {
        NewScreen(widget.size());
        busyTimer.setParent(&widget);
        busyTimer.setObjectName(QStringLiteral("busyAnimation"));
        busyTimer.setInterval(kBusyFrameMs);
        QObject::connect(&busyTimer, &QTimer::timeout, &widget_, [this] {
            ++busyFrame;
            widget_.update();
        });
    }

    ~Host() override {
        if (initialized_) control_->TerminateControl();
    }

    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    // The control, initialised first if it was not yet.
    vex::XP_ProgressBar& Ready() {
        Initialize();
        return *control_;
    }
    // The control's defaults, then what the widget adds to them: the text shown, the palette's
    // colour and the widget's font. None of it is a change a container needs to hear about.
    void Initialize() {
        if (initialized_) return;
        initialized_ = true;
        const Quiet quiet(*this);
        control_->InitializeControl();
        try {
            control_->SetShowText(vex::kTrue);
            FollowPalette();
        } catch (const vex::RuntimeError& e) {
            Warn("repaint failed", e);
        }
        widget_.update();
    }
    bool Initialized() const { return initialized_; }

    // The bar colour follows the palette's Highlight until one is set.
    void FollowPalette() {
        if (explicitColor) return;
        const QColor highlight = widget_.palette().color(QPalette::Active, QPalette::Highlight);
        control_->SetColor(gdi::BgrColor::FromQColor(highlight).Value());
    }

    // The percentage of the bar that is filled, as QProgressBar counts it for its text.
    vex::Long Percent() const {
        if (Busy() || value < minimum) return 0;
        const qint64 steps = qint64(maximum) - minimum;
        if (steps == 0) return 100; // one step, and the bar is on it
        return static_cast<vex::Long>((qint64(value) - minimum) * 100 / steps);
    }
    bool Busy() const { return minimum == 0 && maximum == 0; }

    // Hands the percentage to the control, which keeps the range 0..100 so that it never refuses
    // one. A repaint that fails keeps the previous picture.
    void ShowPercent() {
        try {
            vex::XP_ProgressBar& c = Ready();
            if (c.GetMin() != kControlMin || c.GetMax() != kControlMax) {
                const Quiet quiet(*this);
                c.SetMin(kControlMin);
                c.SetMax(kControlMax);
            }
            c.SetValue(Percent());
            // What the control just drew is the picture the next paint shows.
            ScreenDrawn(State());
        } catch (const vex::RuntimeError& e) {
            Warn("repaint failed", e);
        }
    }

    // The picture to show at a whole device pixel ratio, by the rules the Qt Quick item shares.
    const QImage& Frame(int scale) { return ComposingHost::Frame(State(), scale); }
    FrameState State() const {
        FrameState state;
        state.percent = Percent();
        state.busy = Busy();
        state.busyFrame = busyFrame;
        state.text = vex::IsTrue(control_->GetShowText()) && !widget_.text().isEmpty();
        state.enabled = widget_.isEnabled();
        state.inverted = inverted;
        state.rightToLeft = widget_.layoutDirection() == Qt::RightToLeft;
        state.textUpwards = textDirection == BottomToTop;
        return state;
    }

    // FrameSource.
    QSize HostSize() const override { return widget_.size(); }
    // The control's own picture: its value is already the bar's.
    const QImage& Painted(vex::Long) override {
        if (!ScreenCurrent()) control_->PaintControl();
        return Screen();
    }

    // ControlHost.
    void SetBackColor(Long color) override {
        ComposingHost::SetBackColor(color);
        widget_.update();
    }
    std::shared_ptr<vex::StdFont> NewDefaultFont() override { return ToStdFont(widget_.font()); }

    Snapshot Take();
    void EmitChangesSince(const Snapshot& before);
    void ShowValue();
    void ReadBackFromControl(bool complete, int storedValue, bool storedColor);
    void FollowBusyState();

    int minimum = 0;
    int maximum = 100;
    int value = -1; // QProgressBar's "nothing done yet"
    int brushStyle = 0;
    bool followingControlFont = false;
    bool explicitColor = false;
    bool inverted = false;
    Qt::Alignment alignment = Qt::AlignLeft;
    Direction textDirection = TopToBottom;
    QString format = kDefaultFormat;
    QTimer busyTimer;
    int busyFrame = 0;

  protected:
    std::optional<std::string> HostText() const override {
        return widget_.text().toLatin1().toStdString();
    }
    void PropertyChanged(const QString& name) override { emit widget_.propertyChanged(name); }

  private:
    XPProgressBar& widget_;
    bool initialized_ = false;
};

XPProgressBar::XPProgressBar(QWidget* parent) : QWidget(parent) {
    InstallAccessibilityOnce();
    setAttribute(Qt::WA_OpaquePaintEvent); // the image covers every pixel
    QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setSizePolicy(policy);
    setAttribute(Qt::WA_WState_OwnSizePolicy, false);
    host_ = std::make_unique<Host>(*this);
}

XPProgressBar::~XPProgressBar() = default;

void XPProgressBar::initializeControl() {
    host_->Initialize();
}

vex::XP_ProgressBar& XPProgressBarInternals::Control(XPProgressBar& bar) {
    return bar.host_->Control();
}

const vex::XP_ProgressBar& XPProgressBarInternals::Control(const XPProgressBar& bar) {
    return bar.host_->Control();
}

vex::ControlHost& XPProgressBarInternals::Host(XPProgressBar& bar) {
    return *bar.host_;
}

const QImage& XPProgressBar::shownImage() const {
    return host_->Screen();
}

int XPProgressBar::minimum() const {
    return host_->minimum;
}

int XPProgressBar::maximum() const {
    return host_->maximum;
}

int XPProgressBar::value() const {
    return host_->value;
}

void XPProgressBar::setMinimum(int minimum) {
    setRange(minimum, qMax(host_->maximum, minimum));
}

void XPProgressBar::setMaximum(int maximum) {
    setRange(qMin(host_->minimum, maximum), maximum);
}

// QProgressBar's rules: a value outside the range is ignored unless the range is 0 to 0.
void XPProgressBar::setValue(int value) {
    Host& h = *host_;
    if (value == h.value ||
        ((value > h.maximum || value < h.minimum) && (h.maximum != 0 || h.minimum != 0)))
        return;
    h.value = value;
    emit valueChanged(value);
    if (isVisible()) {
        QAccessibleValueChangeEvent event(this, value);
        QAccessible::updateAccessibility(&event);
    }
    h.ShowValue();
}

void XPProgressBar::setRange(int minimum, int maximum) {
    Host& h = *host_;
    if (minimum == h.minimum && maximum == h.maximum) return;
    const int oldMinimum = h.minimum;
    const int oldMaximum = h.maximum;
    h.minimum = minimum;
    h.maximum = qMax(minimum, maximum);
    if (h.minimum != oldMinimum) {
        emit minimumChanged(h.minimum);
        emit propertyChanged(QStringLiteral("Min"));
    }
    if (h.maximum != oldMaximum) {
        emit maximumChanged(h.maximum);
        emit propertyChanged(QStringLiteral("Max"));
    }
    h.FollowBusyState();
    if (h.value < qint64(h.minimum) - 1 || h.value > h.maximum)
        reset();
    else
        h.ShowValue(); // the same value is a different percentage in the new range
}

void XPProgressBar::reset() {
    Host& h = *host_;
    h.value = h.minimum == INT_MIN ? INT_MIN : h.minimum - 1;
    h.ShowValue();
}

void XPProgressBar::Host::ShowValue() {
    ShowPercent();
    widget_.update();
}

QString XPProgressBar::text() const {
    const Host& h = *host_;
    if (h.Busy() || h.value < h.minimum || (h.value == INT_MIN && h.minimum == INT_MIN))
        return QString();
    const qint64 steps = qint64(h.maximum) - h.minimum;
    // Numbers without group separators, as QProgressBar writes them.
    QLocale locale = this->locale();
    locale.setNumberOptions(locale.numberOptions() | QLocale::OmitGroupSeparator);
    QString result = h.format;
    result.replace(QLatin1String("%m"), locale.toString(steps));
    result.replace(QLatin1String("%v"), locale.toString(h.value));
    result.replace(QLatin1String("%p"), locale.toString(h.Percent()));
    return result;
}

QString XPProgressBar::format() const {
    return host_->format;
}

void XPProgressBar::setFormat(const QString& format) {
    if (format == host_->format) return;
    host_->format = format;
    update();
}

void XPProgressBar::resetFormat() {
    setFormat(kDefaultFormat);
}

Qt::Alignment XPProgressBar::alignment() const {
    return host_->alignment;
}

void XPProgressBar::setAlignment(Qt::Alignment alignment) {
    if (alignment == host_->alignment) return;
    host_->alignment = alignment;
    update();
}

bool XPProgressBar::invertedAppearance() const {
    return host_->inverted;
}

void XPProgressBar::setInvertedAppearance(bool invert) {
    if (invert == host_->inverted) return;
    host_->inverted = invert;
    update();
}

XPProgressBar::Direction XPProgressBar::textDirection() const {
    return host_->textDirection;
}

void XPProgressBar::setTextDirection(Direction textDirection) {
    if (textDirection == host_->textDirection) return;
    host_->textDirection = textDirection;
    update();
}

bool XPProgressBar::isTextVisible() const {
    return vex::IsTrue(host_->Ready().GetShowText());
}

void XPProgressBar::setTextVisible(bool visible) {
    if (visible == isTextVisible()) return;
    try {
        host_->Ready().SetShowText(vex::ToBoolean(visible));
    } catch (const vex::RuntimeError& e) {
        Warn("repaint failed", e);
    }
    emit textVisibleChanged(visible);
    update();
}

Qt::Orientation XPProgressBar::orientation() const {
    return host_->Ready().GetOrientation() == 0 ? Qt::Horizontal : Qt::Vertical;
}

void XPProgressBar::setOrientation(Qt::Orientation orientation) {
    if (orientation == this->orientation()) return;
    try {
        host_->Ready().SetOrientation(orientation == Qt::Horizontal ? 0 : 1);
    } catch (const vex::RuntimeError& e) {
        Warn("repaint failed", e);
    }
    // As QProgressBar: the policy turns with the bar, and stays the widget's default.
    if (!testAttribute(Qt::WA_WState_OwnSizePolicy)) {
        QSizePolicy policy = sizePolicy();
        policy.transpose();
        setSizePolicy(policy);
        setAttribute(Qt::WA_WState_OwnSizePolicy, false);
    }
    emit orientationChanged(orientation);
    updateGeometry();
    update();
}

XPProgressBar::BarStyle XPProgressBar::barStyle() const {
    return static_cast<BarStyle>(host_->Ready().GetScrolling());
}

void XPProgressBar::setBarStyle(BarStyle style) {
    if (style == barStyle()) return;
    try {
        host_->Ready().SetScrolling(style);
    } catch (const vex::RuntimeError& e) {
        Warn("repaint failed", e);
    }
    emit barStyleChanged(style);
    update();
}

QColor XPProgressBar::color() const {
    return gdi::BgrColor(host_->Ready().GetColor()).ToQColor();
}

void XPProgressBar::setColor(const QColor& color) {
    if (!color.isValid()) return;
    setColorCode(static_cast<uint>(gdi::BgrColor::FromQColor(color).Value()));
}

uint XPProgressBar::colorCode() const {
    return static_cast<uint>(host_->Ready().GetColor());
}

void XPProgressBar::setColorCode(uint code) {
    const uint before = colorCode();
    host_->explicitColor = true;
    try {
        host_->Ready().SetColor(static_cast<Long>(code));
    } catch (const vex::RuntimeError& e) {
        Warn("repaint failed", e);
    }
    const uint after = colorCode();
    if (after == before) return;
    emit colorChanged(color());
    emit colorCodeChanged(after);
    update();
}

// The control's BrushStyle can be set but not read, so the widget keeps what it set.
int XPProgressBar::brushStyle() const {
    return host_->brushStyle;
}

void XPProgressBar::setBrushStyle(int style) {
    if (style == brushStyle()) return;
    host_->Ready().SetBrushStyle(style);
    host_->brushStyle = style;
    emit brushStyleChanged(style);
    update();
}

QImage XPProgressBar::image() const {
    const auto picture = host_->Ready().GetImage();
    return picture ? picture->Image() : QImage();
}

void XPProgressBar::setImage(const QImage& image) {
    if (image == this->image()) return;
    try {
        host_->Ready().SetImage(image.isNull() ? nullptr
                                               : std::make_shared<vex::StdPicture>(image));
    } catch (const vex::RuntimeError& e) {
        Warn("repaint failed", e);
    }
    emit imageChanged(image);
    update();
}

Snapshot XPProgressBar::Host::Take() {
    const XPProgressBar& w = widget_;
    const auto picture = Ready().GetImage();
    return {w.minimum(),       w.maximum(),     w.value(),
            w.isTextVisible(), w.orientation(), w.barStyle(),
            w.colorCode(),     w.brushStyle(),  picture ? picture->Image().cacheKey() : 0,
            w.font()};
}

void XPProgressBar::Host::EmitChangesSince(const Snapshot& before) {
    XPProgressBar& w = widget_;
    const Snapshot now = Take();
    if (now.minimum != before.minimum) emit w.minimumChanged(now.minimum);
    if (now.maximum != before.maximum) emit w.maximumChanged(now.maximum);
    if (now.value != before.value) emit w.valueChanged(now.value);
    if (now.textVisible != before.textVisible) emit w.textVisibleChanged(now.textVisible);
    if (now.orientation != before.orientation) emit w.orientationChanged(now.orientation);
    if (now.barStyle != before.barStyle) emit w.barStyleChanged(now.barStyle);
    if (now.colorCode != before.colorCode) {
        emit w.colorChanged(w.color());
        emit w.colorCodeChanged(now.colorCode);
    }
    if (now.brushStyle != before.brushStyle) emit w.brushStyleChanged(now.brushStyle);
    if (now.imageKey != before.imageKey) emit w.imageChanged(w.image());
    if (now.font != before.font) emit w.fontChanged(now.font);
}

// After a restore the widget's range follows what the control restored, and the value is the
// stored one when the restore got that far and it lies in the range ("nothing done yet"
// otherwise). The control goes back to its own 0..100 scale.
void XPProgressBar::Host::ReadBackFromControl(bool complete, int storedValue, bool storedColor) {
    Host& h = *this;
    vex::XP_ProgressBar& c = h.Control();
    h.minimum = c.GetMin();
    h.maximum = qMax(h.minimum, int(c.GetMax()));
    const int kept = h.value;
    h.value = h.minimum == INT_MIN ? INT_MIN : h.minimum - 1;
    const int stored = complete ? storedValue : kept;
    if ((stored >= h.minimum && stored <= h.maximum) || h.Busy()) h.value = stored;
    // A restore sets BrushStyle, which the control does not give back: its stored entry says
    // what it is (no entry: the default a restore gives).
    vex::PropertyBag saved;
    c.SaveProperties(saved);
    h.brushStyle =
        vex::ToLong(QStringLiteral("BrushStyle"), saved.Read(QStringLiteral("BrushStyle"), 4.0));
    // A restored colour is the bar's own; without one the bar goes on following the palette.
    h.explicitColor = h.explicitColor || (complete && storedColor);
    if (!h.explicitColor) h.FollowPalette();
    if (const auto font = c.GetFont()) {
        h.followingControlFont = true;
        widget_.setFont(font->ToQFont());
        h.followingControlFont = false;
    }
    FollowBusyState();
    ShowValue();
}

void XPProgressBarInternals::SaveProperties(const XPProgressBar& bar, vex::PropertyBag& store) {
    bar.host_->Ready().SaveProperties(store);
    // The range and the value are the widget's; the control keeps its own 0..100 scale.
    store.Write(QStringLiteral("Max"), double(bar.maximum()), 100.0);
    store.Write(QStringLiteral("Min"), double(bar.minimum()), 0.0);
    store.Write(QStringLiteral("Value"), double(bar.value()), 0.0);
}

bool XPProgressBarInternals::LoadProperties(XPProgressBar& bar, const vex::PropertyBag& store,
                                            QString* error) {
    XPProgressBar::Host& h = *bar.host_;
    const Snapshot before = h.Take();
    bool done = true;
    try {
        // The range the bar has now stands where the restore does not reach; the value is the
        // widget's to apply, in the widget's units, so the control never sees it.
        vex::PropertyBag withoutValue = store;
        withoutValue.Remove(QStringLiteral("Value"));
        vex::XP_ProgressBar& c = h.Ready();
        {
            const XPProgressBar::Host::Quiet quiet(h);
            c.SetMin(h.minimum);
            c.SetMax(h.maximum);
        }
        c.LoadProperties(withoutValue);
        const int stored =
            vex::ToLong(QStringLiteral("Value"), store.Read(QStringLiteral("Value"), 0.0));
        h.ReadBackFromControl(true, stored, store.Contains(QStringLiteral("Color")));
    } catch (const vex::RuntimeError& e) {
        if (error) *error = QString::fromUtf8(e.what());
        done = false;
        h.ReadBackFromControl(false, 0, false);
    }
    h.EmitChangesSince(before);
    return done;
}

bool XPProgressBar::saveProperties(const QString& path, QString* error) const {
    try {
        vex::PropertyBag store;
        XPProgressBarInternals::SaveProperties(*this, store);
        store.SaveToFile(path);
        return true;
    } catch (const vex::RuntimeError& e) {
        if (error) *error = QString::fromUtf8(e.what());
        return false;
    }
}

bool XPProgressBar::loadProperties(const QString& path, QString* error) {
    vex::PropertyBag store;
    try {
        store = vex::PropertyBag::LoadFromFile(path);
    } catch (const vex::RuntimeError& e) {
        if (error) *error = QString::fromUtf8(e.what());
        return false;
    }
    return XPProgressBarInternals::LoadProperties(*this, store, error);
}

void XPProgressBar::initStyleOption(QStyleOptionProgressBar* option) const {
    if (!option) return;
    option->initFrom(this);
    if (orientation() == Qt::Horizontal) option->state |= QStyle::State_Horizontal;
    option->minimum = minimum();
    option->maximum = maximum();
    option->progress = value();
    option->textAlignment = alignment();
    option->textVisible = isTextVisible();
    option->text = text();
    option->invertedAppearance = invertedAppearance();
    option->bottomToTop = textDirection() == BottomToTop;
}

QSize XPProgressBar::sizeHint() const {
    ensurePolished();
    const QFontMetrics metrics = fontMetrics();
    QStyleOptionProgressBar option;
    initStyleOption(&option);
    const int chunk = style()->pixelMetric(QStyle::PM_ProgressBarChunkWidth, &option, this);
    QSize size(qMax(9, chunk) * 7 + metrics.horizontalAdvance(QLatin1Char('0')) * 4,
               metrics.height() + 8);
    if (orientation() == Qt::Vertical) size.transpose();
    return style()->sizeFromContents(QStyle::CT_ProgressBar, &option, size, this);
}

QSize XPProgressBar::minimumSizeHint() const {
    const int line = fontMetrics().height() + 2;
    return orientation() == Qt::Horizontal ? QSize(sizeHint().width(), line)
                                           : QSize(line, sizeHint().height());
}

// The busy animation runs only while someone can see it.
void XPProgressBar::Host::FollowBusyState() {
    QTimer& timer = busyTimer;
    const bool run = Busy() && widget_.isVisible();
    if (run && !timer.isActive()) timer.start();
    if (!run) timer.stop();
}

void XPProgressBar::showEvent(QShowEvent* event) {
    host_->Initialize();
    QWidget::showEvent(event);
    host_->FollowBusyState();
}

void XPProgressBar::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    host_->busyTimer.stop();
}

void XPProgressBar::changeEvent(QEvent* event) {
    switch (event->type()) {
    case QEvent::FontChange:
        // The text follows the widget's font, inherited or set; a restored font is already the
        // control's.
        // A font set on a bar not yet initialised initialises it; an inherited one waits.
        if (!host_->followingControlFont &&
            (host_->Initialized() || testAttribute(Qt::WA_SetFont))) {
            host_->Ready().SetFont(ToStdFont(font()));
            emit fontChanged(font());
        }
        updateGeometry();
        break;
    case QEvent::PaletteChange:
        if (host_->Initialized() && !host_->explicitColor) {
            const uint before = colorCode();
            try {
                host_->FollowPalette();
            } catch (const vex::RuntimeError& e) {
                Warn("repaint failed", e);
            }
            if (colorCode() != before) {
                emit colorChanged(color());
                emit colorCodeChanged(colorCode());
            }
        }
        break;
    default:
        break;
    }
    update();
    QWidget::changeEvent(event);
}

void XPProgressBar::resizeEvent(QResizeEvent* event) {
    host_->NewScreen(event->size());
    if (host_->Initialized()) {
        try {
            host_->Control().ResizeControl();
        } catch (const vex::RuntimeError& e) {
            Warn("resize failed", e);
        }
    }
    update();
}

void XPProgressBar::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    if (!host_->Initialized()) {
        painter.drawImage(event->rect(), host_->Screen(), event->rect());
        return;
    }
    // A fractional ratio is drawn at the next whole one and scaled down smoothly, so that the
    // gaps between blocks stay even.
    const qreal ratio = painter.paintEngine()->paintDevice()->devicePixelRatio();
    const int scale = std::max(1, int(std::ceil(ratio - 1e-6)));
    // The host is the control's caller here: an error stops this paint, and the widget shows
    // whatever the control had drawn before it.
    QImage frame;
    try {
        frame = host_->Frame(scale);
    } catch (const vex::RuntimeError& e) {
        Warn("paint failed", e);
        frame = host_->Screen();
    }
    if (scale == 1 || frame.size() != size() * scale) {
        painter.drawImage(event->rect(), frame, event->rect());
        return;
    }
    painter.setRenderHint(QPainter::SmoothPixmapTransform, ratio != scale);
    painter.drawImage(QRectF(rect()), frame, QRectF(frame.rect()));
}

} // namespace xpbar
