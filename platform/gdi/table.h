#pragma once

// The handle table behind the 2-D layer: every DC, bitmap, pen, brush, font and window lives in
// one slot array. A handle is (generation << 16) | slot. Freed slots wait in a FIFO queue behind
// at least kMinFreeSlots others before they are reused, and their generation goes up each time,
// so a stale handle keeps failing long after its object is gone. Look-ups are one array index
// and one compare: the progress bar creates and deletes a pen per pixel column, so this path has
// to be cheap.

#include "platform/gdi/types.h"

#include <QFont>
#include <QImage>

#include <cstdint>
#include <functional>
#include <memory>

namespace gdi::detail {

enum class Kind : std::uint8_t { Free, DC, Bitmap, Pen, Brush, Font, Window };
enum class DcKind : std::uint8_t { Screen, Memory, Image };
enum class BrushKind : std::uint8_t { Solid, Hatch, Pattern };

struct Slot;

struct DcState {
    DcKind kind = DcKind::Screen;
    QImage* target = nullptr;      // the caller's image (image DCs only)
    HBITMAP bitmap = 0;            // memory DCs only
    QImage* bitmapImage = nullptr; // the pixels of `bitmap`, kept with it on every selection
    // The geometry of `bitmapImage`, taken when it is selected: a bitmap's size never changes,
    // and asking the QImage for it on every one-pixel line costs more than the line.
    int bitmapWidth = 0;
    int bitmapHeight = 0;
    qsizetype bitmapBytesPerLine = 0;
    Slot* penSlot = nullptr; // the slot of `pen`: selected objects cannot be deleted
    HPEN pen = 0;
    HBRUSH brush = 0;
    HFONT font = 0;
    Point position;
    int bkMode = OPAQUE;
    COLORREF bkColor = 0xFFFFFF;
    COLORREF textColor = 0x000000;
};

// One cache line per slot: a pen made, selected and deleted per pixel column touches only its
// own line, and what only bitmaps, fonts, DCs and windows need sits behind pointers.
struct alignas(64) Slot {
    HGDIOBJ handle = 0; // 0 while the slot is free
    std::uint16_t generation = 0;
    Kind kind = Kind::Free;
    bool stock = false;
    int selectCount = 0; // DCs that have this object selected

    // Pens and brushes.
    COLORREF color = 0;
    int style = 0; // pen style or hatch style
    BrushKind brushKind = BrushKind::Solid;

    std::unique_ptr<QImage> image; // bitmap pixels, or a pattern brush's tile
    std::unique_ptr<QFont> font;   // null for the stock font (the application's font)
    std::unique_ptr<DcState> dc;   // DCs
    std::unique_ptr<std::function<QSize()>> clientSize; // windows
};

class Table {
  public:
    static Table& instance() {
        if (!instance_) instance_ = new Table; // never destroyed: handles may outlive main()
        return *instance_;
    }

    // The slot of a live handle of the given kind, or null (0, freed, stale or another kind).
    Slot* find(Long handle, Kind kind) {
        Slot* slot = findAny(handle);
        return slot && slot->kind == kind ? slot : nullptr;
    }
    Slot* findAny(Long handle) {
        const auto index = static_cast<std::uint32_t>(handle) & 0xFFFFu;
        if (handle <= 0 || index >= count_) return nullptr;
        Slot& slot = chunks_[index >> kChunkBits][index & (kChunkSize - 1)];
        return slot.handle == handle ? &slot : nullptr;
    }

    // A fresh slot of the given kind, or null when the table is full.
    Slot* add(Kind kind) {
        std::size_t index;
        if (freeCount_ > kMinFreeSlots) {
            index = free_[freeHead_];
            freeHead_ = (freeHead_ + 1) % kMaxSlots;
            --freeCount_;
        } else {
            index = newIndex();
            if (index == kNoIndex) return nullptr;
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

    void remove(Slot* slot) {
        if (!slot || slot->kind == Kind::Free) return;
        const auto index = static_cast<std::uint32_t>(slot->handle) & 0xFFFFu;
        if (slot->kind != Kind::Window && !slot->stock) --live_;
        slot->handle = 0;
        if (slot->kind != Kind::Pen) releaseResources(*slot); // a pen holds nothing
        slot->kind = Kind::Free;
        slot->generation = slot->generation >= kMaxGeneration ? 1 : slot->generation + 1;
        free_[(freeHead_ + freeCount_) % kMaxSlots] = static_cast<std::uint16_t>(index);
        ++freeCount_;
    }

    int liveCount() const { return live_; }

    HPEN stockPen() const { return stockPen_; }
    HBRUSH stockBrush() const { return stockBrush_; }
    HFONT stockFont() const { return stockFont_; }
    HBITMAP stockBitmap() const { return stockBitmap_; }

  private:
    Table();

    static constexpr std::size_t kMaxSlots = 65536;
    static constexpr std::size_t kMinFreeSlots = 256;
    static constexpr std::size_t kChunkBits = 8;
    static constexpr std::size_t kChunkSize = std::size_t(1) << kChunkBits;
    static constexpr std::size_t kNoIndex = kMaxSlots;
    static constexpr std::uint16_t kMaxGeneration = 0x7FFF; // keeps every handle a positive Long

    static Long MakeHandle(std::uint16_t generation, std::size_t index) {
        return static_cast<Long>((static_cast<std::uint32_t>(generation) << 16) |
                                 static_cast<std::uint32_t>(index));
    }
    // A slot never used before, or the oldest free one once all have been used; kNoIndex when
    // every slot is in use.
    std::size_t newIndex();
    // Frees what a bitmap, brush, font, DC or window holds.
    static void releaseResources(Slot& slot);

    static Table* instance_;

    // Fixed-size chunks: slot addresses stay valid while the table grows.
    std::unique_ptr<Slot[]> chunks_[kMaxSlots / kChunkSize];
    std::size_t count_ = 0; // slots handed out so far
    // Freed slot indices in a ring, oldest first: a pen made and deleted per pixel column must
    // not cost an allocation.
    std::unique_ptr<std::uint16_t[]> free_{new std::uint16_t[kMaxSlots]};
    std::size_t freeHead_ = 0;
    std::size_t freeCount_ = 0;
    int live_ = 0; // non-stock objects and DCs (windows excluded)
    HPEN stockPen_ = 0;
    HBRUSH stockBrush_ = 0;
    HFONT stockFont_ = 0;
    HBITMAP stockBitmap_ = 0;
};

// The pixels a DC draws into, or null when it has none (the screen DC, or an unusable image).
inline QImage* PixelsOf(DcState& dc) {
    QImage* image = dc.kind == DcKind::Image ? dc.target : dc.bitmapImage;
    return image && image->depth() == 32 ? image : nullptr; // a null image has depth 0
}

// Writable 32-bit pixels of a DC, for the raster operations.
struct Pixels {
    uchar* bits = nullptr; // null when the DC has no pixels
    qsizetype bytesPerLine = 0;
    qint64 width = 0;
    qint64 height = 0;
    QRgb* row(qint64 y) const { return reinterpret_cast<QRgb*>(bits + y * bytesPerLine); }
};

// A memory DC's bitmap is the layer's own, so its geometry is known. Its pixels are asked for
// on every write all the same: QImage::bits() detaches the image from any copy someone took (a
// painter or a caller's copy of ImageOfDC), and the pixels may have moved since. A caller's
// image may change between calls and is asked every time.
inline Pixels WritablePixelsOf(DcState& dc) {
    if (dc.kind == DcKind::Memory) {
        if (!dc.bitmapImage || dc.bitmapWidth <= 0) return {};
        return {dc.bitmapImage->bits(), dc.bitmapBytesPerLine, dc.bitmapWidth, dc.bitmapHeight};
    }
    QImage* image = PixelsOf(dc);
    if (!image) return {};
    return {image->bits(), image->bytesPerLine(), image->width(), image->height()};
}

// Fault injection: true when the named entry point has been told to fail this call. The armed
// flag keeps the check to one load on the hot paths while no failure is pending.
extern bool g_failuresArmed;
bool ShouldFailSlow(const char* entry);
inline bool ShouldFail(const char* entry) {
    return g_failuresArmed && ShouldFailSlow(entry);
}

} // namespace gdi::detail
