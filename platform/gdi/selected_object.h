#pragma once

#include "platform/gdi/gdi.h"

namespace gdi {

// Selects an object into a DC for one scope and selects the object it replaced back when the
// scope ends, also when a step in between throws. An object can only be deleted once no DC has
// it selected, so the guard must end before the object is deleted:
//
//     const HPEN pen = CreatePen(PS_SOLID, 1, color);
//     {
//         const SelectedObject selected(hdc, pen);
//         LineTo(hdc, x, y);
//     }
//     DeleteObject(pen);
//
// When the selection fails (a bad DC or object) nothing is selected back.
class SelectedObject {
  public:
    // Inline like SelectObject: a gradient selects and restores a pen per pixel column.
    [[gnu::always_inline]] SelectedObject(HDC hdc, HGDIOBJ obj)
        : hdc_(hdc), previous_(SelectObject(hdc, obj)) {}
    [[gnu::always_inline]] ~SelectedObject() {
        if (previous_ != 0) SelectObject(hdc_, previous_);
    }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

    // The object the selection replaced; 0 when it failed.
    HGDIOBJ Previous() const { return previous_; }

  private:
    HDC hdc_;
    HGDIOBJ previous_;
};

} // namespace gdi
