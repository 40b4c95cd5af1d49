// The Value property: position to stored percentage and back, with half-to-even rounding and
// the overflow and division errors.
#include "platform/runtime/errors.h"
#include "progressbar/headless/HeadlessHost.h"
#include "tests/progressbar/test_access.h"

#include <gtest/gtest.h>

#include <cctype>
#include <climits>

namespace vex {
namespace {

struct ValueCase {
    const char* name;
    Long max;
    Long min;
    Long value;
    Long storedPercent; // after the setter's own repaint
    Long valueGet;
};

const ValueCase kValueCases[] = {
    {"default range stores the value itself", 100, 0, 37, 37, 37},
    {"half of a percent rounds to even, down", 1000, 0, 5, 0, 0},
    {"one and a half percent rounds to even, up", 1000, 0, 15, 2, 20},
    {"2.5 rounds to 2, not away from zero", 1000, 0, 25, 2, 20},
    {"3.5 rounds to 4", 1000, 0, 35, 4, 40},
    {"84.5 rounds to 84", 200, 0, 169, 84, 168},
    {"85.5 rounds to 86", 200, 0, 171, 86, 172},
    {"a wider range scales down", 200, 0, 150, 75, 150},
    {"a positive Min is added, and divides the get", 100, 10, 50, 60, 6},
    {"a negative Min is added, the get divides by 1", 100, -5, 50, 45, 45},
    {"above the range is capped by the repaint", 100, 0, 120, 100, 100},
    {"below the range stays negative", 100, 0, -10, -10, -10},
    {"a negative Max is accepted", -100, 0, 50, -50, 50},
    {"thirds quantise to whole percents of Max", 3, 0, 1, 33, 1},
    {"largest value whose product fits", 100, 0, 21474836, 100, 100},
    {"smallest value whose product fits", 100, 0, -21474836, -21474836, -21474836},
    {"Min equal to Max is accepted", 50, 50, 10, 70, 1},
    {"Min above Max is accepted", 10, 20, 1, 30, 0},
};

void PrintTo(const ValueCase& c, std::ostream* os) {
    *os << c.name;
}

class ValueArithmetic : public ::testing::TestWithParam<ValueCase> {};

TEST_P(ValueArithmetic, SetStoresPercentAndGetConvertsBack) {
    const ValueCase& c = GetParam();
    HeadlessHost host(100, 20);
    XP_ProgressBar& bar = host.Control();
    bar.SetMax(c.max);
    bar.SetMin(c.min);
    bar.SetValue(c.value);
    EXPECT_EQ(bar.StoredPercent(), c.storedPercent);
    EXPECT_EQ(bar.GetValue(), c.valueGet);
}

INSTANTIATE_TEST_SUITE_P(Cases, ValueArithmetic, ::testing::ValuesIn(kValueCases),
                         [](const auto& info) {
                             std::string n = info.param.name;
                             for (char& ch : n)
                                 if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                             return n;
                         });

// Every failing set must leave lPercent and the picture exactly as they were.
struct FailingSet {
    const char* name;
    Long max;
    Long min;
    Long value;
    bool overflow; // else division by zero
};

const FailingSet kFailingSets[] = {
    {"product above the Long range", 100, 0, 21474837, true},
    {"product below the Long range", 100, 0, -21474837, true},
    {"Max of zero divides by zero", 0, 0, 50, false},
    {"zero over a Max of zero", 0, 0, 0, false},
    {"percentage beyond the Long range", 1, 100, 21474836, true},
    {"largest Long input", 100, 0, INT_MAX, true},
};

TEST(ValueErrors, FailingSetChangesNothing) {
    for (const FailingSet& c : kFailingSets) {
        SCOPED_TRACE(c.name);
        HeadlessHost host(40, 10);
        XP_ProgressBar& bar = host.Control();
        bar.SetValue(42);
        bar.SetMax(c.max);
        bar.SetMin(c.min);
        const QImage before = host.Screen().copy();
        gdi::SetPixelV(host.OwnDC(), 0, 0, gdi::RGB(255, 0, 255)); // gone if anything repaints
        if (c.overflow) {
            EXPECT_THROW(bar.SetValue(c.value), OverflowError);
        } else {
            EXPECT_THROW(bar.SetValue(c.value), DivisionByZeroError);
        }
        EXPECT_EQ(bar.StoredPercent(), 42);
        EXPECT_EQ(host.Screen().pixel(0, 0), qRgb(255, 0, 255)) << "a failing set repainted";
        EXPECT_EQ(host.Screen().copy(1, 0, 39, 10), before.copy(1, 0, 39, 10));
    }
}

TEST(ValueErrors, GetOutsideTheLongRangeIsOverflow) {
    HeadlessHost host(40, 10);
    XP_ProgressBar& bar = host.Control();
    bar.SetMax(1);
    bar.SetValue(-21474836); // lPercent -2147483600, kept by the repaint
    bar.SetMax(1000);
    EXPECT_THROW(bar.GetValue(), OverflowError);
    EXPECT_EQ(bar.StoredPercent(), -2147483600);
}

TEST(ValueRange, ChangingMinOrMaxKeepsThePercentage) {
    HeadlessHost host(40, 10);
    XP_ProgressBar& bar = host.Control();
    bar.SetValue(40);
    bar.SetMax(1000);
    bar.SetMin(5);
    EXPECT_EQ(bar.StoredPercent(), 40);
    EXPECT_EQ(bar.GetValue(), 80); // 40 / 100 * 1000 / 5
}

TEST(ValueGet, ChangesNothing) {
    HeadlessHost host(40, 10);
    XP_ProgressBar& bar = host.Control();
    bar.SetValue(30);
    XP_ProgressBarTestAccess access(bar);
    access.lPercent() = 150; // as if set behind the renderer's back
    gdi::SetPixelV(host.OwnDC(), 0, 0, gdi::RGB(255, 0, 255));
    EXPECT_EQ(bar.GetValue(), 150);
    EXPECT_EQ(access.lPercent(), 150) << "the get must not cap or repaint";
    EXPECT_EQ(host.Screen().pixel(0, 0), qRgb(255, 0, 255));
}

} // namespace
} // namespace vex
