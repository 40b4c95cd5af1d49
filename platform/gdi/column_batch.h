#pragma once

// One-pixel vertical lines drawn side by side (a gradient painted column by column) are the
// costliest thing the progress bar asks of the layer: every pixel is a store one row away from
// the last. Adjacent columns of equal height drawn into a memory DC are therefore collected and
// written out row by row, in contiguous runs, before anything else reads or changes pixels.
// Only the layer's own bitmaps are batched: a caller's image may be read at any time.

#include "platform/gdi/table.h"

#include <QRgb>

namespace gdi::detail {

// Takes the column [top, bottom) at x (already clipped to the pixels) into the batch; a column
// that does not continue the batch first writes the batch out and starts a new one.
void BatchColumn(const Pixels& px, qint64 x, qint64 top, qint64 bottom, QRgb color);

// Writes out the batched columns, if any. Every entry point that reads or writes pixels, hands
// them out, or changes which pixels a DC has calls this first.
extern bool g_columnsPending;
void FlushColumnsSlow();
inline void FlushColumns() {
    if (g_columnsPending) FlushColumnsSlow();
}

} // namespace gdi::detail
