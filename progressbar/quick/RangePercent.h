#pragma once

namespace xpbar {

// Where a value stands in a range, as Qt's progress bars say it. `from` may lie above `to`; a
// value outside the range counts as the nearer end. An empty range (from == to) or a range
// that is not finite has no position: 0.
double PositionInRange(double from, double to, double value);

// The percentage QProgressBar shows for a value in a range: (value - from) * 100 / (to - from),
// truncated towards zero, always 0..100. Whole numbers (up to 2^53) are counted in 64-bit
// integers, so an int range gives exactly the widget's number; other values in double
// precision, where a value within rounding noise below a whole percent (0.29 of 1) counts as
// that percent.
int PercentOfRange(double from, double to, double value);

} // namespace xpbar
