#pragma once

#include "platform/runtime/arith.h"
#include "platform/runtime/types.h"

namespace vex {

// Where the fill of a bar ends: the percentage is divided by the style's divisor first, then
// multiplied by the span and moved by the start, all in double precision, and rounded once
// (half to even). A result outside the 32-bit range is an OverflowError.
inline Long FillEdge(Long percent, double divisor, Long span, Long start) {
    return CLng(Divide(percent, divisor) * span + start);
}

// Styles other than the XP family take a negative percentage as 0, so that a percentage below
// the range paints an empty bar instead of reversed rectangles and lines.
inline Long NonNegativePercent(Long percent) {
    return percent < 0 ? 0 : percent;
}

} // namespace vex
