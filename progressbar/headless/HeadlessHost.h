#pragma once

#include "progressbar/ControlHost.h"
#include "progressbar/XP_ProgressBar.h"

#include <QImage>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace vex {

// Hosts one XP_ProgressBar without a window system. The control's own DC draws into an image
// of the control's size (what a screen would show) and its window is a registered handle with
// that client size. Change notifications are recorded for whoever inspects the control.
class HeadlessHost : public ControlHost {
  public:
    // Creates the control; with `initialize` it also runs InitializeControl. The size may be
    // zero, negative or too large for pixels: the control then paints into an empty image.
    HeadlessHost(int width, int height, bool initialize = true);
    // Terminates the control if it was initialised and not yet terminated.
    ~HeadlessHost() override;
    HeadlessHost(const HeadlessHost&) = delete;
    HeadlessHost& operator=(const HeadlessHost&) = delete;

    XP_ProgressBar& Control() { return *control_; }

    // Lifecycle, as a container drives it.
    void Initialize();
    void Terminate();
    // A new size: a new own image in the back colour, ResizeControl, then the paint request.
    void Resize(int width, int height);
    // Only the new size and image, as a window changes before its container tells the control.
    void SetSize(int width, int height);
    void Paint() { control_->PaintControl(); }

    // What the screen shows. Null when the size has no pixels.
    const QImage& Screen() const { return *image_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    Long BackColor() const { return backColor_; }
    bool ScaleModeIsPixels() const { return scalePixels_; }

    // Names passed to NotifyPropertyChanged, oldest first.
    const QStringList& Notifications() const { return notifications_; }
    void ClearNotifications() { notifications_.clear(); }
    // Runs on every notification after it is recorded; tests make it throw to see what a
    // failing container does to a setter.
    std::function<void(const QString&)> onNotify;
    // The text the overlay shows in place of the control's own; none keeps the control's.
    std::optional<std::string> barText;

    // ControlHost
    gdi::HWND Window() const override { return hwnd_; }
    gdi::HDC OwnDC() const override { return ownDC_; }
    float ScaleWidth() const override { return static_cast<float>(width_); }
    float ScaleHeight() const override { return static_cast<float>(height_); }
    float ScaleLeft() const override { return 0.0f; }
    float ScaleTop() const override { return 0.0f; }
    void SetBackColor(Long color) override;
    void SetScaleModePixels() override { scalePixels_ = true; }
    void NotifyPropertyChanged(const QString& name) override;
    std::shared_ptr<StdFont> NewDefaultFont() override;
    std::optional<std::string> BarText() const override { return barText; }

  private:
    void AllocateScreen();

    int width_;
    int height_;
    Long backColor_;
    bool scalePixels_ = false;
    bool initialized_ = false;
    std::unique_ptr<QImage> image_;
    gdi::HDC ownDC_ = 0;
    gdi::HWND hwnd_ = 0;
    QStringList notifications_;
    std::unique_ptr<XP_ProgressBar> control_;
};

} // namespace vex
