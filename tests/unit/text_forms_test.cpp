// The display form (what `print` and `str` show) and the function-text form.
#include <cmath>
#include <cstdint>
#include <limits>

#include "test_support.h"
#include "value/text_forms.h"

namespace velk {
namespace {

using testing::listOf;
using testing::ofType;
using testing::str;

std::string display(const Value& v) { return displayText(v).str(); }
std::string funcText(const Value& v) { return functionTextForm(v).str(); }

TEST(DisplayForm, Integers) {
  EXPECT_EQ(display(Value::integer(-5)), "-5");
  EXPECT_EQ(display(Value::integer(0)), "0");
  EXPECT_EQ(display(Value::integer(INT64_MAX)), "9223372036854775807");
  EXPECT_EQ(display(Value::integer(INT64_MIN)), "-9223372036854775808");
}

TEST(DisplayForm, FloatsUseSixFixedDecimals) {
  EXPECT_EQ(display(Value::floating(2.5L)), "2.500000");
  EXPECT_EQ(display(Value::floating(0)), "0.000000");
  EXPECT_EQ(display(Value::floating(-0.0L)), "-0.000000");
  EXPECT_EQ(display(Value::floating(1e20L)), "100000000000000000000.000000");
  EXPECT_EQ(display(Value::floating(1e-7L)), "0.000000");
  EXPECT_EQ(display(Value::floating(-1e-7L)), "-0.000000");
  EXPECT_EQ(display(Value::floating(2.0L + std::ldexp(1.0L, -20))), "2.000001");  // rounds up
  EXPECT_EQ(display(Value::floating(-1234.5L)), "-1234.500000");
  EXPECT_EQ(display(Value::floating(std::numeric_limits<long double>::infinity())), "inf");
  EXPECT_EQ(display(Value::floating(-std::numeric_limits<long double>::infinity())), "-inf");
  // Never an exponent, however large: every integer digit is written.
  std::string huge = display(Value::floating(1e300L));
  EXPECT_EQ(huge.size(), 301u + 7u);
  EXPECT_EQ(huge.substr(0, 2), "10");
  EXPECT_EQ(huge.find('e'), std::string::npos);
  EXPECT_EQ(display(Value::floating(std::numeric_limits<long double>::max())).size(), 4933u + 7u);
}

TEST(DisplayForm, StringsAndFuncsShowTheirText) {
  EXPECT_EQ(display(str("a \"b\" [c]\n")), "a \"b\" [c]\n");
  std::string withZero("x\0y", 3);
  EXPECT_EQ(display(str(withZero)), withZero);
  Value func = ofType(kFunc);
  func.text = Text("{ end 1 }");
  EXPECT_EQ(display(func), "{ end 1 }");
}

TEST(DisplayForm, ContentlessTypesShowNothing) {
  Value bytes = ofType(kBytes);
  bytes.setBytes(Bytes({65, 66}));
  EXPECT_EQ(display(bytes), "");
  Value scaffold = ofType(kScaffold);
  scaffold.changeMembers().set(Text("m"), newValue(Value::integer(1)));
  EXPECT_EQ(display(scaffold), "");
  Value unspecified;
  unspecified.text = Text("stale");  // only the type name counts
  EXPECT_EQ(display(unspecified), "");
}

TEST(DisplayForm, Lists) {
  EXPECT_EQ(display(listOf({})), "[]");
  EXPECT_EQ(display(listOf({str("a"), str("b")})), "[\"a\", \"b\"]");
  EXPECT_EQ(display(listOf({str("")})), "[\"\"]");
  EXPECT_EQ(display(listOf({Value::integer(1), str("a b"), listOf({Value::floating(2.5L), str("c")})})),
            "[1, \"a b\", [2.500000, \"c\"]]");
  EXPECT_EQ(display(listOf({listOf({}), listOf({listOf({})})})), "[[], [[]]]");
  EXPECT_EQ(display(listOf({ofType(kBytes)})), "[]");
  EXPECT_EQ(display(listOf({ofType(kBytes), ofType(kBytes)})), "[, ]");
  EXPECT_EQ(display(listOf({ofType(kScaffold), Value::integer(3), ofType(kUnspecified)})), "[, 3, ]");
  // Quotes inside a string element are copied as they are.
  EXPECT_EQ(display(listOf({str("say \"hi\"")})), "[\"say \"hi\"\"]");
  Value func = ofType(kFunc);
  func.text = Text("{ x }");
  EXPECT_EQ(display(listOf({func})), "[{ x }]");
}

TEST(FunctionTextForm, ListsAreUnquotedWithBlankCommaSeparators) {
  EXPECT_EQ(funcText(listOf({Value::integer(1), str("x")})), "[1 ,x]");
  EXPECT_EQ(funcText(listOf({})), "[]");
  EXPECT_EQ(funcText(listOf({Value::integer(1), str("a b"), listOf({Value::floating(2.5L), str("c")})})),
            "[1 ,a b ,[2.500000, \"c\"]]");
  EXPECT_EQ(funcText(listOf({ofType(kBytes), ofType(kBytes)})), "[ ,]");
  EXPECT_EQ(funcText(listOf({str("")})), "[]");
}

TEST(FunctionTextForm, OtherTypesAsDisplayed) {
  EXPECT_EQ(funcText(str("{ end 2 }")), "{ end 2 }");
  EXPECT_EQ(funcText(Value::integer(-3)), "-3");
  EXPECT_EQ(funcText(Value::floating(0.25L)), "0.250000");
  EXPECT_EQ(funcText(ofType(kBytes)), "");
  EXPECT_EQ(funcText(ofType(kScaffold)), "");
  EXPECT_EQ(funcText(ofType(kUnspecified)), "");
}

}  // namespace
}  // namespace velk
