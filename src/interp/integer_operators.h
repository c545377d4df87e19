// The binary operators on two numbers, with no Value made: what the
// expression evaluator and in-place assignment use where both operands are
// numbers, and what applyOperator itself gives for them, so that every path
// gives one answer.
#pragma once

#include <cstdint>

#include "interp/statements.h"

namespace velk {

// Two's complement wrap-around without undefined behaviour.
inline int64_t wrapAdd(int64_t a, int64_t b) {
  return static_cast<int64_t>(static_cast<uint64_t>(a) + static_cast<uint64_t>(b));
}
inline int64_t wrapSub(int64_t a, int64_t b) {
  return static_cast<int64_t>(static_cast<uint64_t>(a) - static_cast<uint64_t>(b));
}
inline int64_t wrapMul(int64_t a, int64_t b) {
  return static_cast<int64_t>(static_cast<uint64_t>(a) * static_cast<uint64_t>(b));
}

// `a op b` for two integers into `out`; false for the operators whose result
// is no integer (`->` and an unknown operator). Arithmetic wraps; division by
// zero gives 0; comparisons and equality read both integers through single
// precision, as numbers are compared everywhere, and give 1 or 0.
inline bool integerOperation(Op op, int64_t a, int64_t b, int64_t& out) {
  switch (op) {
    case Op::And: out = a != 0 && b != 0; return true;
    case Op::Or: out = a != 0 || b != 0; return true;
    case Op::Eq: out = static_cast<float>(a) == static_cast<float>(b); return true;
    case Op::Ne: out = static_cast<float>(a) != static_cast<float>(b); return true;
    case Op::Gt: out = static_cast<float>(a) > static_cast<float>(b); return true;
    case Op::Ge: out = static_cast<float>(a) >= static_cast<float>(b); return true;
    case Op::Lt: out = static_cast<float>(a) < static_cast<float>(b); return true;
    case Op::Le: out = static_cast<float>(a) <= static_cast<float>(b); return true;
    case Op::Add: out = wrapAdd(a, b); return true;
    case Op::Sub: out = wrapSub(a, b); return true;
    case Op::Mul: out = wrapMul(a, b); return true;
    case Op::Div:
      if (a == 0 || b == 0) out = 0;
      else if (b == -1) out = wrapSub(0, a);  // INT64_MIN / -1 wraps to itself
      else out = a / b;
      return true;
    case Op::Member:
    case Op::Unknown: break;
  }
  return false;
}

// `x op y` for two numbers read as floats (one of them a float), into
// `out`; false for the operators whose result is no float. Division by zero
// (or of zero) gives 0.
inline bool floatArithmetic(Op op, long double x, long double y, long double& out) {
  switch (op) {
    case Op::Add: out = x + y; return true;
    case Op::Sub: out = x - y; return true;
    case Op::Mul: out = x * y; return true;
    case Op::Div: out = x == 0 || y == 0 ? 0 : x / y; return true;
    default: return false;
  }
}

// The ordering operators for two numbers read as floats, into `out`; false
// for any other operator.
inline bool floatOrdering(Op op, long double x, long double y, bool& out) {
  switch (op) {
    case Op::Gt: out = x > y; return true;
    case Op::Ge: out = x >= y; return true;
    case Op::Lt: out = x < y; return true;
    case Op::Le: out = x <= y; return true;
    default: return false;
  }
}

}  // namespace velk
