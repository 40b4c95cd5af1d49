#include "progressbar/quick/RangePercent.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace xpbar {

namespace {

// Far below the smallest step of an int range (1 / 2^32 of a percent) and far above the
// rounding error of one multiplication and one division near 100.
constexpr double kPercentNoise = 1e-12;

// Whole numbers up to this size are counted in 64-bit integers, as the widget counts its int
// range: the span times 100 stays far inside int64, and no rounding can reach a whole percent.
constexpr double kLargestExactWhole = 9007199254740992.0; // 2^53

double Clamped(double from, double to, double value) {
    return std::clamp(value, std::min(from, to), std::max(from, to));
}

bool IsExactWhole(double x) {
    return std::abs(x) <= kLargestExactWhole && std::trunc(x) == x;
}

} // namespace

double PositionInRange(double from, double to, double value) {
    const double span = to - from;
    if (span == 0 || !std::isfinite(span) || std::isnan(value)) return 0.0;
    return (Clamped(from, to, value) - from) / span;
}

int PercentOfRange(double from, double to, double value) {
    const double span = to - from;
    if (span == 0 || !std::isfinite(span) || std::isnan(value)) return 0;
    const double clamped = Clamped(from, to, value);
    if (IsExactWhole(from) && IsExactWhole(to) && IsExactWhole(clamped)) {
        const auto steps = static_cast<std::int64_t>(to) - static_cast<std::int64_t>(from);
        const auto done = static_cast<std::int64_t>(clamped) - static_cast<std::int64_t>(from);
        return static_cast<int>(done * 100 / steps);
    }
    const double percent = (clamped - from) * 100.0 / span;
    const double whole = std::ceil(percent);
    const double snapped = whole - percent < kPercentNoise ? whole : std::trunc(percent);
    return static_cast<int>(std::clamp(snapped, 0.0, 100.0));
}

} // namespace xpbar
