#pragma once

// What the widget's host and the Qt Quick item's host share: an image that is the control's own
// DC, a registered window of the host's size, the control's pictures handed to the frame rules,
// and the last picture those rules put together.

#include "platform/gdi/gdi.h"
#include "progressbar/ControlHost.h"
#include "progressbar/XP_ProgressBar.h"
#include "progressbar/widget/ComposedFrame.h"

#include <QImage>
#include <QSize>

#include <memory>
#include <optional>
#include <string>

namespace vex {
class StdFont;
}

namespace xpbar {

class ComposingHost : public vex::ControlHost, public FrameSource {
  public:
    ComposingHost();
    ~ComposingHost() override;
    ComposingHost(const ComposingHost&) = delete;
    ComposingHost& operator=(const ComposingHost&) = delete;

    // Keeps the host's own settings of the control (a look or font borrowed for one picture, the
    // range it keeps) from reaching the container.
    class Quiet {
      public:
        explicit Quiet(ComposingHost& host) : host_(host) { ++host_.quiet_; }
        ~Quiet() { --host_.quiet_; }
        Quiet(const Quiet&) = delete;
        Quiet& operator=(const Quiet&) = delete;

      private:
        ComposingHost& host_;
    };

    vex::XP_ProgressBar& Control() override { return *control_; }
    const vex::XP_ProgressBar& Control() const { return *control_; }
    // What the control's DC holds: its last picture.
    const QImage& Screen() const { return image_; }
    // The DC becomes a picture of `size`, in the back colour unless the control is about to
    // paint all of it; the caller resizes the control.
    enum class Background { Filled, AsLeft };
    void NewScreen(QSize size, Background background = Background::Filled);

    // The picture to show for `state` at a whole device pixel ratio: the one put together last
    // when nothing it depends on has changed since, so that a repaint of an unchanged bar
    // costs no painting. Valid until the next call, or until the control draws again.
    const QImage& Frame(const FrameState& state, int scale);
    // The control has just drawn its picture with its text for `state` into the DC, which the
    // next paint then need not draw again.
    void ScreenDrawn(const FrameState& state);

    // FrameSource.
    const QImage& PaintedAt(vex::Long percent, bool text) override;
    const QImage& PaintedInLook(vex::Long look, vex::Long percent) override;
    const QImage& Painted(vex::Long percent) override;
    std::unique_ptr<FrameSource::Rendering> RenderAt(QSize size, int fontScale) override;

    // ControlHost.
    gdi::HWND Window() const override { return hwnd_; }
    gdi::HDC OwnDC() const override { return hdc_; }
    float ScaleWidth() const override { return Scaled(ClientSize().width()); }
    float ScaleHeight() const override { return Scaled(ClientSize().height()); }
    float ScaleLeft() const override { return 0.0f; }
    float ScaleTop() const override { return 0.0f; }
    void SetBackColor(vex::Long color) override;
    void SetScaleModePixels() override { scaleInPixels_ = true; }
    void NotifyPropertyChanged(const QString& name) final;
    std::optional<std::string> BarText() const final;

  protected:
    // The text the host has the control draw over the bar.
    virtual std::optional<std::string> HostText() const = 0;
    // While a picture is put together: whether the DC already holds the control's picture for
    // it, drawn as its state arrived.
    bool ScreenCurrent() const { return screenCurrent_; }
    // A stored property of the control changed, and not by the host's own settings.
    virtual void PropertyChanged(const QString& name) = 0;

    std::unique_ptr<vex::XP_ProgressBar> control_;

  private:
    class Render;
    struct FrameKey;

    float Scaled(int pixels) const;
    QSize ClientSize() const { return renderSize_.isValid() ? renderSize_ : HostSize(); }
    FrameKey KeyOf(const FrameState& state, int scale) const;
    // The control's font `scale` times as large, made again only when the font's look changed.
    std::shared_ptr<vex::StdFont> LargeFont(const std::shared_ptr<vex::StdFont>& font, int scale);

    QImage image_;
    // The picture of the other size the DC last had, kept so that drawing at twice the size
    // and back allocates nothing.
    QImage spare_;
    QImage inLook_; // a picture in another look than the control's own
    gdi::HDC hdc_ = 0;
    gdi::HWND hwnd_ = 0;
    vex::Long backColor_;
    bool scaleInPixels_ = false;
    bool withoutText_ = false;
    int quiet_ = 0;
    quint64 changes_ = 0; // the control's change notifications so far
    QSize renderSize_;    // invalid: the host's own size

    std::shared_ptr<vex::StdFont> largeFont_;

    FrameComposer composer_;
    std::unique_ptr<FrameKey> shown_;  // what the last picture was made from
    bool shownScreen_ = false;         // and whether it is the DC's own
    std::unique_ptr<FrameKey> screen_; // what the control's picture in the DC was drawn for
    bool screenCurrent_ = false;
};

} // namespace xpbar
