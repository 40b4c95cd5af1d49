#include "progressbar/quick/RangePercent.h"

#include <algorithm>
#include <cmath>

namespace xpbar {

namespace {

// Far below the smallest step of an int range (1 / 2^32 of a percent) and far above the
// rounding error of one multiplication and one division near 100.
constexpr double kPercentNoise = 1e-12;

double Clamped(double from, double to, double value) {
    return std::clamp(value, std::min(from, to), std::max(from, to));
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
    const double percent = (Clamped(from, to, value) - from) * 100.0 / span;
    const double whole = std::ceil(percent);
    const double snapped = whole - percent < kPercentNoise ? whole : std::trunc(percent);
    return static_cast<int>(std::clamp(snapped, 0.0, 100.0));
}

} // namespace xpbar
