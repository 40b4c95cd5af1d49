#include "progressbar/widget/XPBarWidget.h"

#include "platform/runtime/errors.h"
#include "progressbar/StdFont.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>

namespace vex::qtui {

namespace {

constexpr float kTwipsPerPixel = 15.0f;

// The bar as assistive technology sees it: a progress bar whose value is the percentage the
// control shows.
class XPBarAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
  public:
    explicit XPBarAccessible(XPBarWidget* bar) : QAccessibleWidget(bar, QAccessible::ProgressBar) {}

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
    int percent() const { return static_cast<XPBarWidget*>(widget())->control().StoredPercent(); }
};

QAccessibleInterface* XPBarAccessibleFactory(const QString&, QObject* object) {
    if (auto* bar = qobject_cast<XPBarWidget*>(object)) return new XPBarAccessible(bar);
    return nullptr;
}

void InstallAccessibilityOnce() {
    static const bool installed = [] {
        QAccessible::installFactory(XPBarAccessibleFactory);
        return true;
    }();
    (void)installed;
}

} // namespace

XPBarWidget::XPBarWidget(QWidget* parent) : QWidget(parent) {
    InstallAccessibilityOnce();
    setAttribute(Qt::WA_OpaquePaintEvent); // the image covers every pixel
    setAccessibleName(tr("Progress"));
    backColor_ = InitialBackColor();
    image_ = QImage(size(), QImage::Format_RGB32);
    image_.fill(BackQColor());
    hdc_ = gdi::CreateDCForImage(&image_);
    hwnd_ = gdi::RegisterWindow([this] { return size(); });
    control_ = std::make_unique<XP_ProgressBar>(*this);
}

XPBarWidget::~XPBarWidget() {
    if (initialized_) control_->TerminateControl();
    control_.reset();
    gdi::DeleteDC(hdc_);
    gdi::UnregisterWindow(hwnd_);
}

void XPBarWidget::InitializeControl() {
    control_->InitializeControl();
    initialized_ = true;
    update();
}

void XPBarWidget::SetValue(Long value) {
    control_->SetValue(value);
    update();
    QAccessibleValueChangeEvent event(this, control_->StoredPercent());
    QAccessible::updateAccessibility(&event);
}

float XPBarWidget::ScaleWidth() const {
    return scaleInPixels_ ? float(width()) : float(width()) * kTwipsPerPixel;
}

float XPBarWidget::ScaleHeight() const {
    return scaleInPixels_ ? float(height()) : float(height()) * kTwipsPerPixel;
}

void XPBarWidget::SetBackColor(Long color) {
    backColor_ = color;
    image_.fill(BackQColor());
    update();
}

void XPBarWidget::NotifyPropertyChanged(const QString& name) {
    emit propertyChanged(name);
}

std::shared_ptr<StdFont> XPBarWidget::NewDefaultFont() {
    return std::make_shared<StdFont>();
}

QSize XPBarWidget::sizeHint() const {
    return {233, 17};
}

QColor XPBarWidget::BackQColor() const {
    return gdi::BgrColor(backColor_).ToQColor();
}

void XPBarWidget::resizeEvent(QResizeEvent* event) {
    // The DC keeps pointing at image_, so the image is replaced in place.
    image_ = QImage(event->size(), QImage::Format_RGB32);
    image_.fill(BackQColor());
    if (initialized_) {
        try {
            control_->ResizeControl();
        } catch (const RuntimeError& e) {
            qWarning("Progress bar: resize failed: %s", e.what());
        }
    }
    update();
}

void XPBarWidget::paintEvent(QPaintEvent* event) {
    if (initialized_) {
        // The host is the control's caller here: an error stops this paint, and the widget
        // shows whatever the control had drawn before it.
        try {
            control_->PaintControl();
        } catch (const RuntimeError& e) {
            qWarning("Progress bar: paint failed: %s", e.what());
        }
    }
    QPainter painter(this);
    painter.drawImage(event->rect(), image_, event->rect());
}

} // namespace vex::qtui
