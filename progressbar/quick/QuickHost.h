#pragma once

#include "progressbar/widget/ComposingHost.h"

#include <QSize>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace xpbar {

// Hosts one XP_ProgressBar for a Qt Quick item: the control's own DC draws into an image of the
// item's size in logical pixels (what the item shows), and its window is a registered handle of
// that size. The control is initialised at once, so every property reads back from it.
class QuickHost : public ComposingHost {
  public:
    QuickHost();
    ~QuickHost() override;

    // A new size: a new image in the back colour, then ResizeControl. The caller repaints.
    void Resize(QSize size);
    // The text the control's overlay draws over the bar; characters beyond Latin-1 show as "?".
    void SetBarText(const QString& text);

    QSize HostSize() const override { return size_; }
    std::shared_ptr<vex::StdFont> NewDefaultFont() override;

    // Runs on every change notification of the control, with the stored property's name.
    std::function<void(const QString&)> onNotify;

  protected:
    std::optional<std::string> HostText() const override { return barText_; }
    void PropertyChanged(const QString& name) override;

  private:
    QSize size_{0, 0};
    std::string barText_;
};

} // namespace xpbar
