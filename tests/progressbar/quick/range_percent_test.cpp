// The percentage a range shows: QProgressBar's for every pair of ints, never refused, and a
// real value on a whole percent shows that percent.
#include "progressbar/quick/RangePercent.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>

namespace xpbar {
namespace {

struct PercentCase {
    const char* name; // the fault the row catches
    double from, to, value;
    int percent;
    double position;
};

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

const PercentCase kPercentCases[] = {
    {"byte count refused past 21 million", 0, 30000000, 22000000, 73, 22.0 / 30},
    {"minimum added instead of subtracted", 50, 150, 100, 50, 0.5},
    {"negative minimum gives a negative percent", -100, 100, 0, 50, 0.5},
    {"range ending at 0 divides by zero", -100, 0, -50, 50, 0.5},
    {"whole int range overflows", INT_MIN, INT_MAX, 0, 50, 2147483648.0 / 4294967295.0},
    {"whole int range full", INT_MIN, INT_MAX, INT_MAX, 100, 1},
    {"one step short of full rounds up", INT_MIN, INT_MAX, INT_MAX - 1.0, 99,
     4294967294.0 / 4294967295.0},
    {"a third rounds instead of truncating", 0, 3, 2, 66, 2.0 / 3},
    {"whole numbers past int snapped up to full", 0, 2251799813685249.0, 2251799813685248.0, 99,
     2251799813685248.0 / 2251799813685249.0},
    {"real value just under a percent by rounding", 0, 1, 0.29, 29, 0.29},
    {"real value under full shows full", 0, 1, 0.999, 99, 0.999},
    {"reversed range counts from its from end", 100, 0, 25, 75, 0.75},
    {"value below the range goes negative", 10, 20, 5, 0, 0},
    {"value above the range passes 100", 10, 20, 25, 100, 1},
    {"empty range divides by zero", 7, 7, 7, 0, 0},
    {"NaN value paints garbage", 0, 100, kNaN, 0, 0},
    {"infinite range paints garbage", 0, kInf, 5, 0, 0},
};

class RangePercent : public ::testing::TestWithParam<PercentCase> {};

TEST_P(RangePercent, AsQProgressBarShowsIt) {
    const PercentCase& c = GetParam();
    EXPECT_EQ(PercentOfRange(c.from, c.to, c.value), c.percent) << c.name;
    EXPECT_DOUBLE_EQ(PositionInRange(c.from, c.to, c.value), c.position) << c.name;
}

INSTANTIATE_TEST_SUITE_P(Ranges, RangePercent, ::testing::ValuesIn(kPercentCases),
                         [](const auto& info) { return std::to_string(info.index); });

} // namespace
} // namespace xpbar
