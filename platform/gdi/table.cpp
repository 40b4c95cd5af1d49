#include "platform/gdi/table.h"

#include <map>
#include <string>

namespace gdi::detail {

namespace {

constexpr std::uint16_t kMaxGeneration = 0x7FFF; // keeps every handle a positive Long

Long MakeHandle(std::uint16_t generation, std::size_t index) {
    return static_cast<Long>((static_cast<std::uint32_t>(generation) << 16) |
                             static_cast<std::uint32_t>(index));
}

} // namespace

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

Slot* Table::add(Kind kind) {
    std::size_t index;
    if (freeCount_ > kMinFreeSlots || (count_ == kMaxSlots && freeCount_ > 0)) {
        index = free_[freeHead_];
        freeHead_ = (freeHead_ + 1) % kMaxSlots;
        --freeCount_;
    } else if (count_ < kMaxSlots) {
        index = count_++;
        auto& chunk = chunks_[index >> kChunkBits];
        if (!chunk) chunk = std::make_unique<Slot[]>(kChunkSize);
        chunk[index & (kChunkSize - 1)].generation = 1;
    } else {
        return nullptr; // every slot is in use: the process has exhausted its handles
    }
    Slot& slot = chunks_[index >> kChunkBits][index & (kChunkSize - 1)];
    slot.handle = MakeHandle(slot.generation, index);
    slot.kind = kind;
    slot.stock = false;
    slot.selectCount = 0;
    slot.color = 0;
    slot.style = 0;
    slot.brushKind = BrushKind::Solid;
    if (kind != Kind::Window) ++live_;
    return &slot;
}

void Table::remove(Slot* slot) {
    if (!slot || slot->kind == Kind::Free) return;
    const auto index = static_cast<std::uint32_t>(slot->handle) & 0xFFFFu;
    if (slot->kind != Kind::Window && !slot->stock) --live_;
    slot->handle = 0;
    switch (slot->kind) { // only what the kind can hold: a pen's slot is one cache line
    case Kind::Bitmap:
    case Kind::Brush:
        slot->image.reset();
        break;
    case Kind::Font:
        slot->font.reset();
        break;
    case Kind::DC:
        slot->dc.reset();
        break;
    case Kind::Window:
        slot->clientSize.reset();
        break;
    default:
        break;
    }
    slot->kind = Kind::Free;
    slot->generation = slot->generation >= kMaxGeneration ? 1 : slot->generation + 1;
    free_[(freeHead_ + freeCount_) % kMaxSlots] = static_cast<std::uint16_t>(index);
    ++freeCount_;
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
