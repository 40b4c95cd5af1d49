#include "progressbar/headless/HeadlessHost.h"

#include "progressbar/StdFont.h"

namespace vex {

namespace {

// Beyond this many pixels the host keeps no image, as a screen could not show it anyway.
constexpr qint64 kMaxScreenPixels = qint64(1) << 26;

} // namespace

HeadlessHost::HeadlessHost(int width, int height, bool initialize)
    : width_(width), height_(height), backColor_(InitialBackColor()) {
    AllocateScreen();
    hwnd_ = gdi::RegisterWindow([this] { return QSize(width_, height_); });
    control_ = std::make_unique<XP_ProgressBar>(*this);
    if (initialize) Initialize();
}

HeadlessHost::~HeadlessHost() {
    if (initialized_) Terminate();
    control_.reset();
    gdi::DeleteDC(ownDC_);
    gdi::UnregisterWindow(hwnd_);
}

void HeadlessHost::Initialize() {
    initialized_ = true;
    control_->InitializeControl();
}

void HeadlessHost::Terminate() {
    initialized_ = false;
    control_->TerminateControl();
}

void HeadlessHost::Resize(int width, int height) {
    SetSize(width, height);
    control_->ResizeControl();
    control_->PaintControl();
}

void HeadlessHost::SetSize(int width, int height) {
    width_ = width;
    height_ = height;
    AllocateScreen();
}

void HeadlessHost::SetBackColor(Long color) {
    backColor_ = color;
    if (!image_->isNull()) image_->fill(gdi::BgrColor(color).ToQRgb());
}

void HeadlessHost::NotifyPropertyChanged(const QString& name) {
    notifications_.append(name);
    if (onNotify) onNotify(name);
}

std::shared_ptr<StdFont> HeadlessHost::NewDefaultFont() {
    return std::make_shared<StdFont>();
}

// The own DC is remade over the new image; the old one is released only after, so the control
// never holds a handle that a new object could reuse before its next ResizeControl.
void HeadlessHost::AllocateScreen() {
    auto image = std::make_unique<QImage>();
    const qint64 pixels = qint64(std::max(width_, 0)) * qint64(std::max(height_, 0));
    if (pixels > 0 && pixels <= kMaxScreenPixels) {
        *image = QImage(width_, height_, QImage::Format_RGB32);
        if (!image->isNull()) image->fill(gdi::BgrColor(backColor_).ToQRgb());
    }
    const gdi::HDC dc = gdi::CreateDCForImage(image.get());
    if (ownDC_ != 0) gdi::DeleteDC(ownDC_);
    ownDC_ = dc;
    image_ = std::move(image);
}

} // namespace vex
