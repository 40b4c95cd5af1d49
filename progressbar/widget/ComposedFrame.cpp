// A host's picture, from its control's own pictures and the frame rules of BarFrames.
#include "progressbar/widget/ComposedFrame.h"

#include "platform/runtime/arith.h"
#include "progressbar/ScrollingStyle.h"
#include "progressbar/widget/BarFrames.h"

#include <QMargins>
#include <QTransform>

#include <algorithm>

namespace xpbar {

namespace {

// The looks of the XP family, whose busy state is a moving band of fill.
bool IsXPLook(vex::Long scrolling) {
    return CanStand(scrolling);
}

// How far in from each side of the bar the area lies in which a look's fill runs, as the look
// paints its frame; the fill turned end for end within it keeps the frame as it is. Asked of
// the look rather than found in its pixels, since some looks draw fill over their frame (an
// empty Shaded bar) or draw none at either end (an empty Etched bar, the searching blocks at
// rest).
QMargins FillMargins(vex::Long scrolling) {
    switch (scrolling) {
    case vex::Flat:
    case vex::Dark:
    case vex::Picture:
        return {1, 1, 1, 1}; // a frame one pixel wide
    case vex::Etched:
    case vex::Hatch:
        return {2, 2, 2, 2}; // a two-line edge
    case vex::Shaded:
        // Its fill runs over the frame at both ends and the frame is one colour all round, so
        // the whole bar turns.
        return {0, 0, 0, 0};
    case vex::Glass:
        // The XP border, and the column of white it leaves at the right of the track.
        return {3, 3, 3, 2};
    default: // the XP border: three lines at the left and top, two at the right and bottom
        return {3, 3, 2, 2};
    }
}

// The fill runs from the other end while the frame stays as it is.
void MirrorFill(QImage& picture, vex::Long scrolling, FillAxis axis) {
    MirrorWithin(picture, picture.rect().marginsRemoved(FillMargins(scrolling)), axis);
}

// The XP looks run their own searching blocks across the bar; the others move a lighter band
// over the full bar.
void DrawBusy(FrameSource& source, QImage& picture, FillAxis axis, bool mirrored, int frame) {
    if (IsXPLook(source.Control().GetScrolling())) {
        CopyInto(picture, source.PaintedInLook(vex::XPSearching, BusyPercent(frame)));
        if (mirrored) MirrorFill(picture, vex::XPSearching, axis);
        return;
    }
    const QSize size = source.HostSize();
    const int extent = axis == FillAxis::Horizontal ? size.width() : size.height();
    CopyInto(picture, source.PaintedAt(100, false));
    Highlight(picture, SpanRect(size, axis, BusyBand(frame, extent), mirrored));
}

// A standing bar's text reads along the bar, down it unless `upwards`: drawn by the control on
// the bar laid down, and turned.
void LayStandingText(FrameSource& source, QImage& picture, bool upwards, vex::Long percent,
                     int scale) {
    QImage with, without;
    {
        const auto lying = source.RenderAt(source.HostSize().transposed() * scale, scale);
        vex::XP_ProgressBar& control = source.Control();
        const vex::Long own = control.GetOrientation();
        control.SetOrientation(0);
        with = source.PaintedAt(percent, true).copy();
        without = source.PaintedAt(percent, false).copy();
        control.SetOrientation(own);
    }
    QTransform turn;
    turn.rotate(upwards ? -90 : 90);
    CopyChangedPixels(picture, with.transformed(turn), without.transformed(turn), picture.rect());
    source.PaintedAt(percent, false); // the control ends on the bar's own percentage
}

} // namespace

bool CanStand(vex::Long scrolling) {
    return scrolling < vex::Flat || scrolling > vex::Glass;
}

// Lays the text over a picture the size of the control's: as the control draws it, and where
// the fill runs the other way, in its colours over the fill where the turned fill lies and in
// the others elsewhere, so that it stays readable.
void FrameComposer::LayText(FrameSource& source, QImage& picture, FillAxis axis, bool mirrored,
                            vex::Long percent) {
    if (!mirrored) {
        CopyInto(with_, source.PaintedAt(percent, true));
        CopyChangedPixels(picture, with_, source.PaintedAt(percent, false), picture.rect());
        return;
    }
    const QSize size = picture.size();
    const int extent = axis == FillAxis::Horizontal ? size.width() : size.height();
    const int fillEnd = std::clamp<int>(vex::CLng(percent / 100.0 * extent), 0, extent);
    CopyInto(with_, source.PaintedAt(0, true));
    CopyChangedPixels(picture, with_, source.PaintedAt(0, false),
                      SpanRect(size, axis, {fillEnd, extent - fillEnd}, true));
    CopyInto(with_, source.PaintedAt(100, true));
    CopyChangedPixels(picture, with_, source.PaintedAt(100, false),
                      SpanRect(size, axis, {0, fillEnd}, true));
    source.PaintedAt(percent, false); // the control ends on the bar's own percentage
}

namespace {

bool Standing(const vex::XP_ProgressBar& control) {
    return control.GetOrientation() != 0 && CanStand(control.GetScrolling());
}

// A mirrored layout turns a lying bar only; a standing one fills upwards in any layout.
bool Mirrored(const vex::XP_ProgressBar& control, const FrameState& state) {
    return Standing(control) ? state.inverted : state.inverted != state.rightToLeft;
}

} // namespace

bool FrameComposer::UsesControlsPicture(const vex::XP_ProgressBar& control, const FrameState& state,
                                        int scale) {
    return !state.busy && scale == 1 && !Mirrored(control, state) &&
           !(Standing(control) && state.text);
}

const QImage& FrameComposer::Compose(FrameSource& source, const FrameState& state, int scale) {
    vex::XP_ProgressBar& control = source.Control();
    const bool standing = Standing(control);
    const FillAxis axis = standing ? FillAxis::Vertical : FillAxis::Horizontal;
    const bool mirrored = Mirrored(control, state);
    if (UsesControlsPicture(control, state, scale)) {
        const QImage& plain = source.Painted(state.percent);
        if (state.enabled) return plain;
        CopyInto(picture_, plain);
        Grey(picture_);
        return picture_;
    }
    if (state.busy) {
        DrawBusy(source, picture_, axis, mirrored, state.busyFrame);
    } else {
        CopyInto(picture_, source.PaintedAt(state.percent, false));
        if (mirrored) MirrorFill(picture_, control.GetScrolling(), axis);
    }
    QImage* picture = &picture_;
    if (scale > 1) {
        DoubleInto(doubled_, picture_, scale);
        picture = &doubled_;
    }
    if (!state.busy && state.text && standing) {
        LayStandingText(source, *picture, state.textUpwards, state.percent, scale);
    } else if (!state.busy && state.text) {
        // At 1x the control already paints at the host's size.
        const auto atScale =
            scale > 1 ? source.RenderAt(source.HostSize() * scale, scale) : nullptr;
        LayText(source, *picture, axis, mirrored, state.percent);
    }
    if (!state.enabled) Grey(*picture);
    last_ = picture;
    return *picture;
}

} // namespace xpbar
