// Creation, selection and deletion of DCs and GDI objects, the DC's attributes, and windows.

#include "platform/gdi/column_batch.h"
#include "platform/gdi/gdi.h"
#include "platform/gdi/table.h"

#include <QString>

#include <algorithm>
#include <utility>

namespace gdi {

using namespace detail;

namespace {

constexpr int kMaxBitmapSide = 32767;
constexpr qint64 kMaxBitmapBytes = qint64(256) * 1024 * 1024;

bool SizeIsSane(qint64 width, qint64 height) {
    return width > 0 && height > 0 && width <= kMaxBitmapSide && height <= kMaxBitmapSide &&
           width * height * 4 <= kMaxBitmapBytes;
}

void SetBitmapImage(DcState& dc, QImage* image) {
    dc.bitmapImage = image;
    const bool usable = image && image->depth() == 32;
    dc.bitmapWidth = usable ? image->width() : 0;
    dc.bitmapHeight = usable ? image->height() : 0;
    dc.bitmapBytesPerLine = usable ? image->bytesPerLine() : 0;
}

HDC AddDC(DcKind kind, QImage* target) {
    Table& table = Table::instance();
    Slot* slot = table.add(Kind::DC);
    if (!slot) return 0;
    slot->dc = std::make_unique<DcState>();
    DcState& dc = *slot->dc;
    dc.kind = kind;
    dc.target = target;
    dc.pen = table.stockPen();
    dc.penSlot = table.find(dc.pen, Kind::Pen);
    dc.brush = table.stockBrush();
    dc.font = table.stockFont();
    if (kind == DcKind::Memory) {
        dc.bitmap = table.stockBitmap();
        SetBitmapImage(dc, table.find(dc.bitmap, Kind::Bitmap)->image.get());
    }
    return slot->handle;
}

HBITMAP AddBitmap(QImage image) {
    if (image.isNull()) return 0; // the allocation failed
    Slot* slot = Table::instance().add(Kind::Bitmap);
    if (!slot) return 0;
    slot->image = std::make_unique<QImage>(std::move(image));
    return slot->handle;
}

// Sets one of a DC's drawing attributes and returns the value it had, or `failure` for a bad DC.
template <typename T>
T ExchangeAttribute(const char* entry, HDC hdc, T DcState::*attribute, T value, T failure) {
    if (ShouldFail(entry)) return failure;
    DcState* dc = FindDC(hdc);
    if (!dc) return failure;
    return std::exchange(dc->*attribute, value);
}

void ReleaseHandle(HGDIOBJ obj) {
    Release(Table::instance().findAny(obj));
}

} // namespace

HDC CreateDCA(const char* driver, const char*, const char*, const void*) {
    if (ShouldFail("CreateDCA")) return 0;
    if (!driver || QString::fromLatin1(driver).compare("DISPLAY", Qt::CaseInsensitive) != 0) {
        return 0;
    }
    return AddDC(DcKind::Screen, nullptr);
}

HDC CreateCompatibleDC(HDC hdc) {
    if (ShouldFail("CreateCompatibleDC")) return 0;
    // As in GDI, 0 asks for a DC compatible with the screen.
    if (hdc != 0 && !FindDC(hdc)) return 0;
    return AddDC(DcKind::Memory, nullptr);
}

HDC CreateDCForImage(QImage* target) {
    if (ShouldFail("CreateDCForImage")) return 0;
    if (!target) return 0;
    return AddDC(DcKind::Image, target);
}

HBITMAP CreateCompatibleBitmap(HDC hdc, int width, int height) {
    if (ShouldFail("CreateCompatibleBitmap")) return 0;
    if (!FindDC(hdc) || !SizeIsSane(width, height)) return 0;
    QImage image(width, height, QImage::Format_RGB32);
    if (image.isNull()) return 0;
    image.fill(0xFF000000u); // compatible bitmaps start black
    return AddBitmap(std::move(image));
}

HBITMAP CreateBitmapFromImage(const QImage& image) {
    if (ShouldFail("CreateBitmapFromImage")) return 0;
    if (image.isNull() || !SizeIsSane(image.width(), image.height())) return 0;
    return AddBitmap(image.convertToFormat(QImage::Format_RGB32));
}

const QImage* ImageOfDC(HDC hdc) {
    FlushColumns();
    DcState* dc = FindDC(hdc);
    return dc ? PixelsOf(*dc) : nullptr;
}

const QImage* ImageOfBitmap(HBITMAP bitmap) {
    FlushColumns();
    Slot* slot = Table::instance().find(bitmap, Kind::Bitmap);
    return slot ? slot->image.get() : nullptr;
}

HFONT CreateFontFromQFont(const QFont& font) {
    if (ShouldFail("CreateFontFromQFont")) return 0;
    Slot* slot = Table::instance().add(Kind::Font);
    if (!slot) return 0;
    slot->font = std::make_unique<QFont>(font);
    return slot->handle;
}

HBRUSH CreateSolidBrush(COLORREF color) {
    if (ShouldFail("CreateSolidBrush")) return 0;
    Slot* slot = Table::instance().add(Kind::Brush);
    if (!slot) return 0;
    slot->brushKind = BrushKind::Solid;
    slot->color = color;
    return slot->handle;
}

HBRUSH CreateHatchBrush(int style, COLORREF color) {
    if (ShouldFail("CreateHatchBrush")) return 0;
    if (style < HS_HORIZONTAL || style > HS_DIAGCROSS) return 0;
    Slot* slot = Table::instance().add(Kind::Brush);
    if (!slot) return 0;
    slot->brushKind = BrushKind::Hatch;
    slot->style = style;
    slot->color = color;
    return slot->handle;
}

HBRUSH CreatePatternBrush(HBITMAP bitmap) {
    if (ShouldFail("CreatePatternBrush")) return 0;
    FlushColumns();
    Table& table = Table::instance();
    Slot* source = table.find(bitmap, Kind::Bitmap);
    if (!source || !source->image || source->image->isNull()) return 0;
    QImage tile = source->image->convertToFormat(QImage::Format_RGB32);
    Slot* slot = table.add(Kind::Brush);
    if (!slot) return 0;
    slot->brushKind = BrushKind::Pattern;
    slot->image = std::make_unique<QImage>(std::move(tile));
    return slot->handle;
}

// The common case (a pen) is inline in inline_calls.h.
HGDIOBJ detail::SelectObjectFull(HDC hdc, HGDIOBJ obj) {
    if (ShouldFail("SelectObject")) return 0;
    DcState* dc = FindDC(hdc);
    Slot* slot = Table::instance().findAny(obj);
    if (!dc || !slot) return 0;

    HGDIOBJ* current = nullptr;
    switch (slot->kind) {
    case Kind::Pen:
        current = &dc->pen;
        break;
    case Kind::Brush:
        current = &dc->brush;
        break;
    case Kind::Font:
        current = &dc->font;
        break;
    case Kind::Bitmap:
        // Only memory DCs hold bitmaps, and a bitmap can be in one DC at a time.
        if (dc->kind != DcKind::Memory) return 0;
        if (dc->bitmap == obj) return obj;
        if (!slot->stock && slot->selectCount > 0) return 0;
        FlushColumns(); // batched columns belong to the bitmap going out
        current = &dc->bitmap;
        break;
    default:
        return 0;
    }
    const HGDIOBJ previous = *current;
    if (previous == obj) return previous;
    if (slot->kind == Kind::Pen) {
        Release(dc->penSlot);
        dc->penSlot = slot;
    } else {
        ReleaseHandle(previous);
    }
    if (!slot->stock) ++slot->selectCount;
    *current = obj;
    if (slot->kind == Kind::Bitmap) SetBitmapImage(*dc, slot->image.get());
    return previous;
}

bool detail::DeleteObjectFull(HGDIOBJ obj) {
    if (ShouldFail("DeleteObject")) return false;
    Slot* slot = Table::instance().findAny(obj);
    if (!slot || slot->stock || slot->selectCount > 0) return false;
    if (slot->kind == Kind::Bitmap) FlushColumns();
    if (slot->kind != Kind::Pen && slot->kind != Kind::Brush && slot->kind != Kind::Font &&
        slot->kind != Kind::Bitmap) {
        return false;
    }
    Table::instance().remove(slot);
    return true;
}

bool DeleteDC(HDC hdc) {
    if (ShouldFail("DeleteDC")) return false;
    Slot* slot = Table::instance().find(hdc, Kind::DC);
    if (!slot) return false;
    FlushColumns();
    const DcState& dc = *slot->dc;
    for (HGDIOBJ obj : {dc.pen, dc.brush, dc.font, dc.bitmap})
        ReleaseHandle(obj);
    Table::instance().remove(slot);
    return true;
}

int SetBkMode(HDC hdc, int mode) {
    if (mode != TRANSPARENT && mode != OPAQUE) return 0;
    return ExchangeAttribute("SetBkMode", hdc, &DcState::bkMode, mode, 0);
}

COLORREF SetBkColor(HDC hdc, COLORREF color) {
    return ExchangeAttribute("SetBkColor", hdc, &DcState::bkColor, color, CLR_INVALID);
}

COLORREF SetTextColor(HDC hdc, COLORREF color) {
    return ExchangeAttribute("SetTextColor", hdc, &DcState::textColor, color, CLR_INVALID);
}

HWND RegisterWindow(std::function<QSize()> clientSize) {
    if (!clientSize) return 0;
    Slot* slot = Table::instance().add(Kind::Window);
    if (!slot) return 0;
    slot->clientSize = std::make_unique<std::function<QSize()>>(std::move(clientSize));
    return slot->handle;
}

void UnregisterWindow(HWND hwnd) {
    Table::instance().remove(Table::instance().find(hwnd, Kind::Window));
}

bool GetClientRect(HWND hwnd, Rect* rc) {
    if (ShouldFail("GetClientRect")) return false;
    Slot* slot = Table::instance().find(hwnd, Kind::Window);
    if (!slot || !rc) return false;
    const QSize size = (*slot->clientSize)();
    // A client area is never negative, whatever the host reports.
    *rc = Rect{0, 0, std::max(0, size.width()), std::max(0, size.height())};
    return true;
}

int LiveObjectCount() {
    return Table::instance().liveCount();
}

} // namespace gdi
