#pragma once

#include "platform/runtime/errors.h"
#include "platform/runtime/types.h"

#include <cmath>
#include <limits>

namespace vex {

// Overflow-checked integer arithmetic and half-to-even rounding. Coordinates and colours are
// computed with these, so an out-of-range result is an error instead of a silent wrap-around.

// Rounds to the nearest integer, an exact half going to the even neighbour (2.5 -> 2, 3.5 -> 4).
inline double RoundHalfEven(double v) {
    return std::nearbyint(v); // the default rounding mode, FE_TONEAREST
}

// Converts a double to Long the way an assignment to a Long does: rounded half to even,
// OverflowError outside the 32-bit range (NaN included).
inline Long CLng(double v) {
    const double r = RoundHalfEven(v);
    if (!(r >= -2147483648.0 && r <= 2147483647.0)) throw OverflowError();
    return static_cast<Long>(r);
}

// The same into a signed 16-bit Integer.
inline Integer CInt(double v) {
    const double r = RoundHalfEven(v);
    if (!(r >= -32768.0 && r <= 32767.0)) throw OverflowError();
    return static_cast<Integer>(r);
}

inline Long Add(Long a, Long b) {
    Long r;
    if (__builtin_add_overflow(a, b, &r)) throw OverflowError();
    return r;
}

inline Long Sub(Long a, Long b) {
    Long r;
    if (__builtin_sub_overflow(a, b, &r)) throw OverflowError();
    return r;
}

inline Long Mul(Long a, Long b) {
    Long r;
    if (__builtin_mul_overflow(a, b, &r)) throw OverflowError();
    return r;
}

// Integer division truncated towards zero. A zero divisor is DivisionByZeroError, and the one
// quotient that does not fit (the minimum divided by -1) is OverflowError.
inline Long IntDiv(Long a, Long b) {
    if (b == 0) throw DivisionByZeroError();
    if (b == -1) return Mul(a, -1);
    return a / b;
}

// Remainder of the division truncated towards zero, with the sign of the dividend. A zero
// divisor is DivisionByZeroError. Any dividend modulo -1 is 0, the minimum included: its
// quotient would overflow but the remainder does not (and `%` would be undefined there).
inline Long Mod(Long a, Long b) {
    if (b == 0) throw DivisionByZeroError();
    if (b == -1) return 0;
    return a % b;
}

// Floating-point division that faults like the runtime's: x / 0 is DivisionByZeroError,
// 0 / 0 as well; an infinite or NaN quotient is OverflowError.
inline double Divide(double a, double b) {
    if (b == 0.0) throw DivisionByZeroError();
    const double q = a / b;
    if (!std::isfinite(q)) throw OverflowError();
    return q;
}

} // namespace vex
