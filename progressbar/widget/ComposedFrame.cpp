// A host's picture, from its control's own pictures and the frame rules of BarFrames.
#include "progressbar/widget/ComposedFrame.h"

#include "platform/runtime/arith.h"
#include "progressbar/ScrollingStyle.h"
#include "progressbar/widget/BarFrames.h"

#include <QTransform>

#include <algorithm>

namespace xpbar {

namespace {

// The looks of the XP family, whose busy state is a moving band of fill.
bool IsXPLook(vex::Long scrolling) {
    return CanStand(scrolling);
}

QImage Doubled(const QImage& picture, int scale) {
    return picture.scaled(picture.size() * scale, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

// The bar with no fill at all. The XP looks draw a stub of fill at 0 %; their searching look
// has its blocks past the end at 100 % lying and at 0 % standing, and so shows the empty bar.
QImage Bare(FrameSource& source, FillAxis axis) {
    if (!IsXPLook(source.Control().GetScrolling())) return source.PaintedAt(0, false);
    return source.PaintedInLook(vex::XPSearching, axis == FillAxis::Horizontal ? 100 : 0);
}

// The XP looks run their own searching blocks across the bar; the others move a lighter band
// over the full bar.
QImage BusyFrame(FrameSource& source, FillAxis axis, bool mirrored, int frame) {
    if (IsXPLook(source.Control().GetScrolling())) {
        const int percent = BusyPercent(frame);
        return source.PaintedInLook(vex::XPSearching, mirrored ? 100 - percent : percent);
    }
    const QSize size = source.HostSize();
    const int extent = axis == FillAxis::Horizontal ? size.width() : size.height();
    const QRect area = SpanRect(size, axis, BusyBand(frame, extent), mirrored);
    return WithHighlight(source.PaintedAt(100, false), area);
}

// The fill runs from the other end while the frame stays as it is: the area the fill may take
// is turned end for end.
QImage MirroredFill(FrameSource& source, FillAxis axis, vex::Long percent) {
    const QImage bare = Bare(source, axis);
    const QRect fillable = FillableArea(bare, source.PaintedAt(100, false), axis);
    return MirroredWithin(source.PaintedAt(percent, false), fillable, axis);
}

// Lays the text over a picture the size of the control's: as the control draws it, and where
// the fill runs the other way, in its colours over the fill where the turned fill lies and in
// the others elsewhere, so that it stays readable.
void LayText(FrameSource& source, QImage& picture, FillAxis axis, bool mirrored,
             vex::Long percent) {
    if (!mirrored) {
        const QImage with = source.PaintedAt(percent, true);
        CopyChangedPixels(picture, with, source.PaintedAt(percent, false), picture.rect());
        return;
    }
    const QSize size = picture.size();
    const int extent = axis == FillAxis::Horizontal ? size.width() : size.height();
    const int fillEnd = std::clamp<int>(vex::CLng(percent / 100.0 * extent), 0, extent);
    const QImage emptyWith = source.PaintedAt(0, true);
    CopyChangedPixels(picture, emptyWith, source.PaintedAt(0, false),
                      SpanRect(size, axis, {fillEnd, extent - fillEnd}, true));
    const QImage fullWith = source.PaintedAt(100, true);
    CopyChangedPixels(picture, fullWith, source.PaintedAt(100, false),
                      SpanRect(size, axis, {0, fillEnd}, true));
    source.PaintedAt(percent, false); // the control ends on the bar's own percentage
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
        with = source.PaintedAt(percent, true);
        without = source.PaintedAt(percent, false);
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

QImage ComposedFrame(FrameSource& source, const FrameState& state, int scale) {
    vex::XP_ProgressBar& control = source.Control();
    const bool standing = control.GetOrientation() != 0 && CanStand(control.GetScrolling());
    const FillAxis axis = standing ? FillAxis::Vertical : FillAxis::Horizontal;
    // A mirrored layout turns a lying bar only; a standing one fills upwards in any layout.
    const bool mirrored = standing ? state.inverted : state.inverted != state.rightToLeft;
    QImage picture;
    if (state.busy) {
        picture = BusyFrame(source, axis, mirrored, state.busyFrame);
        if (scale > 1) picture = Doubled(picture, scale);
    } else if (scale == 1 && !mirrored && !(standing && state.text)) {
        picture = source.Painted(state.percent);
    } else {
        picture = mirrored ? MirroredFill(source, axis, state.percent)
                           : source.PaintedAt(state.percent, false);
        if (scale > 1) picture = Doubled(picture, scale);
        if (state.text && standing) {
            LayStandingText(source, picture, state.textUpwards, state.percent, scale);
        } else if (state.text) {
            const auto atScale = source.RenderAt(source.HostSize() * scale, scale);
            LayText(source, picture, axis, mirrored, state.percent);
        }
    }
    return state.enabled ? picture : Greyed(picture);
}

} // namespace xpbar
