#include "platform/gdi/drawn_text.h"

#include <array>
#include <cstring>
#include <vector>

namespace gdi::detail {

namespace {

// Two draws per paint for the two-colour styles, a few bars in a window.
constexpr int kEntries = 8;
// Larger areas are drawn every time: the copies would cost more than they save.
constexpr qint64 kMaxArea = 16384;

struct Entry {
    DrawnTextKey key;
    QRect area;
    std::vector<quint32> before;
    std::vector<quint32> after;
    bool complete = false; // false while the draw is under way, or when it never finished
};

struct Memo {
    std::array<Entry, kEntries> entries;
    int next = 0;          // the entry replaced next
    Entry* open = nullptr; // the entry waiting for its after pixels
};

Memo& TheMemo() {
    static auto* memo = new Memo; // never destroyed, like the handle table
    return *memo;
}

bool Fits(const QImage& image, const QRect& area) {
    return image.depth() == 32 && !area.isEmpty() && image.rect().contains(area) &&
           qint64(area.width()) * area.height() <= kMaxArea;
}

// The rows of `area` in `image`, one pointer step per row.
struct Rows {
    const uchar* first;
    qsizetype stride;
    size_t bytes; // of one row of the area
    Rows(const QImage& image, const QRect& area)
        : first(image.constBits() + area.top() * image.bytesPerLine() +
                area.left() * qsizetype(sizeof(quint32))),
          stride(image.bytesPerLine()), bytes(size_t(area.width()) * sizeof(quint32)) {}
};

void Copy(const QImage& image, const QRect& area, std::vector<quint32>& out) {
    out.resize(size_t(area.width()) * size_t(area.height()));
    const Rows rows(image, area);
    auto* to = reinterpret_cast<uchar*>(out.data());
    for (int y = 0; y < area.height(); ++y, to += rows.bytes)
        std::memcpy(to, rows.first + y * rows.stride, rows.bytes);
}

bool Holds(const QImage& image, const QRect& area, const std::vector<quint32>& pixels) {
    const Rows rows(image, area);
    const auto* from = reinterpret_cast<const uchar*>(pixels.data());
    for (int y = 0; y < area.height(); ++y, from += rows.bytes) {
        if (std::memcmp(from, rows.first + y * rows.stride, rows.bytes) != 0) return false;
    }
    return true;
}

} // namespace

bool ReplayDrawnText(QImage& image, const DrawnTextKey& key, const QRect& area) {
    Memo& memo = TheMemo();
    memo.open = nullptr;
    if (!Fits(image, area)) return false;
    for (Entry& entry : memo.entries) {
        if (!entry.complete || entry.area != area || !(entry.key == key)) continue;
        if (!Holds(image, area, entry.before)) return false;
        // bits() parts the image from any copy that shares its pixels, as a painter would.
        uchar* bits = image.bits();
        const Rows rows(image, area);
        uchar* first = bits + (rows.first - image.constBits());
        const auto* from = reinterpret_cast<const uchar*>(entry.after.data());
        for (int y = 0; y < area.height(); ++y, from += rows.bytes)
            std::memcpy(first + y * rows.stride, from, rows.bytes);
        return true;
    }
    return false;
}

void KeepPixelsBefore(const QImage& image, const DrawnTextKey& key, const QRect& area) {
    Memo& memo = TheMemo();
    memo.open = nullptr;
    if (!Fits(image, area)) return;
    // An entry for the same key and area is replaced: its picture under the text has changed.
    Entry* entry = nullptr;
    for (Entry& e : memo.entries) {
        if (e.key == key && e.area == area) entry = &e;
    }
    if (!entry) {
        entry = &memo.entries[size_t(memo.next)];
        memo.next = (memo.next + 1) % kEntries;
    }
    entry->key = key;
    entry->area = area;
    entry->complete = false;
    Copy(image, area, entry->before);
    memo.open = entry;
}

void KeepPixelsAfter(const QImage& image) {
    Memo& memo = TheMemo();
    Entry* entry = memo.open;
    memo.open = nullptr;
    if (!entry || !image.rect().contains(entry->area) || image.depth() != 32) return;
    Copy(image, entry->area, entry->after);
    entry->complete = true;
}

} // namespace gdi::detail
