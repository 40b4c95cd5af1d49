// The control's Qt widget: a host for one XP_ProgressBar (its window and own DC), and the
// QProgressBar-style interface over the control's properties.
#include "progressbar/widget/XPProgressBar.h"

#include "platform/gdi/gdi.h"
#include "platform/gdi/twips.h"
#include "platform/runtime/errors.h"
#include "progressbar/ControlHost.h"
#include "progressbar/PropertyBag.h"
#include "progressbar/ScrollingStyle.h"
#include "progressbar/StdFont.h"
#include "progressbar/StdPicture.h"
#include "progressbar/XP_ProgressBar.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>

#include <climits>
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

constexpr QSize kHorizontalSizeHint{233, 17};

std::shared_ptr<vex::StdFont> ToStdFont(const QFont& font) {
    const double points = font.pointSizeF() > 0 ? font.pointSizeF() : font.pixelSize() * 0.75;
    auto converted = std::make_shared<vex::StdFont>(font.family(), points, font.weight());
    converted->Italic = font.italic();
    converted->Underline = font.underline();
    converted->Strikethrough = font.strikeOut();
    return converted;
}

// The bar as assistive technology sees it: a progress bar whose value is the percentage the
// control shows.
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
        if (t == QAccessible::Value) return QStringLiteral("%1%").arg(percent());
        return QAccessibleWidget::text(t);
    }

    QVariant currentValue() const override { return percent(); }
    void setCurrentValue(const QVariant&) override {} // read-only for assistive technology
    QVariant maximumValue() const override { return 100; }
    QVariant minimumValue() const override { return 0; }
    QVariant minimumStepSize() const override { return 1; }

  private:
    int percent() const { return static_cast<XPProgressBar*>(widget())->control().StoredPercent(); }
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

} // namespace

// The control's host: an image the size of the widget is the control's own DC, and the widget
// is its window. Also keeps the QProgressBar-style range and value, which the control does not
// store (it keeps only the percentage).
class XPProgressBar::Host : public vex::ControlHost {
  public:
    explicit Host(XPProgressBar& widget) : widget_(widget) {
        backColor_ = InitialBackColor();
        image_ = QImage(widget.size(), QImage::Format_RGB32);
        image_.fill(gdi::BgrColor(backColor_).ToQColor());
        hdc_ = gdi::CreateDCForImage(&image_);
        hwnd_ = gdi::RegisterWindow([this] { return widget_.size(); });
        control_ = std::make_unique<vex::XP_ProgressBar>(*this);
    }

    ~Host() override {
        if (initialized_) control_->TerminateControl();
        control_.reset();
        gdi::DeleteDC(hdc_);
        gdi::UnregisterWindow(hwnd_);
    }

    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    vex::XP_ProgressBar& Control() { return *control_; }
    // The control, initialised first if it was not yet.
    vex::XP_ProgressBar& Ready() {
        Initialize();
        return *control_;
    }
    void Initialize() {
        if (initialized_) return;
        initialized_ = true;
        control_->InitializeControl();
        widget_.update();
    }
    bool Initialized() const { return initialized_; }

    QImage& Screen() { return image_; }
    void NewScreen(QSize size) {
        // The DC keeps pointing at image_, so the image is replaced in place.
        image_ = QImage(size, QImage::Format_RGB32);
        image_.fill(gdi::BgrColor(backColor_).ToQColor());
    }

    // ControlHost.
    gdi::HWND Window() const override { return hwnd_; }
    gdi::HDC OwnDC() const override { return hdc_; }
    float ScaleWidth() const override { return Scaled(widget_.width()); }
    float ScaleHeight() const override { return Scaled(widget_.height()); }
    float ScaleLeft() const override { return 0.0f; }
    float ScaleTop() const override { return 0.0f; }
    void SetBackColor(Long color) override {
        backColor_ = color;
        image_.fill(gdi::BgrColor(backColor_).ToQColor());
        widget_.update();
    }
    void SetScaleModePixels() override { scaleInPixels_ = true; }
    void NotifyPropertyChanged(const QString& name) override { emit widget_.propertyChanged(name); }
    std::shared_ptr<vex::StdFont> NewDefaultFont() override {
        if (widget_.testAttribute(Qt::WA_SetFont)) return ToStdFont(widget_.font());
        return std::make_shared<vex::StdFont>();
    }

    int minimum = 0;
    int maximum = 100;
    int value = -1; // QProgressBar's "nothing done yet"
    int brushStyle = 0;
    bool followingControlFont = false;

  private:
    float Scaled(int pixels) const {
        return scaleInPixels_ ? float(pixels) : float(pixels) * gdi::kTwipsPerPixel;
    }

    XPProgressBar& widget_;
    QImage image_;
    gdi::HWND hwnd_ = 0;
    gdi::HDC hdc_ = 0;
    Long backColor_ = 0;
    bool scaleInPixels_ = false;
    bool initialized_ = false;
    std::unique_ptr<vex::XP_ProgressBar> control_;
};

// What the widget's properties read, to signal what a restore changed.
struct XPProgressBar::Snapshot {
    int minimum, maximum, value;
    bool textVisible;
    Qt::Orientation orientation;
    BarStyle barStyle;
    uint colorCode;
    int brushStyle;
    qint64 imageKey;
    QFont font;
};

XPProgressBar::XPProgressBar(QWidget* parent) : QWidget(parent) {
    InstallAccessibilityOnce();
    setAttribute(Qt::WA_OpaquePaintEvent); // the image covers every pixel
    setAccessibleName(tr("Progress"));
    host_ = std::make_unique<Host>(*this);
}

XPProgressBar::~XPProgressBar() = default;

void XPProgressBar::initializeControl() {
    host_->Initialize();
}

vex::XP_ProgressBar& XPProgressBar::control() {
    return host_->Control();
}

const vex::XP_ProgressBar& XPProgressBar::control() const {
    return host_->Control();
}

vex::ControlHost& XPProgressBar::host() {
    return *host_;
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
    try {
        h.Ready().SetValue(value);
    } catch (const vex::RuntimeError& e) {
        Warn("value refused", e);
        return;
    }
    h.value = value;
    emit valueChanged(value);
    QAccessibleValueChangeEvent event(this, control().StoredPercent());
    QAccessible::updateAccessibility(&event);
    update();
}

void XPProgressBar::setRange(int minimum, int maximum) {
    Host& h = *host_;
    if (minimum == h.minimum && maximum == h.maximum) return;
    const int oldMinimum = h.minimum;
    const int oldMaximum = h.maximum;
    h.minimum = minimum;
    h.maximum = qMax(minimum, maximum);
    vex::XP_ProgressBar& c = h.Ready();
    c.SetMin(h.minimum);
    c.SetMax(h.maximum);
    if (h.minimum != oldMinimum) emit minimumChanged(h.minimum);
    if (h.maximum != oldMaximum) emit maximumChanged(h.maximum);
    if (h.value < qint64(h.minimum) - 1 || h.value > h.maximum)
        reset();
    else
        ShowValue(h.value); // the same value is a different percentage in the new range
}

void XPProgressBar::reset() {
    Host& h = *host_;
    h.value = h.minimum == INT_MIN ? INT_MIN : h.minimum - 1;
    ShowValue(h.value);
}

// Shows a value the widget already holds; below the range (after reset) the bar shows its
// minimum. A refusal keeps the previous picture.
void XPProgressBar::ShowValue(int value) {
    try {
        host_->Ready().SetValue(qMax(value, host_->minimum));
    } catch (const vex::RuntimeError& e) {
        Warn("value refused", e);
    }
    QAccessibleValueChangeEvent event(this, control().StoredPercent());
    QAccessible::updateAccessibility(&event);
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

XPProgressBar::Snapshot XPProgressBar::Take() const {
    const auto picture = host_->Ready().GetImage();
    return {minimum(),       maximum(),     value(),
            isTextVisible(), orientation(), barStyle(),
            colorCode(),     brushStyle(),  picture ? picture->Image().cacheKey() : 0,
            font()};
}

void XPProgressBar::EmitChangesSince(const Snapshot& before) {
    const Snapshot now = Take();
    if (now.minimum != before.minimum) emit minimumChanged(now.minimum);
    if (now.maximum != before.maximum) emit maximumChanged(now.maximum);
    if (now.value != before.value) emit valueChanged(now.value);
    if (now.textVisible != before.textVisible) emit textVisibleChanged(now.textVisible);
    if (now.orientation != before.orientation) emit orientationChanged(now.orientation);
    if (now.barStyle != before.barStyle) emit barStyleChanged(now.barStyle);
    if (now.colorCode != before.colorCode) {
        emit colorChanged(color());
        emit colorCodeChanged(now.colorCode);
    }
    if (now.brushStyle != before.brushStyle) emit brushStyleChanged(now.brushStyle);
    if (now.imageKey != before.imageKey) emit imageChanged(image());
    if (now.font != before.font) emit fontChanged(now.font);
}

// After a restore the widget's range and value follow the control. The control keeps only the
// percentage, so the value is what its Value getter gives back, or "nothing done yet" when that
// lies outside the range or cannot be computed.
void XPProgressBar::ReadBackFromControl() {
    Host& h = *host_;
    vex::XP_ProgressBar& c = h.Control();
    h.minimum = c.GetMin();
    h.maximum = qMax(h.minimum, int(c.GetMax()));
    h.value = h.minimum == INT_MIN ? INT_MIN : h.minimum - 1;
    try {
        const Long v = c.GetValue();
        if (v >= h.minimum && v <= h.maximum) h.value = v;
    } catch (const vex::RuntimeError&) {
        // Keeps "nothing done yet": the picture still shows the restored percentage.
    }
    // A restore sets BrushStyle, which the control does not give back: its stored entry says
    // what it is (no entry: the default a restore gives).
    vex::PropertyBag stored;
    c.SaveProperties(stored);
    h.brushStyle =
        vex::ToLong(QStringLiteral("BrushStyle"), stored.Read(QStringLiteral("BrushStyle"), 4.0));
    if (const auto font = c.GetFont()) {
        h.followingControlFont = true;
        setFont(font->ToQFont());
        h.followingControlFont = false;
    }
    update();
}

void XPProgressBar::saveProperties(vex::PropertyBag& store) const {
    host_->Ready().SaveProperties(store);
}

bool XPProgressBar::loadProperties(const vex::PropertyBag& store, QString* error) {
    const Snapshot before = Take();
    bool done = true;
    try {
        host_->Ready().LoadProperties(store);
    } catch (const vex::RuntimeError& e) {
        if (error) *error = QString::fromUtf8(e.what());
        done = false;
    }
    ReadBackFromControl();
    EmitChangesSince(before);
    return done;
}

bool XPProgressBar::saveProperties(const QString& path, QString* error) const {
    try {
        vex::PropertyBag store;
        saveProperties(store);
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
    return loadProperties(store, error);
}

QSize XPProgressBar::sizeHint() const {
    return orientation() == Qt::Horizontal ? kHorizontalSizeHint : kHorizontalSizeHint.transposed();
}

void XPProgressBar::showEvent(QShowEvent* event) {
    host_->Initialize();
    QWidget::showEvent(event);
}

void XPProgressBar::changeEvent(QEvent* event) {
    // Only a font set on the bar itself is the text's font; one inherited from the parent is not.
    if (event->type() == QEvent::FontChange && !host_->followingControlFont &&
        testAttribute(Qt::WA_SetFont)) {
        host_->Ready().SetFont(ToStdFont(font()));
        emit fontChanged(font());
        update();
    }
    QWidget::changeEvent(event);
}

void XPProgressBar::resizeEvent(QResizeEvent* event) {
    host_->NewScreen(event->size());
    if (host_->Initialized()) {
        try {
            control().ResizeControl();
        } catch (const vex::RuntimeError& e) {
            Warn("resize failed", e);
        }
    }
    update();
}

void XPProgressBar::paintEvent(QPaintEvent* event) {
    if (host_->Initialized()) {
        // The host is the control's caller here: an error stops this paint, and the widget
        // shows whatever the control had drawn before it.
        try {
            control().PaintControl();
        } catch (const vex::RuntimeError& e) {
            Warn("paint failed", e);
        }
    }
    QPainter painter(this);
    painter.drawImage(event->rect(), host_->Screen(), event->rect());
}

} // namespace xpbar
