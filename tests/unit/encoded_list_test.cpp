// The encoded-list form: writing lists as `(...)` text and reading it back.
#include <string>

#include "test_support.h"
#include "codec/encoded_list.h"
#include "value/text_forms.h"

namespace velk {
namespace {

using testing::listOf;
using testing::ofType;
using testing::str;

std::string encode(const Value& list) { return encodeList(list.elements); }

Value decodeAsList(std::string_view text) {
  Value v;
  v.typeName = kList;
  v.elements = decodeList(text);
  return v;
}

Value func(const char* text) {
  Value v = ofType(kFunc);
  v.text = Text(text);
  return v;
}

// Same types and content, element by element, all the way down.
void expectSameList(const Value& a, const Value& b) {
  ASSERT_EQ(a.typeName, kList);
  ASSERT_EQ(b.typeName, kList);
  ASSERT_EQ(a.elements.size(), b.elements.size()) << displayText(a).str() << " vs " << displayText(b).str();
  for (size_t i = 0; i < a.elements.size(); ++i) {
    const Value& x = *a.elements[i];
    const Value& y = *b.elements[i];
    ASSERT_EQ(x.typeName, y.typeName) << "element " << i;
    if (x.typeName == kList)
      expectSameList(x, y);
    else if (x.typeName == kFloat)
      EXPECT_EQ(x.floatValue, y.floatValue) << "element " << i;
    else if (x.typeName == kInteger)
      EXPECT_EQ(x.intValue, y.intValue) << "element " << i;
    else
      EXPECT_EQ(x.text, y.text) << "element " << i;
  }
}

TEST(EncodeList, WritesItemsSeparatedByBlanks) {
  EXPECT_EQ(encode(listOf({})), "()");
  EXPECT_EQ(encode(listOf({ofType(kBytes)})), "()");
  EXPECT_EQ(encode(listOf({Value::integer(1), ofType(kBytes)})), "(1 )");
  EXPECT_EQ(encode(listOf({listOf({str("a"), str("b")}), listOf({Value::integer(1), Value::floating(2.5L)})})),
            "((\"a\" \"b\") (1 2.500000))");
  EXPECT_EQ(encode(listOf({Value::integer(-3), ofType(kScaffold), ofType(kUnspecified), func("{ end 1 }")})),
            "(-3   { end 1 })");
  EXPECT_EQ(encode(listOf({listOf({})})), "(())");
}

TEST(EncodeList, CopiesStringsWithoutEscaping) {
  EXPECT_EQ(encode(listOf({str("a b"), str("(x)"), str("l1\nl2"), str("q\"q"), str("")})),
            "(\"a b\" \"(x)\" \"l1\nl2\" \"q\"q\" \"\")");
}

TEST(DecodeList, ReadsItemsByTheirLook) {
  Value v = decodeAsList("(1 2.5 \"x y\" (3))");
  ASSERT_EQ(v.elements.size(), 4u);
  EXPECT_EQ(v.elements[0]->typeName, kInteger);
  EXPECT_EQ(v.elements[0]->intValue, 1);
  EXPECT_EQ(v.elements[1]->typeName, kFloat);
  EXPECT_EQ(v.elements[1]->floatValue, 2.5L);
  EXPECT_EQ(v.elements[2]->typeName, kString);
  EXPECT_EQ(v.elements[2]->text, "x y");
  ASSERT_EQ(v.elements[3]->typeName, kList);
  ASSERT_EQ(v.elements[3]->elements.size(), 1u);
  EXPECT_EQ(v.elements[3]->elements[0]->intValue, 3);

  Value more = decodeAsList("('single' -2147483648 2147483647 12ab 1e5 0.1 \"a\nb\" \"\")");
  ASSERT_EQ(more.elements.size(), 8u);
  EXPECT_EQ(more.elements[0]->text, "single");
  EXPECT_EQ(more.elements[1]->intValue, INT64_C(-2147483648));
  EXPECT_EQ(more.elements[2]->intValue, 2147483647);
  EXPECT_EQ(more.elements[3]->intValue, 12);
  EXPECT_EQ(more.elements[4]->typeName, kInteger);  // no "." so an integer: 1
  EXPECT_EQ(more.elements[4]->intValue, 1);
  EXPECT_EQ(more.elements[5]->floatValue, static_cast<long double>(0.1f));
  EXPECT_EQ(more.elements[6]->text, "a\nb");
  EXPECT_EQ(more.elements[7]->typeName, kString);
  EXPECT_TRUE(more.elements[7]->text.empty());
}

TEST(DecodeList, OuterBytesAreDroppedUnchecked) {
  Value v = decodeAsList("[1 2]");
  ASSERT_EQ(v.elements.size(), 2u);
  EXPECT_EQ(v.elements[0]->intValue, 1);
  EXPECT_EQ(v.elements[1]->intValue, 2);
  EXPECT_EQ(decodeAsList("x7y").elements[0]->intValue, 7);
}

TEST(DecodeList, OnlyTheFirstLineCounts) {
  Value v = decodeAsList("(1 2\n3 4)");
  ASSERT_EQ(v.elements.size(), 2u);
  EXPECT_EQ(v.elements[1]->intValue, 2);
}

TEST(DecodeList, EmptyItemsAndBareWordsFail) {
  EXPECT_VELK_ERROR_KIND(decodeList("(1 )"), "stoi", ErrorKind::InvalidArgument);
  EXPECT_VELK_ERROR_KIND(decodeList("(1  2)"), "stoi", ErrorKind::InvalidArgument);
  EXPECT_VELK_ERROR_KIND(decodeList("( 1)"), "stoi", ErrorKind::InvalidArgument);
  EXPECT_VELK_ERROR_KIND(decodeList("(abc)"), "stoi", ErrorKind::InvalidArgument);
  EXPECT_VELK_ERROR_KIND(decodeList("(1 (2 x))"), "stoi", ErrorKind::InvalidArgument);
  EXPECT_VELK_ERROR_KIND(decodeList("(2147483648)"), "stoi", ErrorKind::OutOfRange);
  EXPECT_VELK_ERROR_KIND(decodeList("(1.5 1e39.0)"), "stof", ErrorKind::OutOfRange);
  EXPECT_VELK_ERROR_KIND(decodeList("(.)"), "stof", ErrorKind::InvalidArgument);
}

TEST(DecodeList, EmptyParenthesesAreTheEmptyList) {
  EXPECT_TRUE(decodeList("()").isEmpty());
  Value nested = decodeAsList("(())");
  ASSERT_EQ(nested.elements.size(), 1u);
  EXPECT_EQ(nested.elements[0]->typeName, kList);
  EXPECT_TRUE(nested.elements[0]->elements.isEmpty());
}

TEST(DecodeList, TooShortTextsFail) {
  EXPECT_THROW(decodeList(""), VelkError);
  EXPECT_THROW(decodeList("("), VelkError);
}

TEST(DecodeList, RunsNoCode) {
  Value v = decodeAsList("({ end 5 } 1)");
  ASSERT_EQ(v.elements.size(), 2u);
  EXPECT_EQ(v.elements[0]->typeName, kFunc);
  EXPECT_EQ(v.elements[0]->text, "{ end 5 }");
  EXPECT_THROW(decodeList("($print$(\"x\"))"), VelkError);
  EXPECT_THROW(decodeList("(1 $size$(\"ab\"))"), VelkError);
}

TEST(DecodeList, QuotesInsideStringsDoNotSurvive) {
  // The string x" "y comes back as two strings.
  std::string encoded = encode(listOf({str("x\" \"y")}));
  EXPECT_EQ(encoded, "(\"x\" \"y\")");
  Value back = decodeAsList(encoded);
  ASSERT_EQ(back.elements.size(), 2u);
  EXPECT_EQ(back.elements[0]->text, "x");
  EXPECT_EQ(back.elements[1]->text, "y");
  // A lone quote leaves a string open at the end of the text.
  EXPECT_THROW(decodeList(encode(listOf({str("a \"b c")}))), OpenGroupError);
  EXPECT_THROW(decodeList("(\"abc)"), OpenGroupError);
  EXPECT_THROW(decodeList("((1 2)"), OpenGroupError);
}

TEST(DecodeList, RoundTripsPlainData) {
  Value original = listOf({
      str("plain"),
      str("with blanks (and) [brackets], commas"),
      str("two\nlines"),
      str("it's"),
      str(""),
      Value::integer(0),
      Value::integer(-2147483648LL),
      Value::integer(2147483647),
      Value::floating(2.5L),
      Value::floating(-0.125L),
      Value::floating(1024.75L),
      listOf({Value::integer(1), listOf({str("deep"), Value::floating(3.0L)})}),
      listOf({}),
      func("{ end (arg0 + 1) }"),
  });
  Value back = decodeAsList(encode(original));
  expectSameList(original, back);
  EXPECT_TRUE(valueEquals(original, back));
  // Decoded elements are new Values.
  EXPECT_NE(back.elements[0].get(), original.elements[0].get());

  expectSameList(listOf({}), decodeAsList(encode(listOf({}))));
  Value deep = listOf({});
  for (int i = 0; i < 50; ++i) deep = listOf({deep, Value::integer(i)});
  expectSameList(deep, decodeAsList(encode(deep)));
}

TEST(DecodeList, FloatsComeBackWithSixDecimals) {
  Value back = decodeAsList(encode(listOf({Value::floating(0.1L), Value::floating(1.0L / 3.0L)})));
  EXPECT_EQ(back.elements[0]->floatValue, static_cast<long double>(0.1f));
  EXPECT_EQ(back.elements[1]->floatValue, static_cast<long double>(0.333333f));
}

}  // namespace
}  // namespace velk
