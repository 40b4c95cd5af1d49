#include "platform/gdi/column_batch.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace gdi::detail {

ColumnBatch g_columnBatch;
bool g_columnsPending = false;

namespace {

// Below this many columns a row is stored pixel by pixel: a call to memcpy per row costs more
// than the few stores (the standing bars batch columns 2000 rows tall and a few wide).
constexpr qint64 kNarrowBatch = 8;

// `rows` rows of N batched colours. N is fixed at compile time, so each row is a few stores
// of colours kept in registers.
template <int N>
void StoreNarrowRows(uchar* row, qsizetype bytesPerLine, qint64 rows, const QRgb* colors) {
    QRgb run[N];
    std::memcpy(run, colors, sizeof(run));
    for (; rows > 0; --rows, row += bytesPerLine)
        std::memcpy(row, run, sizeof(run));
}

using NarrowStore = void (*)(uchar*, qsizetype, qint64, const QRgb*);
constexpr NarrowStore kNarrowStores[kNarrowBatch + 1] = {
    nullptr,
    StoreNarrowRows<1>,
    StoreNarrowRows<2>,
    StoreNarrowRows<3>,
    StoreNarrowRows<4>,
    StoreNarrowRows<5>,
    StoreNarrowRows<6>,
    StoreNarrowRows<7>,
    StoreNarrowRows<8>,
};

} // namespace

void FlushColumnsSlow() {
    ColumnBatch& b = g_columnBatch;
    g_columnsPending = false;
    const qint64 count = b.count;
    b.count = 0;
    if (count <= 0) return;
    uchar* const bits = b.image->bits(); // detaches the image from any copy taken meanwhile
    if (!bits) return;
    const qsizetype bytesPerLine = b.image->bytesPerLine();
    uchar* row = bits + b.top * bytesPerLine + b.left * qint64(sizeof(QRgb));
    if (count <= kNarrowBatch) {
        kNarrowStores[count](row, bytesPerLine, b.bottom - b.top, b.colors);
        return;
    }
    const std::size_t bytes = std::size_t(count) * sizeof(QRgb);
    for (qint64 y = b.top; y < b.bottom; ++y, row += bytesPerLine)
        std::memcpy(row, b.colors, bytes);
}

void BatchColumnSlow(QImage* image, qint64 x, qint64 top, qint64 bottom, QRgb color) {
    ColumnBatch& b = g_columnBatch;
    FlushColumns();
    if (b.capacity < image->width()) {
        // A batch never holds more columns than its bitmap is wide.
        const qint64 capacity = std::max<qint64>(image->width(), 256);
        std::unique_ptr<QRgb[]> colors(new QRgb[std::size_t(capacity)]);
        delete[] b.colors;
        b.colors = colors.release();
        b.capacity = capacity;
    }
    b.image = image;
    b.top = top;
    b.bottom = bottom;
    b.left = x;
    b.colors[0] = color;
    b.count = 1;
    g_columnsPending = true;
}

} // namespace gdi::detail
