#pragma once

#include <cstdint>

namespace vex {

// The value types the program's logic is written in: 32-bit Long, 16-bit Integer, and a
// 16-bit Boolean whose True is all bits set (-1). Any non-zero Boolean counts as true.
using Long = std::int32_t;
using Integer = std::int16_t;
using Boolean = std::int16_t;

inline constexpr Boolean kTrue = -1;
inline constexpr Boolean kFalse = 0;

inline constexpr Boolean ToBoolean(bool b) {
    return b ? kTrue : kFalse;
}
inline constexpr bool IsTrue(Boolean b) {
    return b != 0;
}

} // namespace vex
