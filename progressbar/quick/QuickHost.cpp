#include "progressbar/quick/QuickHost.h"

#include "platform/gdi/twips.h"
#include "progressbar/StdFont.h"

#include <algorithm>

namespace xpbar {

namespace {

// Beyond this many pixels the host keeps no image: no window could show it, and the control
// then paints into nothing rather than failing to allocate.
constexpr qint64 kMaxScreenPixels = qint64(1) << 26;

} // namespace

QuickHost::QuickHost() : backColor_(InitialBackColor()) {
    hdc_ = gdi::CreateDCForImage(&image_);
    hwnd_ = gdi::RegisterWindow([this] { return size_; });
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
    NewScreen();
    control_->ResizeControl();
}

// The DC keeps pointing at image_, so the image is replaced in place.
void QuickHost::NewScreen() {
    const qint64 pixels = qint64(std::max(size_.width(), 0)) * std::max(size_.height(), 0);
    if (pixels > 0 && pixels <= kMaxScreenPixels) {
        image_ = QImage(size_, QImage::Format_RGB32);
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
    if (onNotify) onNotify(name);
}

std::shared_ptr<vex::StdFont> QuickHost::NewDefaultFont() {
    return std::make_shared<vex::StdFont>();
}

} // namespace xpbar
