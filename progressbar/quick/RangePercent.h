#pragma once

namespace xpbar {

// Where a value stands in a range, as Qt's progress bars say it. `from` may lie above `to`; a
// value outside the range counts as the nearer end. An empty range (from == to) or a range
// that is not finite has no position: 0.
double PositionInRange(double from, double to, double value);

// The percentage QProgressBar shows for a value in a range: (value - from) * 100 / (to - from),
// in double precision, truncated towards zero, always 0..100. Integer ranges up to the whole
// 64-bit span of two ints give exactly QProgressBar's number; a real value that lies within
// rounding noise below a whole percent (0.29 of 1) counts as that percent.
int PercentOfRange(double from, double to, double value);

} // namespace xpbar
