// Conversions between Value types, number reading, equality, and how Values
// are shared between holders.
#include <cmath>
#include <cstdint>
#include <limits>

#include "test_support.h"
#include "value/varmap.h"

namespace velk {
namespace {

using testing::listOf;
using testing::ofType;
using testing::str;

constexpr ErrorKind kInvalid = ErrorKind::InvalidArgument;
constexpr ErrorKind kRange = ErrorKind::OutOfRange;

TEST(ValueConversion, ConvertingToOwnTypeChangesNothing) {
  Value list = listOf({Value::integer(1), str("a")});
  Value sameList = convertTo(list, "list");
  EXPECT_EQ(sameList.typeName, kList);
  ASSERT_EQ(sameList.elements.size(), 2u);
  EXPECT_EQ(sameList.elements.ref(0), list.elements.ref(0));

  Value bytes = ofType(kBytes);
  bytes.setBytes(Bytes({1, 2, 3}));
  Value sameBytes = convertTo(bytes, "bytes");
  EXPECT_EQ(sameBytes.bytes().get(), (std::vector<uint8_t>{1, 2, 3}));

  Value scaffold = ofType(kScaffold);
  ValueRef member = newValue(Value::integer(4));
  scaffold.changeMembers().set(Text("m"), member);
  Value sameScaffold = convertTo(scaffold, "scaffold");
  EXPECT_EQ(sameScaffold.typeName, kScaffold);
  EXPECT_EQ(sameScaffold.members().find(Text("m")), member.get());

  Value func = ofType(kFunc);
  func.text = Text("{ end 1 }");
  EXPECT_EQ(convertTo(func, "func").typeName, kFunc);
}

TEST(ValueConversion, StringToIntegerReadsLeadingDigits) {
  auto toInt = [](std::string_view s) { return convertTo(str(s), "integer"); };
  Value v = toInt("42abc");
  EXPECT_EQ(v.typeName, kInteger);
  EXPECT_EQ(v.intValue, 42);
  EXPECT_EQ(toInt(" -7").intValue, -7);
  EXPECT_EQ(toInt("\t\n\v\f\r+5").intValue, 5);
  EXPECT_EQ(toInt("3.9").intValue, 3);
  EXPECT_EQ(toInt("0x10").intValue, 0);
  EXPECT_EQ(toInt("0000000000000000000012").intValue, 12);  // leading zeros are no overflow
  EXPECT_EQ(toInt("2147483647").intValue, 2147483647);
  EXPECT_EQ(toInt("-2147483648").intValue, INT64_C(-2147483648));
}

TEST(ValueConversion, StringToIntegerFailures) {
  auto toInt = [](std::string_view s) { return convertTo(str(s), "integer"); };
  EXPECT_VELK_ERROR_KIND(toInt("abc"), "stoi", kInvalid);
  EXPECT_VELK_ERROR_KIND(toInt(""), "stoi", kInvalid);
  EXPECT_VELK_ERROR_KIND(toInt("-"), "stoi", kInvalid);
  EXPECT_VELK_ERROR_KIND(toInt("+-5"), "stoi", kInvalid);
  EXPECT_VELK_ERROR_KIND(toInt(" x1"), "stoi", kInvalid);
  EXPECT_VELK_ERROR_KIND(toInt("3000000000"), "stoi", kRange);
  EXPECT_VELK_ERROR_KIND(toInt("2147483648"), "stoi", kRange);
  EXPECT_VELK_ERROR_KIND(toInt("+2147483648"), "stoi", kRange);
  EXPECT_VELK_ERROR_KIND(toInt("-2147483649"), "stoi", kRange);
  // Far beyond 64 bits: must not wrap around into the valid range.
  EXPECT_VELK_ERROR_KIND(toInt("18446744073709551617"), "stoi", kRange);
}

TEST(ValueConversion, FloatToIntegerTruncatesWithin32Bits) {
  auto toInt = [](long double x) { return convertTo(Value::floating(x), "integer").intValue; };
  EXPECT_EQ(toInt(-2.9L), -2);
  EXPECT_EQ(toInt(2.9L), 2);
  EXPECT_EQ(toInt(2147483647.5L), 2147483647);
  EXPECT_EQ(toInt(-2147483648.9L), INT64_C(-2147483648));
  EXPECT_EQ(toInt(2147483648.0L), INT64_C(-2147483648));
  EXPECT_EQ(toInt(3000000000.0L), INT64_C(-2147483648));
  EXPECT_EQ(toInt(-3000000000.0L), INT64_C(-2147483648));
  EXPECT_EQ(toInt(std::numeric_limits<long double>::quiet_NaN()), INT64_C(-2147483648));
  EXPECT_EQ(toInt(std::numeric_limits<long double>::infinity()), INT64_C(-2147483648));
}

TEST(ValueConversion, IntegerToFloatPassesThroughSinglePrecision) {
  auto toFloat = [](int64_t n) { return convertTo(Value::integer(n), "float"); };
  Value v = toFloat(16777217);
  EXPECT_EQ(v.typeName, kFloat);
  EXPECT_EQ(v.floatValue, 16777216.0L);
  EXPECT_EQ(toFloat(16777219).floatValue, 16777220.0L);  // tie goes to the even neighbour
  EXPECT_EQ(toFloat(-16777217).floatValue, -16777216.0L);
  EXPECT_EQ(toFloat(16777216).floatValue, 16777216.0L);
  EXPECT_EQ(toFloat(INT64_MAX).floatValue, 9223372036854775808.0L);
}

TEST(ValueConversion, StringToFloatReadsSinglePrecision) {
  auto toFloat = [](std::string_view s) { return convertTo(str(s), "float").floatValue; };
  long double tenth = toFloat("0.1");
  EXPECT_EQ(tenth, static_cast<long double>(0.1f));
  EXPECT_NE(tenth, 0.1L);
  EXPECT_EQ(asText(Value::floating(tenth)), "0.100000");
  EXPECT_EQ(toFloat("1.5x"), 1.5L);
  EXPECT_EQ(toFloat(".5"), 0.5L);
  EXPECT_EQ(toFloat("  -3.25"), -3.25L);
  EXPECT_EQ(toFloat("2e3"), 2000.0L);
  EXPECT_EQ(toFloat("0x1p4"), 16.0L);
  EXPECT_EQ(toFloat("7"), 7.0L);
  EXPECT_TRUE(std::isinf(toFloat("INF")));
  EXPECT_TRUE(std::isinf(toFloat("-Infinity")));
  EXPECT_TRUE(std::isnan(toFloat("nan")));

  EXPECT_VELK_ERROR_KIND(toFloat("abc"), "stof", kInvalid);
  EXPECT_VELK_ERROR_KIND(toFloat(""), "stof", kInvalid);
  EXPECT_VELK_ERROR_KIND(toFloat("."), "stof", kInvalid);
  EXPECT_VELK_ERROR_KIND(toFloat("1e39"), "stof", kRange);   // overflows single precision
  EXPECT_VELK_ERROR_KIND(toFloat("1e-50"), "stof", kRange);  // underflows it
}

TEST(ValueConversion, OtherTypesGiveZeroAsNumbers) {
  // Whatever a stale slot held, conversion overwrites it.
  for (TypeName t : {kList, kFunc, kBytes, kScaffold, kUnspecified}) {
    Value v = ofType(t);
    v.intValue = 99;
    v.floatValue = 9.5L;
    v.text = Text("12");
    Value i = convertTo(v, "integer");
    EXPECT_EQ(i.typeName, kInteger) << t.text();
    EXPECT_EQ(i.intValue, 0) << t.text();
    Value f = convertTo(v, "float");
    EXPECT_EQ(f.typeName, kFloat) << t.text();
    EXPECT_EQ(f.floatValue, 0) << t.text();
  }
}

TEST(ValueConversion, FieldsOfOtherTypesSurviveConversion) {
  Value list = listOf({Value::integer(1), Value::integer(2)});
  Value asString = convertTo(list, "string");
  EXPECT_EQ(asString.typeName, kString);
  EXPECT_EQ(asString.text, "[1, 2]");
  EXPECT_EQ(asElements(asString).size(), 2u);  // the old elements are still there

  Value n = convertTo(Value::integer(5), "string");
  EXPECT_EQ(n.text, "5");
  EXPECT_EQ(n.intValue, 5);

  Value bytes = ofType(kBytes);
  bytes.setBytes(Bytes({7, 8}));
  Value bytesAsString = convertTo(bytes, "string");
  EXPECT_EQ(bytesAsString.text, "");
  EXPECT_EQ(bytesAsString.bytes().size(), 2u);
  // Converting back to "bytes" keeps nothing of the source.
  EXPECT_TRUE(convertTo(bytesAsString, "bytes").bytes().isEmpty());
}

TEST(ValueConversion, ListBytesAndFuncTargets) {
  Value s = convertTo(str("abc"), "list");
  EXPECT_EQ(s.typeName, kString);
  EXPECT_EQ(s.text, "abc");
  EXPECT_TRUE(asElements(str("abc")).isEmpty());

  Value b = convertTo(str("abc"), "bytes");
  EXPECT_EQ(b.typeName, kBytes);
  EXPECT_TRUE(b.bytes().isEmpty());
  EXPECT_TRUE(asBytes(str("abc")).isEmpty());
  Value realBytes = ofType(kBytes);
  realBytes.setBytes(Bytes({0, 255}));
  EXPECT_EQ(asBytes(realBytes).get(), (std::vector<uint8_t>{0, 255}));

  Value f = convertTo(str("{ x }"), "func");
  EXPECT_EQ(f.typeName, kString);  // only brace literals make funcs
  EXPECT_EQ(f.text, "{ x }");
  Value lf = convertTo(listOf({Value::integer(1), str("x")}), "func");
  EXPECT_EQ(lf.typeName, kString);
  EXPECT_EQ(lf.text, "[1 ,x]");

  // Names are matched exactly: these name no type.
  Value list = listOf({Value::integer(1)});
  EXPECT_EQ(convertTo(list, "Integer").typeName, kList);
  EXPECT_EQ(convertTo(list, "INTEGER").typeName, kList);
  EXPECT_EQ(convertTo(list, "nonsense").typeName, kList);
  EXPECT_EQ(convertTo(list, "").typeName, kList);
  EXPECT_EQ(convertTo(str("5"), "scaffold").typeName, kString);
  EXPECT_EQ(convertTo(str("5"), "unspecified").typeName, kString);
}

TEST(ValueEquality, NumericComparisonWhenEitherSideIsANumber) {
  EXPECT_TRUE(valueEquals(str("1"), Value::integer(1)));
  EXPECT_TRUE(valueEquals(Value::integer(1), str("1")));
  EXPECT_TRUE(valueEquals(Value::integer(1), Value::floating(1.0L)));
  EXPECT_TRUE(valueEquals(str("0.5"), Value::floating(0.5L)));
  EXPECT_TRUE(valueEquals(Value::floating(-0.0L), Value::integer(0)));
  EXPECT_TRUE(valueEquals(Value::integer(16777217), Value::integer(16777216)));  // single precision
  EXPECT_FALSE(valueEquals(Value::integer(1), Value::integer(2)));
  long double nan = std::numeric_limits<long double>::quiet_NaN();
  EXPECT_FALSE(valueEquals(Value::floating(nan), Value::floating(nan)));
  EXPECT_VELK_ERROR_KIND(valueEquals(str("abc"), Value::integer(1)), "stof", kInvalid);
  EXPECT_VELK_ERROR_KIND(valueEquals(Value::integer(1), str("")), "stof", kInvalid);
}

TEST(ValueEquality, TextComparisonOtherwise) {
  EXPECT_FALSE(valueEquals(str("1"), str("1.0")));
  EXPECT_TRUE(valueEquals(str("a"), str("a")));
  EXPECT_FALSE(valueEquals(str("a"), str("a ")));
  EXPECT_TRUE(valueEquals(listOf({Value::integer(1), str("a")}), listOf({Value::integer(1), str("a")})));
  EXPECT_FALSE(valueEquals(listOf({Value::integer(1)}), listOf({str("1")})));  // [1] vs ["1"]
  EXPECT_TRUE(valueEquals(listOf({Value::integer(1), Value::integer(2)}), str("[1, 2]")));
  EXPECT_TRUE(valueEquals(ofType(kBytes), ofType(kUnspecified)));
  EXPECT_TRUE(valueEquals(ofType(kScaffold), str("")));
  EXPECT_FALSE(valueEquals(ofType(kScaffold), str("x")));
  std::string withZero("a\0b", 3);
  EXPECT_FALSE(valueEquals(str(withZero), str("a")));
}

TEST(ValueEquality, ScaffoldsCompareMemberIdentity) {
  Value a = ofType(kScaffold), b = ofType(kScaffold);
  EXPECT_TRUE(valueEquals(a, b));  // both without members
  a.changeMembers().set(Text("x"), newValue(Value::integer(1)));
  b.changeMembers().set(Text("x"), newValue(Value::integer(1)));
  EXPECT_FALSE(valueEquals(a, b));  // equal content, different Values
  Value copy = a;
  EXPECT_TRUE(valueEquals(a, copy));
  copy.changeMembers().set(Text("y"), newValue(Value::integer(2)));
  EXPECT_FALSE(valueEquals(a, copy));  // different sizes

  Value c = ofType(kScaffold), d = ofType(kScaffold);
  ValueRef shared = newValue(Value::integer(3));
  c.changeMembers().set(Text("p"), shared);
  d.changeMembers().set(Text("q"), shared);
  EXPECT_FALSE(valueEquals(c, d));  // same Value under different names
  d = ofType(kScaffold);
  d.changeMembers().set(Text("p"), shared);
  EXPECT_TRUE(valueEquals(c, d));
}

// firstEqual, `where`'s scan, must answer exactly as valueEquals applied to
// each element in turn: the same position, or the same error from the same
// element. Every pairing of kinds below goes through both.
TEST(ValueEquality, FirstEqualAgreesWithElementByElementScan) {
  const long double nan = std::numeric_limits<long double>::quiet_NaN();
  std::vector<Value> kinds = {
      str("abc"), str("axc"), str("ab"), str(""), str("1"), str("2.0"), str("[1, 2]"), str("nan"),
      Value::func(Text("{ x }")), str("{ x }"), Value::integer(0), Value::integer(1), Value::integer(2),
      Value::integer(16777216), Value::integer(16777217), Value::floating(2.0L), Value::floating(nan),
      Value::floating(0.5L), listOf({Value::integer(1), Value::integer(2)}), listOf({}), ofType(kBytes),
      ofType(kScaffold), ofType(kUnspecified)};
  // What a plain scan answers: a position, or the error's text and detail.
  auto scan = [](const Elements& items, const Value& x, bool fast) -> std::string {
    try {
      size_t i = 0;
      if (fast)
        i = firstEqual(items, x);
      else
        while (i < items.size() && !valueEquals(*items[i], x)) ++i;
      return std::to_string(i);
    } catch (const VelkError& e) {
      return std::string("error ") + e.what();
    }
  };
  // Each kind alone, each pair in both orders, and the whole list.
  std::vector<std::vector<Value>> lists;
  for (const Value& a : kinds) {
    lists.push_back({a});
    for (const Value& b : kinds) lists.push_back({a, b});
  }
  lists.push_back(kinds);
  lists.push_back({});
  for (const auto& values : lists) {
    Elements items;
    for (const Value& v : values) items.push(v);
    for (const Value& x : kinds) {
      ASSERT_EQ(scan(items, x, true), scan(items, x, false))
          << "probe " << asText(x).view() << " in " << values.size() << " items";
    }
  }
}

TEST(ValueSharing, CopiesShareElementsButNotTheirLists) {
  Value original = listOf({Value::integer(1), Value::integer(2)});
  Value copy = original;
  copy.elements.push(newValue(Value::integer(3)));
  EXPECT_EQ(original.elements.size(), 2u);
  EXPECT_EQ(copy.elements.size(), 3u);
  // An element changed in place through one list is seen through the other.
  *copy.elements.ref(0) = str("changed");
  EXPECT_EQ(original.elements[0]->typeName, kString);
  EXPECT_EQ(original.elements[0]->text, "changed");
  copy.elements.erase(0);
  EXPECT_EQ(original.elements.size(), 2u);
  EXPECT_EQ(asText(original), "[\"changed\", 2]");
}

TEST(ValueSharing, AssignmentKeepsIdentityAndReplacesEveryField) {
  ValueRef target = newValue(listOf({Value::integer(1)}));
  target->text = Text("stale");
  VarMap holder;
  holder.set(Text("x"), target);
  *target = Value::integer(7);
  Value* seen = holder.find(Text("x"));
  ASSERT_EQ(seen, target.get());
  EXPECT_EQ(seen->typeName, kInteger);
  EXPECT_EQ(seen->intValue, 7);
  EXPECT_TRUE(seen->elements.isEmpty());
  EXPECT_TRUE(seen->text.empty());
  Value& self = *target;
  *target = self;  // self-assignment changes nothing
  EXPECT_EQ(target->intValue, 7);
}

TEST(ValueSharing, DestroyingADeeplyNestedListDoesNotRecurse) {
  ValueRef outer = newValue(ofType(kList));
  ValueRef current = outer;
  for (int i = 0; i < 500000; ++i) {
    ValueRef inner = newValue(ofType(kList));
    current->elements.push(inner);
    current = inner;
  }
  current.reset();
  outer.reset();  // would overflow the stack if destruction recursed
  SUCCEED();
}

}  // namespace
}  // namespace velk
