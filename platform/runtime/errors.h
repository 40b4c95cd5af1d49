#pragma once

#include <stdexcept>
#include <string>

namespace vex {

// Run-time errors of the program's arithmetic. A failing step throws; the steps before it stay
// done, and whoever called the operation decides what the user sees.
class RuntimeError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// A result outside the range of its integer type (32-bit Long, 16-bit Integer).
class OverflowError : public RuntimeError {
  public:
    OverflowError() : RuntimeError("Overflow") {}
};

// Division by zero, or 0 / 0, in floating-point or integer arithmetic.
class DivisionByZeroError : public RuntimeError {
  public:
    DivisionByZeroError() : RuntimeError("Division by zero") {}
};

} // namespace vex
