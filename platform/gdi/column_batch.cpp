#include "platform/gdi/column_batch.h"

#include <cstring>
#include <vector>

namespace gdi::detail {

bool g_columnsPending = false;

namespace {

struct ColumnBatch {
    uchar* bits = nullptr;
    qsizetype bytesPerLine = 0;
    qint64 top = 0;
    qint64 bottom = 0;
    qint64 left = 0;
    std::vector<QRgb> colors; // one per column, from `left` on
};

ColumnBatch& Batch() {
    static ColumnBatch* batch = new ColumnBatch; // never destroyed, like the handle table
    return *batch;
}

} // namespace

void FlushColumnsSlow() {
    ColumnBatch& b = Batch();
    g_columnsPending = false;
    const std::size_t bytes = b.colors.size() * sizeof(QRgb);
    for (qint64 y = b.top; y < b.bottom; ++y) {
        std::memcpy(b.bits + y * b.bytesPerLine + b.left * qint64(sizeof(QRgb)), b.colors.data(),
                    bytes);
    }
    b.colors.clear();
}

void BatchColumn(const Pixels& px, qint64 x, qint64 top, qint64 bottom, QRgb color) {
    ColumnBatch& b = Batch();
    if (g_columnsPending && (b.bits != px.bits || b.top != top || b.bottom != bottom ||
                             x != b.left + qint64(b.colors.size()))) {
        FlushColumnsSlow();
    }
    if (!g_columnsPending) {
        b.bits = px.bits;
        b.bytesPerLine = px.bytesPerLine;
        b.top = top;
        b.bottom = bottom;
        b.left = x;
        g_columnsPending = true;
    }
    b.colors.push_back(color);
}

} // namespace gdi::detail
