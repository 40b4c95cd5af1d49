#pragma once

#include <array>
#include <cstdint>

namespace gdi::detail {

// A hatch repeats every eight pixels, across and down.
inline constexpr int kHatchSize = 8;

// One 8 x 8 hatch cell: byte y holds row y, bit x set where the hatch line passes.
using HatchMask = std::array<std::uint8_t, 8>;

// The cell of a hatch style 0..5 (HS_HORIZONTAL .. HS_DIAGCROSS).
const HatchMask& HatchMaskFor(int style);

} // namespace gdi::detail
