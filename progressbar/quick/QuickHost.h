#pragma once

#include "platform/gdi/gdi.h"
#include "progressbar/ControlHost.h"
#include "progressbar/XP_ProgressBar.h"

#include <QImage>
#include <QSize>

#include <functional>
#include <memory>

namespace xpbar {

// Hosts one XP_ProgressBar for a Qt Quick item: the control's own DC draws into an image of the
// item's size in logical pixels (what the item shows), and its window is a registered handle of
// that size. The control is initialised at once, so every property reads back from it.
class QuickHost : public vex::ControlHost {
  public:
    QuickHost();
    ~QuickHost() override;
    QuickHost(const QuickHost&) = delete;
    QuickHost& operator=(const QuickHost&) = delete;

    vex::XP_ProgressBar& Control() { return *control_; }
    const vex::XP_ProgressBar& Control() const { return *control_; }

    // A new size: a new image in the back colour, then ResizeControl. The caller repaints.
    void Resize(QSize size);
    const QImage& Screen() const { return image_; }

    // Runs on every change notification of the control, with the stored property's name.
    std::function<void(const QString&)> onNotify;

    // ControlHost
    gdi::HWND Window() const override { return hwnd_; }
    gdi::HDC OwnDC() const override { return hdc_; }
    float ScaleWidth() const override { return Scaled(size_.width()); }
    float ScaleHeight() const override { return Scaled(size_.height()); }
    float ScaleLeft() const override { return 0.0f; }
    float ScaleTop() const override { return 0.0f; }
    void SetBackColor(vex::Long color) override;
    void SetScaleModePixels() override { scaleInPixels_ = true; }
    void NotifyPropertyChanged(const QString& name) override;
    std::shared_ptr<vex::StdFont> NewDefaultFont() override;

  private:
    float Scaled(int pixels) const;
    void NewScreen();

    QSize size_{0, 0};
    QImage image_;
    vex::Long backColor_;
    bool scaleInPixels_ = false;
    gdi::HDC hdc_ = 0;
    gdi::HWND hwnd_ = 0;
    std::unique_ptr<vex::XP_ProgressBar> control_;
};

} // namespace xpbar
