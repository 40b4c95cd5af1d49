#pragma once

// One-pixel vertical lines drawn side by side (a gradient painted column by column) are the
// costliest thing the progress bar asks of the layer: every pixel is a store one row away from
// the last. Adjacent columns of equal height drawn into a memory DC are therefore collected and
// written out row by row, in contiguous runs, before anything else reads or changes pixels.
// Only the layer's own bitmaps are batched: a caller's image may be read at any time.

#include "platform/gdi/table.h"

#include <QImage>
#include <QRgb>

namespace gdi::detail {

struct ColumnBatch {
    // The bitmap's image, not its pixels: they are asked for when the batch is written out, so
    // that a copy someone took of the image in between keeps its own pixels.
    QImage* image = nullptr;
    qint64 top = 0;
    qint64 bottom = 0;
    qint64 left = 0;
    qint64 count = 0;       // columns from `left` on
    QRgb* colors = nullptr; // one per column; never freed, like the handle table
    qint64 capacity = 0;
};

extern ColumnBatch g_columnBatch;
extern bool g_columnsPending;

void FlushColumnsSlow();
void BatchColumnSlow(QImage* image, qint64 x, qint64 top, qint64 bottom, QRgb color);

// Takes the column [top, bottom) at x (already clipped to the image) into the batch; a column
// that does not continue the batch first writes the batch out and starts a new one.
inline void BatchColumn(QImage* image, qint64 x, qint64 top, qint64 bottom, QRgb color) {
    ColumnBatch& b = g_columnBatch;
    if (g_columnsPending && b.image == image && b.top == top && b.bottom == bottom &&
        x == b.left + b.count && b.count < b.capacity) {
        b.colors[b.count++] = color;
        return;
    }
    BatchColumnSlow(image, x, top, bottom, color);
}

// Writes out the batched columns, if any. Every entry point that reads or writes pixels, hands
// them out, or changes which pixels a DC has calls this first.
inline void FlushColumns() {
    if (g_columnsPending) FlushColumnsSlow();
}

} // namespace gdi::detail
