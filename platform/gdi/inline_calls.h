#pragma once

// The calls a gradient makes for every pixel column (make a pen, select it, move, draw one
// column, select the old pen back, delete the pen), defined inline. Each handles its common
// case here, with no fault pending: a pen, a DC, and for LineTo a column on a memory DC, which
// goes into the column batch. Everything else takes the full path in objects.cpp and raster.cpp.
// They are forced inline: left to itself the compiler keeps SelectObject out of line, and the
// call then costs as much as the work.

#include "platform/gdi/column_batch.h"
#include "platform/gdi/gdi.h"
#include "platform/gdi/table.h"

#include <algorithm>

namespace gdi {

namespace detail {

HGDIOBJ SelectObjectFull(HDC hdc, HGDIOBJ obj);
bool DeleteObjectFull(HGDIOBJ obj);
bool LineToFull(HDC hdc, int x, int y);

[[gnu::always_inline]] inline DcState* FindDC(HDC hdc) {
    Slot* slot = Table::instance().find(hdc, Kind::DC);
    return slot ? slot->dc.get() : nullptr;
}

// A DC's hold on a selected object ends (stock objects are not counted).
inline void Release(Slot* slot) {
    if (slot && !slot->stock && slot->selectCount > 0) --slot->selectCount;
}

} // namespace detail

[[gnu::always_inline]] inline HPEN CreatePen(int style, int width, COLORREF color) {
    if (detail::ShouldFail("CreatePen")) return 0;
    // Only what the layer can draw faithfully: solid or null pens one pixel wide (width 0
    // means one pixel in GDI). Anything else fails rather than drawing something else.
    if ((style != PS_SOLID && style != PS_NULL) || width < 0 || width > 1) return 0;
    detail::Slot* slot = detail::Table::instance().add(detail::Kind::Pen);
    if (!slot) return 0;
    slot->style = style;
    slot->color = color;
    return slot->handle;
}

[[gnu::always_inline]] inline HGDIOBJ SelectObject(HDC hdc, HGDIOBJ obj) {
    using namespace detail;
    if (!g_failuresArmed) {
        Table& table = Table::instance();
        Slot* dcSlot = table.find(hdc, Kind::DC);
        Slot* slot = table.findAny(obj);
        if (dcSlot && slot && slot->kind == Kind::Pen) {
            DcState& dc = *dcSlot->dc;
            const HPEN previous = dc.pen;
            if (previous == obj) return previous;
            Release(dc.penSlot);
            dc.penSlot = slot;
            if (!slot->stock) ++slot->selectCount;
            dc.pen = obj;
            return previous;
        }
    }
    return SelectObjectFull(hdc, obj);
}

[[gnu::always_inline]] inline bool DeleteObject(HGDIOBJ obj) {
    using namespace detail;
    if (!g_failuresArmed) {
        Table& table = Table::instance();
        Slot* slot = table.findAny(obj);
        if (slot && slot->kind == Kind::Pen) {
            if (slot->stock || slot->selectCount > 0) return false;
            table.remove(slot);
            return true;
        }
    }
    return DeleteObjectFull(obj);
}

[[gnu::always_inline]] inline bool MoveToEx(HDC hdc, int x, int y, Point* previous) {
    if (detail::ShouldFail("MoveToEx")) return false;
    detail::DcState* dc = detail::FindDC(hdc);
    if (!dc) return false;
    if (previous) *previous = dc->position;
    dc->position = Point{x, y};
    return true;
}

[[gnu::always_inline]] inline bool LineTo(HDC hdc, int x, int y) {
    using namespace detail;
    if (!g_failuresArmed) {
        DcState* dc = FindDC(hdc);
        // A solid pen drawing a column inside a memory DC's bitmap.
        if (dc && dc->kind == DcKind::Memory && dc->position.x == x && x >= 0 &&
            x < dc->bitmapWidth && dc->penSlot && dc->penSlot->style == PS_SOLID &&
            dc->bitmapImage) {
            const Long fromY = dc->position.y;
            dc->position.y = y;
            // The end pixel is excluded whichever way the column runs.
            const qint64 top = std::max<qint64>(fromY < y ? fromY : qint64(y) + 1, 0);
            const qint64 bottom =
                std::min<qint64>(fromY < y ? y : qint64(fromY) + 1, dc->bitmapHeight);
            if (top < bottom) {
                BatchColumn(dc->bitmapImage, x, top, bottom, BgrColor(dc->penSlot->color).ToQRgb());
            }
            return true;
        }
    }
    return LineToFull(hdc, x, y);
}

} // namespace gdi
