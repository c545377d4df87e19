// The binary operators. Operands are never changed; every conversion reads a
// copy. Integer arithmetic wraps around on overflow; float arithmetic is in
// extended precision; division by zero gives 0 of the division's type.
#include <cstdint>

#include "interp/interpreter.h"
#include "support/error.h"
#include "support/run_limits.h"

namespace velk {
namespace {

// Two's complement wrap-around without undefined behaviour.
int64_t wrapAdd(int64_t a, int64_t b) {
  return static_cast<int64_t>(static_cast<uint64_t>(a) + static_cast<uint64_t>(b));
}
int64_t wrapSub(int64_t a, int64_t b) {
  return static_cast<int64_t>(static_cast<uint64_t>(a) - static_cast<uint64_t>(b));
}
int64_t wrapMul(int64_t a, int64_t b) {
  return static_cast<int64_t>(static_cast<uint64_t>(a) * static_cast<uint64_t>(b));
}

constexpr size_t kMaxRepeatBytes = size_t{1} << 31;

Value repeat(const Text& text, int64_t count) {
  if (count <= 0 || text.empty()) return Value::string(Text());
  if (static_cast<uint64_t>(count) > kMaxRepeatBytes / text.size())
    fail("string too long", "repeating " + std::to_string(text.size()) + " bytes " +
                                std::to_string(count) + " times exceeds 2 GiB");
  checkGrowth(text.size() * static_cast<size_t>(count), "a repeated string");
  std::string out;
  out.reserve(text.size() * static_cast<size_t>(count));
  for (int64_t i = 0; i < count; ++i) out += text.view();
  return Value::string(Text(std::move(out)));
}

Value truth(bool b) { return Value::integer(b ? 1 : 0); }

Value divide(const Value& left, const Value& right) {
  if (left.typeName == kFloat || right.typeName == kFloat) {
    long double x = asFloat(left);
    if (x == 0) return Value::floating(0);
    long double y = asFloat(right);
    return Value::floating(y == 0 ? 0 : x / y);
  }
  int64_t a = asInt(left);
  if (a == 0) return Value::integer(0);
  int64_t b = asInt(right);
  if (b == 0) return Value::integer(0);
  if (b == -1) return Value::integer(wrapSub(0, a));  // INT64_MIN / -1 wraps to itself
  return Value::integer(a / b);
}

Value member(const Value& left, const Value& right) {
  Text name = asText(right);
  const Value* m = left.members.find(name);
  if (!m) fail("no such member", quoteForReport(name.view()) + " (the left operand of `->` has no such member)");
  return *m;
}

}  // namespace

Value applyOperator(const Value& left, const Value& right, Op op) {
  switch (op) {
    case Op::And:
      if (asInt(left) == 0) return truth(false);
      return truth(asInt(right) != 0);
    case Op::Or:
      if (asInt(left) != 0) return truth(true);
      return truth(asInt(right) != 0);
    case Op::Eq: return truth(valueEquals(left, right));
    case Op::Ne: return truth(!valueEquals(right, left));
    case Op::Gt: {
      long double x = asFloat(left), y = asFloat(right);
      return truth(x > y);
    }
    case Op::Ge: {
      long double x = asFloat(left), y = asFloat(right);
      return truth(x >= y);
    }
    case Op::Lt: {
      long double x = asFloat(left), y = asFloat(right);
      return truth(x < y);
    }
    case Op::Le: {
      long double x = asFloat(left), y = asFloat(right);
      return truth(x <= y);
    }
    case Op::Add:
      if (left.typeName == kString && right.typeName == kString) {
        checkGrowth(left.text.size() + right.text.size(), "a joined string");
        std::string s;
        s.reserve(left.text.size() + right.text.size());
        s += left.text.view();
        s += right.text.view();
        return Value::string(Text(std::move(s)));
      }
      if (left.typeName == kFloat || right.typeName == kFloat) {
        long double x = asFloat(left), y = asFloat(right);
        return Value::floating(x + y);
      }
      {
        int64_t a = asInt(left), b = asInt(right);
        return Value::integer(wrapAdd(a, b));
      }
    case Op::Sub:
      if (left.typeName == kFloat || right.typeName == kFloat) {
        long double x = asFloat(left), y = asFloat(right);
        return Value::floating(x - y);
      }
      {
        int64_t a = asInt(left), b = asInt(right);
        return Value::integer(wrapSub(a, b));
      }
    case Op::Mul:
      if (left.typeName == kString && right.typeName == kInteger) return repeat(left.text, right.intValue);
      if (left.typeName == kFloat || right.typeName == kFloat) {
        long double x = asFloat(left), y = asFloat(right);
        return Value::floating(x * y);
      }
      {
        int64_t a = asInt(left), b = asInt(right);
        return Value::integer(wrapMul(a, b));
      }
    case Op::Div: return divide(left, right);
    case Op::Member: return member(left, right);
    case Op::Unknown: break;
  }
  return Value();
}

Value applyOperator(const Value& left, const Value& right, std::string_view op) {
  return applyOperator(left, right, opFromText(op));
}

}  // namespace velk
