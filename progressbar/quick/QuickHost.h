#pragma once

#include "platform/gdi/gdi.h"
#include "progressbar/ControlHost.h"
#include "progressbar/XP_ProgressBar.h"
#include "progressbar/widget/ComposedFrame.h"

#include <QImage>
#include <QSize>

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace xpbar {

// Hosts one XP_ProgressBar for a Qt Quick item: the control's own DC draws into an image of the
// item's size in logical pixels (what the item shows), and its window is a registered handle of
// that size. The control is initialised at once, so every property reads back from it.
class QuickHost : public vex::ControlHost, public FrameSource {
  public:
    QuickHost();
    ~QuickHost() override;
    QuickHost(const QuickHost&) = delete;
    QuickHost& operator=(const QuickHost&) = delete;

    vex::XP_ProgressBar& Control() override { return *control_; }
    const vex::XP_ProgressBar& Control() const { return *control_; }

    // A new size: a new image in the back colour, then ResizeControl. The caller repaints.
    void Resize(QSize size);
    const QImage& Screen() const { return image_; }

    // The text the control's overlay draws over the bar; characters beyond Latin-1 show as "?".
    void SetBarText(const QString& text);

    // FrameSource
    QSize HostSize() const override { return size_; }
    QImage PaintedAt(vex::Long percent, bool text) override;
    QImage PaintedInLook(vex::Long look, vex::Long percent) override;
    std::unique_ptr<FrameSource::Rendering> RenderAt(QSize size, int fontScale) override;

    // Runs on every change notification of the control, with the stored property's name.
    std::function<void(const QString&)> onNotify;

    // Keeps the host's own settings of the control (a look or font borrowed for one picture)
    // from reaching onNotify.
    class Quiet {
      public:
        explicit Quiet(QuickHost& host) : host_(host) { ++host_.quiet_; }
        ~Quiet() { --host_.quiet_; }
        Quiet(const Quiet&) = delete;
        Quiet& operator=(const Quiet&) = delete;

      private:
        QuickHost& host_;
    };

    // The control painting at another size than the item's (a multiple of it, or turned), its
    // text's font enlarged `fontScale` times; the item's size and font come back at the end.
    class Rendering : public FrameSource::Rendering {
      public:
        Rendering(QuickHost& host, QSize size, int fontScale);
        ~Rendering() override;
        Rendering(const Rendering&) = delete;
        Rendering& operator=(const Rendering&) = delete;

      private:
        void Restore();

        QuickHost& host_;
        Quiet quiet_;
        std::shared_ptr<vex::StdFont> font_;
    };

    // ControlHost
    gdi::HWND Window() const override { return hwnd_; }
    gdi::HDC OwnDC() const override { return hdc_; }
    float ScaleWidth() const override { return Scaled(ClientSize().width()); }
    float ScaleHeight() const override { return Scaled(ClientSize().height()); }
    float ScaleLeft() const override { return 0.0f; }
    float ScaleTop() const override { return 0.0f; }
    void SetBackColor(vex::Long color) override;
    void SetScaleModePixels() override { scaleInPixels_ = true; }
    void NotifyPropertyChanged(const QString& name) override;
    std::shared_ptr<vex::StdFont> NewDefaultFont() override;
    std::optional<std::string> BarText() const override;

  private:
    float Scaled(int pixels) const;
    void NewScreen(QSize size);
    QSize ClientSize() const { return renderSize_.isValid() ? renderSize_ : size_; }

    QSize size_{0, 0};
    QSize renderSize_; // invalid: the item's own size
    std::string barText_;
    bool withoutText_ = false;
    int quiet_ = 0;
    QImage image_;
    vex::Long backColor_;
    bool scaleInPixels_ = false;
    gdi::HDC hdc_ = 0;
    gdi::HWND hwnd_ = 0;
    std::unique_ptr<vex::XP_ProgressBar> control_;
};

} // namespace xpbar
