// The thirteen binary operators applied to already evaluated Values.
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>
#include <tuple>

#include "interp/interpreter.h"
#include "interp/operators.h"
#include "test_support.h"

namespace velk {
namespace {

using testing::listOf;
using testing::ofType;
using testing::str;

Value I(int64_t n) { return Value::integer(n); }
Value F(long double x) { return Value::floating(x); }

Value op(const Value& l, const char* o, const Value& r) { return applyOperator(l, r, opFromText(o), RunLimits{}); }

int64_t intOf(const Value& v) {
  EXPECT_EQ(v.typeName, kInteger);
  return v.intValue;
}
long double floatOf(const Value& v) {
  EXPECT_EQ(v.typeName, kFloat);
  return v.floatValue;
}
std::string stringOf(const Value& v) {
  EXPECT_EQ(v.typeName, kString);
  return v.text.str();
}

const long double kNaN = std::numeric_limits<long double>::quiet_NaN();

TEST(Operators, Addition) {
  EXPECT_EQ(stringOf(op(str("ab"), "+", str("cd"))), "abcd");
  EXPECT_EQ(stringOf(op(str(""), "+", str(""))), "");
  EXPECT_EQ(intOf(op(str("12"), "+", I(3))), 15);
  EXPECT_EQ(intOf(op(I(3), "+", str("12"))), 15);
  EXPECT_EQ(intOf(op(str("1.5"), "+", I(1))), 2);  // read as an integer up to the "."
  EXPECT_EQ(floatOf(op(str("1.5"), "+", F(1.0L))), 2.5L);
  EXPECT_EQ(floatOf(op(I(1), "+", F(0.5L))), 1.5L);
  EXPECT_EQ(intOf(op(I(2147483647), "+", I(1))), 2147483648LL);
  EXPECT_EQ(intOf(op(I(INT64_MAX), "+", I(1))), INT64_MIN);  // wraps around
  EXPECT_VELK_ERROR(op(str("ab"), "+", I(3)), "stoi");
  EXPECT_VELK_ERROR(op(str("ab"), "+", F(3.0L)), "stof");
  // Float sums are in extended precision, but integers enter through single precision.
  EXPECT_NE(floatOf(op(F(1.0L), "+", F(LDBL_EPSILON))), 1.0L);
  EXPECT_EQ(floatOf(op(I(16777217), "+", F(0.0L))), 16777216.0L);
}

TEST(Operators, SubtractionAndMultiplication) {
  EXPECT_EQ(intOf(op(I(10), "-", I(12))), -2);
  EXPECT_EQ(intOf(op(I(INT64_MIN), "-", I(1))), INT64_MAX);
  EXPECT_EQ(floatOf(op(F(0.5L), "-", I(2))), -1.5L);
  EXPECT_EQ(intOf(op(str("7"), "-", str("2"))), 5);
  EXPECT_EQ(intOf(op(I(6), "*", I(7))), 42);
  EXPECT_EQ(intOf(op(I(INT64_C(4294967296)), "*", I(INT64_C(4294967296)))), 0);  // wraps
  EXPECT_EQ(floatOf(op(F(1.5L), "*", I(2))), 3.0L);
  EXPECT_EQ(intOf(op(str("2"), "*", str("3"))), 6);
}

TEST(Operators, StringRepetition) {
  EXPECT_EQ(stringOf(op(str("ab"), "*", I(3))), "ababab");
  EXPECT_EQ(stringOf(op(str("ab"), "*", I(0))), "");
  EXPECT_EQ(stringOf(op(str("ab"), "*", I(-2))), "");
  EXPECT_EQ(stringOf(op(str(""), "*", I(5))), "");
  EXPECT_EQ(stringOf(op(str("3"), "*", I(2))), "33");  // a numeric string is still repeated
  EXPECT_VELK_ERROR(op(I(3), "*", str("ab")), "stoi");
  EXPECT_VELK_ERROR(op(str("ab"), "*", F(2.0L)), "stof");
}

TEST(Operators, Division) {
  EXPECT_EQ(intOf(op(I(7), "/", I(2))), 3);
  EXPECT_EQ(intOf(op(I(-7), "/", I(2))), -3);
  EXPECT_EQ(intOf(op(I(7), "/", I(-2))), -3);
  EXPECT_EQ(floatOf(op(F(7.0L), "/", I(2))), 3.5L);
  EXPECT_EQ(floatOf(op(I(1), "/", F(4.0L))), 0.25L);
  EXPECT_EQ(intOf(op(I(5), "/", I(0))), 0);
  EXPECT_EQ(floatOf(op(F(5.0L), "/", I(0))), 0.0L);
  EXPECT_EQ(floatOf(op(F(5.0L), "/", F(0.0L))), 0.0L);
  // A zero dividend leaves the divisor unread.
  EXPECT_EQ(intOf(op(I(0), "/", str("x"))), 0);
  EXPECT_EQ(floatOf(op(F(0.0L), "/", str("x"))), 0.0L);
  EXPECT_VELK_ERROR(op(I(1), "/", str("x")), "stoi");
  EXPECT_VELK_ERROR(op(F(1.0L), "/", str("x")), "stof");
  EXPECT_EQ(intOf(op(I(INT64_MIN), "/", I(-1))), INT64_MIN);
  EXPECT_EQ(intOf(op(str("9"), "/", str("3"))), 3);
}

TEST(Operators, LogicalAndOrShortCircuit) {
  EXPECT_EQ(intOf(op(I(0), "and", str("x"))), 0);
  EXPECT_EQ(intOf(op(I(1), "or", str("x"))), 1);
  EXPECT_VELK_ERROR(op(I(1), "and", str("x")), "stoi");
  EXPECT_VELK_ERROR(op(I(0), "or", str("x")), "stoi");
  EXPECT_EQ(intOf(op(F(0.5L), "and", I(1))), 0);  // 0.5 as an integer is 0
  EXPECT_EQ(intOf(op(I(2), "and", I(3))), 1);
  EXPECT_EQ(intOf(op(I(-1), "and", I(-1))), 1);
  EXPECT_EQ(intOf(op(I(1), "and", I(0))), 0);
  EXPECT_EQ(intOf(op(I(0), "or", I(0))), 0);
  EXPECT_EQ(intOf(op(I(0), "or", I(5))), 1);
  EXPECT_EQ(intOf(op(str("0"), "and", I(1))), 0);
}

TEST(Operators, OrderingIsNumeric) {
  EXPECT_EQ(intOf(op(I(2), ">", I(1))), 1);
  EXPECT_EQ(intOf(op(I(1), ">=", I(1))), 1);
  EXPECT_EQ(intOf(op(I(1), "<", I(1))), 0);
  EXPECT_EQ(intOf(op(F(1.5L), "<=", F(1.5L))), 1);
  EXPECT_EQ(intOf(op(I(1), "<", F(1.5L))), 1);
  EXPECT_EQ(intOf(op(str("10"), ">", str("9"))), 1);
  EXPECT_VELK_ERROR(op(str("b"), ">", str("a")), "stof");
  // Both integers pass through single precision.
  EXPECT_EQ(intOf(op(I(16777217), ">", I(16777216))), 0);
  EXPECT_EQ(intOf(op(I(16777217), "==", I(16777216))), 1);
  for (const char* o : {">", ">=", "<", "<="}) {
    EXPECT_EQ(intOf(op(F(kNaN), o, I(1))), 0) << o;
    EXPECT_EQ(intOf(op(I(1), o, F(kNaN))), 0) << o;
  }
}

TEST(Operators, Equality) {
  EXPECT_EQ(intOf(op(str("1"), "==", I(1))), 1);
  EXPECT_VELK_ERROR(op(str("a"), "==", I(1)), "stof");
  EXPECT_VELK_ERROR(op(str("a"), "!=", I(1)), "stof");
  EXPECT_EQ(intOf(op(str("a"), "==", str("a"))), 1);
  EXPECT_EQ(intOf(op(str("a"), "!=", str("b"))), 1);
  EXPECT_EQ(intOf(op(str("a"), "!=", str("a"))), 0);
  EXPECT_EQ(intOf(op(str("1"), "==", str("1.0"))), 0);
  EXPECT_EQ(intOf(op(I(1), "==", F(1.0L))), 1);
  EXPECT_EQ(intOf(op(F(kNaN), "==", F(kNaN))), 0);
  EXPECT_EQ(intOf(op(F(kNaN), "!=", F(kNaN))), 1);
  EXPECT_EQ(intOf(op(listOf({I(1)}), "==", str("[1]"))), 1);  // compared by display form
}

TEST(Operators, UnknownOperatorsGiveUnspecified) {
  for (const char* o : {"%", "=", "", "AND", "+=", "=>", "$", "not", "- "}) {
    Value r = op(I(1), o, I(2));
    EXPECT_EQ(r.typeName, kUnspecified) << '"' << o << '"';
    EXPECT_EQ(r.intValue, 0) << o;
  }
  // Unknown operators read neither operand.
  EXPECT_EQ(op(str("x"), "%", str("y")).typeName, kUnspecified);
}

TEST(Operators, ContentlessOperandsCountAsZero) {
  EXPECT_EQ(intOf(op(listOf({I(5)}), "+", I(1))), 1);
  EXPECT_EQ(intOf(op(ofType(kUnspecified), "+", I(1))), 1);
  EXPECT_EQ(floatOf(op(ofType(kBytes), "+", F(0.5L))), 0.5L);
  EXPECT_EQ(intOf(op(ofType(kScaffold), "or", I(0))), 0);
}

TEST(Operators, MemberAccess) {
  Value inner = ofType(kScaffold);
  ValueRef x = newValue(I(9));
  inner.changeMembers().set(Text("x"), x);
  Value outer = ofType(kScaffold);
  outer.changeMembers().set(Text("inner"), newValue(inner));
  outer.changeMembers().set(Text("5"), newValue(str("five")));

  Value got = op(outer, "->", str("inner"));
  EXPECT_EQ(got.typeName, kScaffold);
  Value deep = op(got, "->", str("x"));
  EXPECT_EQ(intOf(deep), 9);
  deep.intValue = 100;  // the result is a copy of the member
  EXPECT_EQ(x->intValue, 9);
  EXPECT_EQ(stringOf(op(outer, "->", I(5))), "five");  // name is the display form
  EXPECT_VELK_ERROR(op(outer, "->", str("missing")), "no such member");
  EXPECT_VELK_ERROR(op(I(1), "->", str("x")), "no such member");
}

// Two integers are compared without extended precision; the answers must be
// those of reading both through asFloat (single precision, then widened),
// over the whole 64-bit range, where the two readings round differently.
TEST(Operators, IntegerComparisonsAgreeWithTheirFloatReadings) {
  const int64_t edge = std::numeric_limits<int64_t>::max(), low = std::numeric_limits<int64_t>::min();
  const int64_t samples[] = {0, 1, -1, 16777215, 16777216, 16777217, 16777218, -16777217, -16777216,
                             2147483647, -2147483648LL, 4611686018427387904LL, 4611686018427387905LL,
                             edge, edge - 1, low, low + 1, 123456789012345LL, -123456789012346LL};
  for (int64_t a : samples) {
    for (int64_t b : samples) {
      long double x = asFloat(I(a)), y = asFloat(I(b));
      EXPECT_EQ(intOf(op(I(a), "<", I(b))), x < y ? 1 : 0) << a << " < " << b;
      EXPECT_EQ(intOf(op(I(a), "<=", I(b))), x <= y ? 1 : 0) << a << " <= " << b;
      EXPECT_EQ(intOf(op(I(a), ">", I(b))), x > y ? 1 : 0) << a << " > " << b;
      EXPECT_EQ(intOf(op(I(a), ">=", I(b))), x >= y ? 1 : 0) << a << " >= " << b;
      EXPECT_EQ(intOf(op(I(a), "==", I(b))), x == y ? 1 : 0) << a << " == " << b;
      EXPECT_EQ(intOf(op(I(a), "!=", I(b))), x != y ? 1 : 0) << a << " != " << b;
      EXPECT_EQ(intOf(op(I(a), "==", I(b))), valueEquals(I(a), I(b)) ? 1 : 0) << a << " == " << b;
    }
  }
  // Integer arithmetic wraps in 64 bits whichever path it takes.
  EXPECT_EQ(intOf(op(I(edge), "+", I(1))), low);
  EXPECT_EQ(intOf(op(I(low), "-", I(1))), edge);
  EXPECT_EQ(intOf(op(I(edge), "*", I(2))), -2);
}

// Two strings are equal when their bytes are, zero bytes and all; a string and
// a func of the same text compare by display form.
TEST(Operators, StringEqualityComparesBytes) {
  EXPECT_EQ(intOf(op(str(std::string("a\0b", 3)), "==", str(std::string("a\0b", 3)))), 1);
  EXPECT_EQ(intOf(op(str(std::string("a\0b", 3)), "==", str(std::string("a\0c", 3)))), 0);
  EXPECT_EQ(intOf(op(str("ab"), "==", str("ab "))), 0);
  EXPECT_EQ(intOf(op(str(""), "==", str(""))), 1);
  // Single bytes, told apart on their own path.
  for (auto [a, b, equal] : {std::tuple{"a", "b", 0}, {"a", "a", 1}, {"a", "", 0}, {"", "a", 0}, {"\xff", "\x7f", 0}})
    EXPECT_EQ(intOf(op(str(a), "==", str(b))), equal) << a << " == " << b;
  EXPECT_EQ(intOf(op(str(std::string(1, '\0')), "!=", str(std::string(1, '\0')))), 0);
  EXPECT_EQ(intOf(op(str("{ x }"), "==", Value::func(Text("{ x }")))), 1);
}

// Two integers give the same results as an integer and the text of one, which
// reach the arithmetic through the general reading of operands.
TEST(Operators, IntegerPairsAgreeWithTheGeneralReading) {
  const int64_t samples[] = {0, 1, -1, 2, -2, 3, 7, -7, 16777217, 2147483647, -2147483648LL};
  for (int64_t a : samples) {
    for (int64_t b : samples) {
      for (const char* o : {"+", "-", "*", "/", "and", "or", "<", ">=", "==", "!="}) {
        Value text = str(std::to_string(b));
        EXPECT_EQ(intOf(op(I(a), o, I(b))), intOf(op(I(a), o, text))) << a << " " << o << " " << b;
      }
    }
  }
}

bool sameContent(const Value& a, const Value& b) {
  return a.typeName == b.typeName && a.intValue == b.intValue && a.text == b.text &&
         a.elements.size() == b.elements.size() && a.holdsOnlyIntAndText() == b.holdsOnlyIntAndText() &&
         a.members().size() == b.members().size() && a.bytes().size() == b.bytes().size();
}

// `x op= v` in place leaves the target as assigning the operator's result
// would, and refuses, leaving it untouched, wherever that result differs in
// another field than the one it would change.
TEST(Operators, InPlaceAssignmentMatchesTheOperatorsResult) {
  const int64_t edge = std::numeric_limits<int64_t>::max(), low = std::numeric_limits<int64_t>::min();
  const int64_t samples[] = {0, 1, -1, 16777217, edge, low, 123456789012345LL};
  for (int64_t a : samples) {
    for (int64_t b : samples) {
      for (const char* o : {"+", "-", "*", "/", "and", "or", "<", "<=", ">", ">=", "==", "!="}) {
        Value target = I(a);
        ASSERT_TRUE(applyInPlace(target, I(b), opFromText(o), RunLimits{})) << a << " " << o << " " << b;
        EXPECT_TRUE(sameContent(target, op(I(a), o, I(b)))) << a << " " << o << " " << b;
      }
    }
  }
  Value s = str("ab");
  ASSERT_TRUE(applyInPlace(s, str("cd"), opFromText("+"), RunLimits{}));
  EXPECT_TRUE(sameContent(s, str("abcd")));
  ASSERT_TRUE(applyInPlace(s, s, opFromText("+"), RunLimits{}));
  EXPECT_EQ(stringOf(s), "abcdabcd");
  Value e = str("");
  ASSERT_TRUE(applyInPlace(e, str(""), opFromText("+"), RunLimits{}));
  EXPECT_TRUE(sameContent(e, str("")));

  // Mixed operands, other operators and other types take the general path.
  Value i = I(1);
  EXPECT_FALSE(applyInPlace(i, F(0.5L), opFromText("+"), RunLimits{}));
  EXPECT_FALSE(applyInPlace(i, str("2"), opFromText("+"), RunLimits{}));
  EXPECT_FALSE(applyInPlace(i, I(2), opFromText("?"), RunLimits{}));
  EXPECT_FALSE(applyInPlace(i, I(2), opFromText("->"), RunLimits{}));
  EXPECT_FALSE(applyInPlace(s, str("x"), opFromText("-"), RunLimits{}));
  EXPECT_FALSE(applyInPlace(s, I(2), opFromText("*"), RunLimits{}));
  EXPECT_EQ(intOf(i), 1);
  // A float target takes a number's arithmetic in place, by the float rule.
  for (const Value& right : {F(1.0L), F(0.0L), F(-0.0L), I(16777217), I(0)}) {
    for (const char* o : {"+", "-", "*", "/"}) {
      Value f = F(1.5L);
      ASSERT_TRUE(applyInPlace(f, right, opFromText(o), RunLimits{})) << o;
      EXPECT_TRUE(sameContent(f, op(F(1.5L), o, right))) << o;
    }
  }
  Value f = F(1.5L);
  EXPECT_FALSE(applyInPlace(f, F(1.0L), opFromText("<"), RunLimits{}));
  EXPECT_FALSE(applyInPlace(f, str("1"), opFromText("+"), RunLimits{}));
  EXPECT_EQ(floatOf(f), 1.5L);

  // A target that carries more than its integer or its text.
  Value fromList = convertTo(listOf({I(1), I(2)}), kInteger);
  EXPECT_FALSE(applyInPlace(fromList, I(1), opFromText("+"), RunLimits{}));
  EXPECT_EQ(fromList.elements.size(), 2u);
  Value fromText = convertTo(str("12"), kInteger);
  EXPECT_FALSE(applyInPlace(fromText, I(1), opFromText("+"), RunLimits{}));
  Value fromFloat = convertTo(F(-0.0L), kInteger);
  EXPECT_FALSE(applyInPlace(fromFloat, I(1), opFromText("+"), RunLimits{}));
  Value textFromInteger = convertTo(I(5), kString);
  EXPECT_FALSE(applyInPlace(textFromInteger, str("x"), opFromText("+"), RunLimits{}));
  EXPECT_EQ(stringOf(textFromInteger), "5");
}

}  // namespace
}  // namespace velk
