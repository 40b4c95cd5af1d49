#include "platform/gdi/table.h"

#include <map>
#include <string>

namespace gdi::detail {

Table* Table::instance_ = nullptr;

Table::Table() {
    Slot* pen = add(Kind::Pen);
    pen->color = RGB(0, 0, 0);
    pen->style = PS_SOLID;
    Slot* brush = add(Kind::Brush);
    brush->color = RGB(255, 255, 255);
    brush->brushKind = BrushKind::Solid;
    Slot* font = add(Kind::Font); // no QFont: the application's font at the time of use
    Slot* bitmap = add(Kind::Bitmap);
    bitmap->image = std::make_unique<QImage>(1, 1, QImage::Format_RGB32);
    bitmap->image->fill(0xFF000000u);

    for (Slot* s : {pen, brush, font, bitmap}) {
        s->stock = true;
        --live_;
    }
    stockPen_ = pen->handle;
    stockBrush_ = brush->handle;
    stockFont_ = font->handle;
    stockBitmap_ = bitmap->handle;
}

std::size_t Table::newIndex() {
    if (count_ < kMaxSlots) {
        const std::size_t index = count_++;
        auto& chunk = chunks_[index >> kChunkBits];
        if (!chunk) chunk = std::make_unique<Slot[]>(kChunkSize);
        chunk[index & (kChunkSize - 1)].generation = 1;
        return index;
    }
    if (freeCount_ == 0) return kNoIndex; // every slot is in use: the handles are exhausted
    const std::size_t index = free_[freeHead_];
    freeHead_ = (freeHead_ + 1) % kMaxSlots;
    --freeCount_;
    return index;
}

void Table::releaseResources(Slot& slot) {
    switch (slot.kind) {
    case Kind::Bitmap:
    case Kind::Brush:
        slot.image.reset();
        break;
    case Kind::Font:
        slot.font.reset();
        break;
    case Kind::DC:
        slot.dc.reset();
        break;
    case Kind::Window:
        slot.clientSize.reset();
        break;
    default:
        break;
    }
}

// --- Fault injection ------------------------------------------------------------------------

bool g_failuresArmed = false;

namespace {
std::map<std::string, int>& PendingFailures() {
    static std::map<std::string, int> pending;
    return pending;
}
} // namespace

bool ShouldFailSlow(const char* entry) {
    auto& pending = PendingFailures();
    auto it = pending.find(entry);
    if (it == pending.end()) return false;
    if (--it->second <= 0) pending.erase(it);
    g_failuresArmed = !pending.empty();
    return true;
}

} // namespace gdi::detail

namespace gdi {

void FailNextCalls(const char* entry, int times) {
    if (!entry || times <= 0) return;
    detail::PendingFailures()[entry] += times;
    detail::g_failuresArmed = true;
}

void ClearFailures() {
    detail::PendingFailures().clear();
    detail::g_failuresArmed = false;
}

} // namespace gdi
