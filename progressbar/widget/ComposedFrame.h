#pragma once

// The picture a host shows, put together from its control's pictures by one set of rules, so
// that the widget and the Qt Quick item show the same pixels for the same state.

#include "platform/runtime/types.h"
#include "progressbar/XP_ProgressBar.h"
#include "progressbar/widget/BarFrames.h"

#include <QImage>
#include <QSize>

#include <memory>

namespace xpbar {

// What a host gives the rules: its control and the control's pictures.
class FrameSource {
  public:
    virtual ~FrameSource() = default;

    virtual vex::XP_ProgressBar& Control() = 0;
    // The host's size in logical pixels.
    virtual QSize HostSize() const = 0;
    // The control's picture at a percentage, with or without its text: the host's own image,
    // valid until the control draws again.
    virtual const QImage& PaintedAt(vex::Long percent, bool text) = 0;
    // The same, without text, in another look; the control's own look is put back. A picture
    // the host keeps apart, since putting the look back repaints.
    virtual const QImage& PaintedInLook(vex::Long look, vex::Long percent) = 0;
    // The control's picture with its text at the percentage it shows.
    virtual const QImage& Painted(vex::Long percent) { return PaintedAt(percent, true); }

    // While it lives, the control paints at `size` with its font `fontScale` times as large,
    // and its settings changes reach no container; the host's size and font come back after.
    class Rendering {
      public:
        virtual ~Rendering() = default;
    };
    virtual std::unique_ptr<Rendering> RenderAt(QSize size, int fontScale) = 0;
};

// The host's state beside the control's own properties.
struct FrameState {
    vex::Long percent = 0;
    bool busy = false;
    int busyFrame = 0; // the busy animation's step
    bool text = false; // a text is visible and not empty
    bool enabled = true;
    bool inverted = false;    // the fill runs from the other end
    bool rightToLeft = false; // a mirrored layout: a lying bar fills from the right
    bool textUpwards = false; // a standing bar's text reads bottom to top

    friend bool operator==(const FrameState&, const FrameState&) = default;
};

// The looks that can stand; the others always draw lying down.
bool CanStand(vex::Long scrolling);

// Puts together the picture to show at a whole device pixel ratio `scale`: the control's, joined
// with others of its pictures where the fill runs the other way, the bar is busy or its text
// stands, and greyed when disabled. Above 1 it is the 1x picture with every pixel doubled (so
// lines, blocks and gaps keep their proportions) and the text drawn afresh at device
// resolution. It keeps its pictures between calls, so that a paint allocates nothing.
class FrameComposer {
  public:
    // Valid until the next call, or until the source's control draws again: a plain picture is
    // the source's own.
    const QImage& Compose(FrameSource& source, const FrameState& state, int scale);
    // Whether the picture for `state` is the control's own picture with its text, greyed or not.
    static bool UsesControlsPicture(const vex::XP_ProgressBar& control, const FrameState& state,
                                    int scale);
    // Whether `picture` is one of the composer's own.
    bool Owns(const QImage& picture) const {
        return &picture == &picture_ || &picture == &doubled_;
    }
    // The picture the last call returned, when it was one of the composer's own.
    const QImage& Last() const { return *last_; }

  private:
    void LayText(FrameSource& source, QImage& picture, FillAxis axis, bool mirrored,
                 vex::Long percent);

    QImage picture_; // the picture at 1x
    QImage doubled_; // and at the device's ratio
    QImage with_;    // a picture of the control's, while another is drawn
    const QImage* last_ = &picture_;
};

} // namespace xpbar
