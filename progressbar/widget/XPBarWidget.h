#pragma once

#include "progressbar/ControlHost.h"
#include "progressbar/XP_ProgressBar.h"

#include <QImage>
#include <QWidget>

#include <memory>

namespace vex::qtui {

// A Qt widget that hosts one XP_ProgressBar: the widget is the control's window, and an image
// the size of the widget is the control's own DC. The control paints into that image (through
// its off-screen surface) and the widget shows the image. Resize, paint and destruction are
// forwarded to the control's lifecycle handlers.
//
// The control is created here but not initialised: the owner sets the widget's geometry,
// then calls InitializeControl() and, when it restores a stored instance,
// control().LoadProperties().
class XPBarWidget : public QWidget, public ControlHost {
    Q_OBJECT

  public:
    explicit XPBarWidget(QWidget* parent = nullptr);
    ~XPBarWidget() override;

    XP_ProgressBar& control() { return *control_; }
    const XP_ProgressBar& control() const { return *control_; }

    // Runs the control's InitializeControl at the widget's current size. Until then resize and
    // paint leave the control alone and the widget shows its background colour.
    void InitializeControl();

    // Sets the bar's Value and shows the result. Errors of the Value arithmetic go to the
    // caller, as the control raises them.
    void SetValue(Long value);

    // What the widget currently shows (the control's own DC).
    const QImage& image() const { return image_; }

    // ControlHost.
    gdi::HWND Window() const override { return hwnd_; }
    gdi::HDC OwnDC() const override { return hdc_; }
    float ScaleWidth() const override;
    float ScaleHeight() const override;
    float ScaleLeft() const override { return 0.0f; }
    float ScaleTop() const override { return 0.0f; }
    void SetBackColor(Long color) override;
    void SetScaleModePixels() override { scaleInPixels_ = true; }
    void NotifyPropertyChanged(const QString& name) override;
    std::shared_ptr<StdFont> NewDefaultFont() override;

    QSize sizeHint() const override;

  signals:
    // A stored property of the control changed (the container's document is now modified).
    void propertyChanged(const QString& name);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    QColor BackQColor() const;

    QImage image_;
    gdi::HWND hwnd_ = 0;
    gdi::HDC hdc_ = 0;
    Long backColor_ = 0;
    bool scaleInPixels_ = false;
    bool initialized_ = false;
    std::unique_ptr<XP_ProgressBar> control_;
};

} // namespace vex::qtui
