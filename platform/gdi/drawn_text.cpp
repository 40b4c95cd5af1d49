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

void Copy(const QImage& image, const QRect& area, std::vector<quint32>& out) {
    out.resize(size_t(area.width()) * size_t(area.height()));
    quint32* to = out.data();
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const auto* row = reinterpret_cast<const quint32*>(image.constScanLine(y)) + area.left();
        std::memcpy(to, row, size_t(area.width()) * sizeof(quint32));
        to += area.width();
    }
}

bool Holds(const QImage& image, const QRect& area, const std::vector<quint32>& pixels) {
    const quint32* from = pixels.data();
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const auto* row = reinterpret_cast<const quint32*>(image.constScanLine(y)) + area.left();
        if (std::memcmp(from, row, size_t(area.width()) * sizeof(quint32)) != 0) return false;
        from += area.width();
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
        const quint32* from = entry.after.data();
        for (int y = area.top(); y <= area.bottom(); ++y) {
            auto* row = reinterpret_cast<quint32*>(image.scanLine(y)) + area.left();
            std::memcpy(row, from, size_t(area.width()) * sizeof(quint32));
            from += area.width();
        }
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
