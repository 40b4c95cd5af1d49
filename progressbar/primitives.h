#pragma once

#include "platform/gdi/gdi.h"
#include "platform/runtime/types.h"

namespace vex {

// Colour helpers and the solid fill and frame the painters share. None keeps state; each makes
// and deletes its own brush and leaves the DC with the objects it had.

// A system-colour code (bit 31 set) becomes the RGB that colour has now; any other value
// comes back unchanged. Inline: every gradient line resolves its colour.
Long ResolveSystemColor(Long color);
inline Long ResolveColor(Long color) {
    return color < 0 ? ResolveSystemColor(color) : color; // bit 31 is the sign bit
}
// Moves every channel towards 255 by `amount` (0 = unchanged, 255 = white).
Long LightenColor(Long color, Long amount);
// Weighted mix: `weightA` 255 gives a, 0 gives b.
Long BlendColors(Long a, Long b, Long weightA);

void FillSolid(const gdi::Rect& rc, Long color, gdi::HDC hdc);
// The colour is used as passed, not resolved.
void DrawFrameRect(const gdi::Rect& rc, Long color, gdi::HDC hdc);

} // namespace vex
