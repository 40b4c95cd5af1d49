// The runtime's arithmetic: overflow-checked integers, truncating division and its remainder,
// faulting floating-point division, and half-to-even rounding into Long and Integer.

#include "platform/runtime/arith.h"

#include <functional>
#include <limits>
#include <string>
#include <variant>

#include <gtest/gtest.h>

namespace vex {
namespace {

constexpr Long kMax = std::numeric_limits<Long>::max();
constexpr Long kMin = std::numeric_limits<Long>::min();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

enum class Fault { Overflow, DivisionByZero };

// What an operation gave: a value, or the fault it raised.
template <typename T> using Outcome = std::variant<T, Fault>;

template <typename T> Outcome<T> Run(const std::function<T()>& op) {
    try {
        return op();
    } catch (const OverflowError&) {
        return Fault::Overflow;
    } catch (const DivisionByZeroError&) {
        return Fault::DivisionByZero;
    }
}

template <typename T> std::string Describe(const Outcome<T>& o) {
    if (const T* v = std::get_if<T>(&o)) return std::to_string(*v);
    return std::get<Fault>(o) == Fault::Overflow ? "Overflow" : "Division by zero";
}

template <typename T> struct Case {
    const char* what;
    std::function<T()> op;
    Outcome<T> expected;
};

template <typename T> void Check(std::initializer_list<Case<T>> cases) {
    for (const Case<T>& c : cases) {
        const Outcome<T> got = Run(c.op);
        EXPECT_EQ(got, c.expected)
            << c.what << ": got " << Describe(got) << ", expected " << Describe(c.expected);
    }
}

TEST(Arith, CheckedAddSubMul) {
    Check<Long>({
        {"add", [] { return Add(2, 3); }, 5},
        {"add reaching the maximum", [] { return Add(kMax - 1, 1); }, kMax},
        {"add past the maximum", [] { return Add(kMax, 1); }, Fault::Overflow},
        {"add past the minimum", [] { return Add(kMin, -1); }, Fault::Overflow},
        {"sub to a negative", [] { return Sub(2, 3); }, -1},
        {"sub reaching the minimum", [] { return Sub(kMin + 1, 1); }, kMin},
        {"sub past the minimum", [] { return Sub(kMin, 1); }, Fault::Overflow},
        {"sub of the minimum from zero", [] { return Sub(0, kMin); }, Fault::Overflow},
        {"mul", [] { return Mul(-7, 6); }, -42},
        {"mul of two negatives", [] { return Mul(-65536, -32768); }, Fault::Overflow},
        {"mul reaching the minimum", [] { return Mul(65536, -32768); }, kMin},
        {"mul past the maximum", [] { return Mul(65536, 32768); }, Fault::Overflow},
        {"minimum times -1", [] { return Mul(kMin, -1); }, Fault::Overflow},
    });
}

TEST(Arith, IntegerDivisionTruncatesTowardsZero) {
    Check<Long>({
        {"positive", [] { return IntDiv(7, 2); }, 3},
        {"negative dividend", [] { return IntDiv(-7, 2); }, -3},
        {"negative divisor", [] { return IntDiv(7, -2); }, -3},
        {"both negative", [] { return IntDiv(-7, -2); }, 3},
        {"by -1", [] { return IntDiv(kMax, -1); }, -kMax},
        {"minimum by -1 does not fit", [] { return IntDiv(kMin, -1); }, Fault::Overflow},
        {"by zero", [] { return IntDiv(7, 0); }, Fault::DivisionByZero},
        {"zero by zero", [] { return IntDiv(0, 0); }, Fault::DivisionByZero},
    });
}

TEST(Arith, ModTakesTheSignOfTheDividend) {
    Check<Long>({
        {"positive", [] { return Mod(7, 3); }, 1},
        {"negative dividend", [] { return Mod(-7, 3); }, -1},
        {"negative divisor", [] { return Mod(7, -3); }, 1},
        {"both negative", [] { return Mod(-7, -3); }, -1},
        {"exact", [] { return Mod(-9, 3); }, 0},
        {"dividend smaller than divisor", [] { return Mod(-2, 5); }, -2},
        {"minimum modulo -1", [] { return Mod(kMin, -1); }, 0},
        {"minimum modulo the maximum", [] { return Mod(kMin, kMax); }, -1},
        {"by zero", [] { return Mod(7, 0); }, Fault::DivisionByZero},
    });
}

TEST(Arith, FloatingDivisionFaults) {
    Check<double>({
        {"exact", [] { return Divide(7.0, 2.0); }, 3.5},
        {"by zero", [] { return Divide(1.0, 0.0); }, Fault::DivisionByZero},
        {"by negative zero", [] { return Divide(1.0, -0.0); }, Fault::DivisionByZero},
        {"zero by zero", [] { return Divide(0.0, 0.0); }, Fault::DivisionByZero},
        {"quotient too large", [] { return Divide(1e308, 1e-308); }, Fault::Overflow},
        {"not a number", [] { return Divide(kNaN, 1.0); }, Fault::Overflow},
    });
}

TEST(Arith, RoundingGoesHalfToEven) {
    Check<double>({
        {"0.5", [] { return RoundHalfEven(0.5); }, 0.0},
        {"1.5", [] { return RoundHalfEven(1.5); }, 2.0},
        {"2.5", [] { return RoundHalfEven(2.5); }, 2.0},
        {"3.5", [] { return RoundHalfEven(3.5); }, 4.0},
        {"-2.5", [] { return RoundHalfEven(-2.5); }, -2.0},
        {"-3.5", [] { return RoundHalfEven(-3.5); }, -4.0},
        {"not a half", [] { return RoundHalfEven(2.5000001); }, 3.0},
        {"127.5, a gradient's middle step", [] { return RoundHalfEven(127.5); }, 128.0},
    });
}

TEST(Arith, CLngRoundsThenChecksTheRange) {
    Check<Long>({
        {"half to even", [] { return CLng(2.5); }, 2},
        {"negative half to even", [] { return CLng(-3.5); }, -4},
        {"maximum", [] { return CLng(2147483647.0); }, kMax},
        {"rounds down to the maximum", [] { return CLng(2147483647.4); }, kMax},
        {"rounds up past the maximum", [] { return CLng(2147483647.5); }, Fault::Overflow},
        {"half below the maximum goes to even", [] { return CLng(2147483646.5); }, 2147483646},
        {"minimum", [] { return CLng(-2147483648.0); }, kMin},
        {"half below the minimum rounds to it", [] { return CLng(-2147483648.5); }, kMin},
        {"past the minimum", [] { return CLng(-2147483649.0); }, Fault::Overflow},
        {"not a number", [] { return CLng(kNaN); }, Fault::Overflow},
        {"infinity", [] { return CLng(kInf); }, Fault::Overflow},
        {"minus infinity", [] { return CLng(-kInf); }, Fault::Overflow},
    });
}

TEST(Arith, CIntRoundsThenChecksTheRange) {
    Check<Integer>({
        {"half to even", [] { return CInt(0.5); }, Integer{0}},
        {"maximum", [] { return CInt(32767.0); }, Integer{32767}},
        {"rounds up past the maximum", [] { return CInt(32767.5); }, Fault::Overflow},
        {"half below the minimum rounds to it", [] { return CInt(-32768.5); }, Integer{-32768}},
        {"past the minimum", [] { return CInt(-32769.0); }, Fault::Overflow},
        {"not a number", [] { return CInt(kNaN); }, Fault::Overflow},
    });
}

} // namespace
} // namespace vex
