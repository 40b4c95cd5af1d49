// The item's picture, from the control's own pictures and the widget's frame rules.
#include "progressbar/quick/ItemFrame.h"

#include "progressbar/ScrollingStyle.h"
#include "progressbar/widget/BarFrames.h"

#include <QTransform>

namespace xpbar {

namespace {

// The looks that can stand; the others always draw lying down.
bool CanStand(vex::Long scrolling) {
    return scrolling < vex::Flat || scrolling > vex::Glass;
}

// The looks of the XP family, whose busy state is a moving band of fill.
bool IsXPLook(vex::Long scrolling) {
    return CanStand(scrolling);
}

QImage Doubled(const QImage& picture, int scale) {
    return picture.scaled(picture.size() * scale, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

// The XP looks run their own searching blocks across the bar; the others move a lighter band
// over the full bar.
QImage BusyFrame(QuickHost& host, FillAxis axis, int frame) {
    if (IsXPLook(host.Control().GetScrolling()))
        return host.PaintedInLook(vex::XPSearching, BusyPercent(frame));
    const QSize size = host.Size();
    const int extent = axis == FillAxis::Horizontal ? size.width() : size.height();
    const QRect area = SpanRect(size, axis, BusyBand(frame, extent), false);
    return WithHighlight(host.PaintedAt(100, false), area);
}

// Lays the control's text over a picture of the current rendering's size.
void LayText(QuickHost& host, QImage& picture, int percent) {
    const QImage with = host.PaintedAt(percent, true);
    CopyChangedPixels(picture, with, host.PaintedAt(percent, false), picture.rect());
}

// A standing bar's text reads down the bar, as the widget's does by default: drawn by the
// control on the bar laid down, and turned.
void LayStandingText(QuickHost& host, QImage& picture, int percent, int scale) {
    QImage with, without;
    {
        const QuickHost::Rendering lying(host, host.Size().transposed() * scale, scale);
        vex::XP_ProgressBar& control = host.Control();
        const vex::Long own = control.GetOrientation();
        control.SetOrientation(0);
        with = host.PaintedAt(percent, true);
        without = host.PaintedAt(percent, false);
        control.SetOrientation(own);
    }
    QTransform turn;
    turn.rotate(90);
    CopyChangedPixels(picture, with.transformed(turn), without.transformed(turn), picture.rect());
}

} // namespace

QImage ItemFrame(QuickHost& host, const ItemState& state, int scale) {
    vex::XP_ProgressBar& control = host.Control();
    const bool standing = control.GetOrientation() != 0 && CanStand(control.GetScrolling());
    const FillAxis axis = standing ? FillAxis::Vertical : FillAxis::Horizontal;
    QImage picture;
    if (state.busy) {
        picture = BusyFrame(host, axis, state.busyFrame);
        if (scale > 1) picture = Doubled(picture, scale);
    } else if (scale == 1 && !(standing && state.text)) {
        picture = host.PaintedAt(state.percent, true);
    } else {
        picture = host.PaintedAt(state.percent, false);
        if (scale > 1) picture = Doubled(picture, scale);
        if (state.text && standing) {
            LayStandingText(host, picture, state.percent, scale);
        } else if (state.text) {
            const QuickHost::Rendering atScale(host, host.Size() * scale, scale);
            LayText(host, picture, state.percent);
        }
    }
    return state.enabled ? picture : Greyed(picture);
}

} // namespace xpbar
