// The binary operators. Operands are never changed; every conversion reads a
// copy. Integer arithmetic wraps around on overflow; float arithmetic is in
// extended precision; division by zero gives 0 of the division's type.
#include "interp/operators.h"

#include <cstdint>

#include "interp/integer_operators.h"
#include "support/error.h"
#include "support/run_limits.h"

namespace velk {
namespace {

constexpr size_t kMaxRepeatBytes = size_t{1} << 31;

Value repeat(const Text& text, int64_t count, size_t maxBytes) {
  if (count <= 0 || text.empty()) return Value::string(Text());
  if (static_cast<uint64_t>(count) > kMaxRepeatBytes / text.size())
    fail("string too long", "repeating " + std::to_string(text.size()) + " bytes " +
                                std::to_string(count) + " times would make more than 2 GiB");
  checkGrowth(text.size() * static_cast<size_t>(count), maxBytes, "a repeated string");
  std::string out;
  out.reserve(text.size() * static_cast<size_t>(count));
  for (int64_t i = 0; i < count; ++i) out += text.view();
  return Value::string(Text(std::move(out)));
}

Value truth(bool b) { return Value::integer(b ? 1 : 0); }

bool eitherFloat(const Value& left, const Value& right) { return left.typeName == kFloat || right.typeName == kFloat; }

// The rules below are for operands that are not two integers, which
// integerOperation answers before them.

// The arithmetic rule, written once: a float result when either operand is a
// float (both read as floats), else an integer result of both read as
// integers. The left operand is read first, so its error wins.
template <class IntOp>
Value arithmetic(const Value& left, const Value& right, Op op, IntOp onIntegers) {
  if (eitherFloat(left, right)) {
    long double x = asFloat(left);
    long double y = asFloat(right);
    long double r = 0;
    floatArithmetic(op, x, y, r);
    return Value::floating(r);
  }
  int64_t a = asInt(left);
  int64_t b = asInt(right);
  return Value::integer(onIntegers(a, b));
}

// The ordering rule, written once: both operands read as floats.
Value ordering(const Value& left, const Value& right, Op op) {
  long double x = asFloat(left);
  long double y = asFloat(right);
  bool truth = false;
  floatOrdering(op, x, y, truth);
  return Value::integer(truth ? 1 : 0);
}

Value divide(const Value& left, const Value& right) {
  if (left.typeName == kFloat || right.typeName == kFloat) {
    long double x = asFloat(left);
    if (x == 0) return Value::floating(0);  // the right operand is not read
    long double r = 0;
    floatArithmetic(Op::Div, x, asFloat(right), r);
    return Value::floating(r);
  }
  int64_t a = asInt(left);
  if (a == 0) return Value::integer(0);
  int64_t b = asInt(right);
  if (b == 0) return Value::integer(0);
  if (b == -1) return Value::integer(wrapSub(0, a));  // INT64_MIN / -1 wraps to itself
  return Value::integer(a / b);
}

Value member(const Value& left, const Value& right, size_t maxBytes) {
  Text name = asText(right, maxBytes);
  const Value* m = left.members().find(name);
  if (!m) fail("no such member", "the left operand of `->` has no member " + quoteForReport(name.view()));
  return *m;
}

// A string operand that did not read as the number `op` needs: `reading`
// names the text; the error says which operand and operator it was for. The
// left operand is read first, so it is the one that failed when it fails now.
[[noreturn, gnu::cold, gnu::noinline]] void failOperand(const VelkError& reading, const Value& left, const Value& right, Op op) {
  const bool asInteger = std::string_view(reading.what()) == "stoi";
  auto fails = [asInteger](const Value& v) {
    if (v.typeName != kString) return false;
    try {
      asInteger ? (void)asInt(v) : (void)asFloat(v);
    } catch (const VelkError&) {
      return true;
    }
    return false;
  };
  std::string detail;
  if (reading.kind() == ErrorKind::InvalidArgument) {
    const Text& text = (fails(left) ? left : right).text;
    detail = text.empty() ? "the empty string" : "the string " + quoteForReport(text.view());
    detail += " is not a number for `";
    detail += opText(op);
    detail += "`";
  } else {
    detail = "a string operand of `";
    detail += opText(op);
    detail += "` holds a number out of range: " + reading.detail();
  }
  throw VelkError(reading.what(), reading.kind(), std::move(detail));
}

Value applyRule(const Value& left, const Value& right, Op op, const RunLimits& limits) {
  switch (op) {
    case Op::And:
      if (asInt(left) == 0) return truth(false);
      return truth(asInt(right) != 0);
    case Op::Or:
      if (asInt(left) != 0) return truth(true);
      return truth(asInt(right) != 0);
    case Op::Eq: return truth(valueEquals(left, right, limits.maxValueBytes));
    case Op::Ne: return truth(!valueEquals(right, left, limits.maxValueBytes));
    case Op::Gt:
    case Op::Ge:
    case Op::Lt:
    case Op::Le: return ordering(left, right, op);
    case Op::Add:
      if (left.typeName == kString && right.typeName == kString) {
        checkGrowth(left.text.size() + right.text.size(), limits.maxValueBytes, "a joined string");
        // Grows left's buffer in place when it can: building a string a
        // piece at a time costs time in proportion to its length.
        return Value::string(left.text.joined(right.text.view()));
      }
      return arithmetic(left, right, op, wrapAdd);
    case Op::Sub: return arithmetic(left, right, op, wrapSub);
    case Op::Mul:
      if (left.typeName == kString && right.typeName == kInteger) return repeat(left.text, right.intValue, limits.maxValueBytes);
      return arithmetic(left, right, op, wrapMul);
    case Op::Div: return divide(left, right);
    case Op::Member: return member(left, right, limits.maxValueBytes);
    case Op::Unknown: break;
  }
  return Value();
}

}  // namespace

Value applyOperator(const Value& left, const Value& right, Op op, const RunLimits& limits) {
  if (left.typeName == kInteger && right.typeName == kInteger) {
    int64_t n;
    if (integerOperation(op, left.intValue, right.intValue, n)) return Value::integer(n);
  }
  try {
    return applyRule(left, right, op, limits);
  } catch (const VelkError& e) {
    if (e.kind() != ErrorKind::InvalidArgument && e.kind() != ErrorKind::OutOfRange) throw;
    failOperand(e, left, right, op);
  }
}

// Only where applyOperator's result would differ from the target in the
// fields changed here: it makes a Value with every other field empty.
bool applyInPlaceOther(Value& target, const Value& right, Op op, const RunLimits& limits) {
  if (op == Op::Add && target.isPlainString() && right.typeName == kString) {
    checkGrowth(target.text.size() + right.text.size(), limits.maxValueBytes, "a joined string");
    target.text.append(right.text.view());
    return true;
  }
  long double r;
  if (target.isPlainFloat() && (right.typeName == kFloat || right.typeName == kInteger) &&
      floatArithmetic(op, target.floatValue, asFloat(right), r)) {
    target.floatValue = r;
    return true;
  }
  return false;
}

}  // namespace velk
