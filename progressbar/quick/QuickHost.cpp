#include "progressbar/quick/QuickHost.h"

#include "platform/gdi/twips.h"
#include "progressbar/StdFont.h"
#include "progressbar/widget/ToStdFont.h"

#include <QGuiApplication>

#include <algorithm>

namespace xpbar {

namespace {

// Beyond this many pixels the host keeps no image: no window could show it, and the control
// then paints into nothing rather than failing to allocate.
constexpr qint64 kMaxScreenPixels = qint64(1) << 26;

} // namespace

QuickHost::QuickHost() : backColor_(InitialBackColor()) {
    hdc_ = gdi::CreateDCForImage(&image_);
    hwnd_ = gdi::RegisterWindow([this] { return ClientSize(); });
    control_ = std::make_unique<vex::XP_ProgressBar>(*this);
    control_->InitializeControl();
}

QuickHost::~QuickHost() {
    control_->TerminateControl();
    control_.reset();
    gdi::DeleteDC(hdc_);
    gdi::UnregisterWindow(hwnd_);
}

void QuickHost::Resize(QSize size) {
    size_ = size;
    NewScreen(size_);
    control_->ResizeControl();
}

// The DC keeps pointing at image_, so the image is replaced in place.
void QuickHost::NewScreen(QSize size) {
    const qint64 pixels = qint64(std::max(size.width(), 0)) * std::max(size.height(), 0);
    if (pixels > 0 && pixels <= kMaxScreenPixels) {
        image_ = QImage(size, QImage::Format_RGB32);
        if (!image_.isNull()) image_.fill(gdi::BgrColor(backColor_).ToQRgb());
    } else {
        image_ = QImage();
    }
}

float QuickHost::Scaled(int pixels) const {
    return scaleInPixels_ ? float(pixels) : float(pixels) * gdi::kTwipsPerPixel;
}

void QuickHost::SetBackColor(vex::Long color) {
    backColor_ = color;
    if (!image_.isNull()) image_.fill(gdi::BgrColor(color).ToQRgb());
}

void QuickHost::NotifyPropertyChanged(const QString& name) {
    if (onNotify && quiet_ == 0) onNotify(name);
}

// The application's font, as a Qt Quick Text and a widget without a font of its own use.
std::shared_ptr<vex::StdFont> QuickHost::NewDefaultFont() {
    return ToStdFont(QGuiApplication::font());
}

void QuickHost::SetBarText(const QString& text) {
    barText_ = text.toLatin1().toStdString();
}

std::optional<std::string> QuickHost::BarText() const {
    if (withoutText_) return std::string();
    return barText_;
}

QImage QuickHost::PaintedAt(vex::Long percent, bool text) {
    struct TextBack {
        bool& withoutText;
        ~TextBack() { withoutText = false; }
    } textBack{withoutText_};
    withoutText_ = !text;
    control_->SetValue(percent);
    return image_.copy();
}

QImage QuickHost::PaintedInLook(vex::Long look, vex::Long percent) {
    const Quiet quiet(*this);
    const vex::Long own = control_->GetScrolling();
    struct LookBack {
        vex::XP_ProgressBar& control;
        vex::Long look;
        ~LookBack() {
            try {
                control.SetScrolling(look);
            } catch (const std::exception& e) {
                qWarning("XPProgressBar: repaint failed: %s", e.what());
            }
        }
    } lookBack{*control_, own};
    control_->SetScrolling(look);
    return PaintedAt(percent, false);
}

std::unique_ptr<FrameSource::Rendering> QuickHost::RenderAt(QSize size, int fontScale) {
    return std::make_unique<Rendering>(*this, size, fontScale);
}

QuickHost::Rendering::Rendering(QuickHost& host, QSize size, int fontScale)
    : host_(host), quiet_(host), font_(host.control_->GetFont()) {
    host_.renderSize_ = size;
    host_.NewScreen(size);
    try {
        if (font_ && fontScale != 1) {
            auto large =
                std::make_shared<vex::StdFont>(font_->Name, font_->Size * fontScale, font_->Weight);
            large->Italic = font_->Italic;
            large->Underline = font_->Underline;
            large->Strikethrough = font_->Strikethrough;
            host_.control_->SetFont(large);
        }
        host_.control_->ResizeControl();
    } catch (...) {
        Restore();
        throw;
    }
}

QuickHost::Rendering::~Rendering() {
    Restore();
}

// The control's surface grew to the rendering's size and may now be shorter than the item
// (a turned rendering is wider and lower): it is grown back, or later pictures come out cut.
void QuickHost::Rendering::Restore() {
    if (!host_.renderSize_.isValid()) return;
    host_.renderSize_ = QSize();
    host_.control_->SetFont(font_);
    host_.NewScreen(host_.size_);
    try {
        host_.control_->ResizeControl();
    } catch (const std::exception& e) {
        qWarning("XPProgressBar: resize failed: %s", e.what());
    }
}

} // namespace xpbar
