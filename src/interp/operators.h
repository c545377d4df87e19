// The operators of the language applied to two Values.
#pragma once

#include "interp/integer_operators.h"
#include "interp/statements.h"
#include "support/run_limits.h"
#include "value/value.h"

namespace velk {

// One of the thirteen operators, or Op::Unknown for an "unspecified" result;
// the strings and list forms it builds stay within `limits`' value cap.
Value applyOperator(const Value& left, const Value& right, Op op, const RunLimits& limits);
// `target = (target op right)` done in place, for `x += 1` and `s += "x"`:
// true when it was (two integers, or + of two strings, where the target holds
// nothing but its integer or its text), leaving the target exactly as
// assigning applyOperator's result would; false, with the target untouched,
// otherwise.
bool applyInPlaceOther(Value& target, const Value& right, Op op, const RunLimits& limits);
inline bool applyInPlace(Value& target, const Value& right, Op op, const RunLimits& limits) {
  // Two integers, the most common, at once; anything else out of line.
  if (target.typeName == kInteger && right.typeName == kInteger && target.holdsOnlyIntAndText() && target.text.empty())
    return integerOperation(op, target.intValue, right.intValue, target.intValue);
  return applyInPlaceOther(target, right, op, limits);
}

}  // namespace velk
