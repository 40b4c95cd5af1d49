#pragma once

#include "platform/runtime/types.h"

namespace gdi {

using vex::Long;

// A rectangle in pixels with half-open edges: left and top are inside, right and bottom are
// the first column and row outside. A rectangle with right <= left or bottom <= top is empty.
struct Rect {
    Long left = 0;
    Long top = 0;
    Long right = 0;
    Long bottom = 0;

    constexpr Long width() const { return right - left; }
    constexpr Long height() const { return bottom - top; }
    constexpr bool is_empty() const { return right <= left || bottom <= top; }
    constexpr bool contains(Long x, Long y) const {
        return x >= left && x < right && y >= top && y < bottom;
    }
    friend constexpr bool operator==(const Rect&, const Rect&) = default;
};

struct Point {
    Long x = 0;
    Long y = 0;
    friend constexpr bool operator==(const Point&, const Point&) = default;
};

} // namespace gdi
