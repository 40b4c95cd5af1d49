#pragma once

// The picture a host shows, put together from its control's pictures by one set of rules, so
// that the widget and the Qt Quick item show the same pixels for the same state.

#include "platform/runtime/types.h"
#include "progressbar/XP_ProgressBar.h"

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
    // The control's picture at a percentage, with or without its text: a copy, since the
    // control goes on drawing.
    virtual QImage PaintedAt(vex::Long percent, bool text) = 0;
    // The same, without text, in another look; the control's own look is put back.
    virtual QImage PaintedInLook(vex::Long look, vex::Long percent) = 0;
    // The control's picture with its text at the percentage it shows; a host may hand out its
    // own image here, valid until the control draws again.
    virtual QImage Painted(vex::Long percent) { return PaintedAt(percent, true); }

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
};

// The looks that can stand; the others always draw lying down.
bool CanStand(vex::Long scrolling);

// The picture to show at a whole device pixel ratio `scale`: the control's, put together with
// others of its pictures where the fill runs the other way, the bar is busy or its text
// stands, and greyed when disabled. Above 1 it is the 1x picture with every pixel doubled (so
// lines, blocks and gaps keep their proportions) and the text drawn afresh at device
// resolution.
QImage ComposedFrame(FrameSource& source, const FrameState& state, int scale);

} // namespace xpbar
