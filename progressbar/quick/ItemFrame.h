#pragma once

#include "progressbar/quick/QuickHost.h"

#include <QImage>

namespace xpbar {

// What the item shows beside the control's own properties.
struct ItemState {
    int percent = 0;
    bool busy = false;
    int busyFrame = 0; // the busy animation's step
    bool text = false; // a text is visible and not empty
    bool enabled = true;
};

// The picture the item shows at a whole device pixel ratio `scale`, put together from the
// control's pictures as the widget puts its own together: the busy state as the widget animates
// it, greyed when disabled, and above 1 the 1x picture with every pixel doubled (lines, blocks
// and gaps keep their proportions) and the text drawn afresh at device resolution.
QImage ItemFrame(QuickHost& host, const ItemState& state, int scale);

} // namespace xpbar
