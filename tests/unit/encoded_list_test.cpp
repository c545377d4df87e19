// The encoded-list form: writing lists as `(...)` text and reading it back.
#include <functional>
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
    const ElementValue xe = a.elements[i], ye = b.elements[i];
    const Value& x = *xe;
    const Value& y = *ye;
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
            "(\"a b\" \"(x)\" \"l1\nl2\" 'q\"q' \"\")");
}

TEST(EncodeList, StringWithDoubleQuoteGoesInSingleQuotes) {
  EXPECT_EQ(encode(listOf({str("say\"hi.txt"), str("it's")})), "('say\"hi.txt' \"it's\")");
  EXPECT_EQ(encode(listOf({listOf({str("\"")})})), "(('\"'))");
}

TEST(EncodeList, StringWithBothQuotesIsRefusedByName) {
  EXPECT_VELK_ERROR(encode(listOf({str("ok"), str("x\" 'y")})), "cannot encode the list");
  // Quotes that pair up read back as written, both kinds and all.
  EXPECT_EQ(encode(listOf({str("it's \"x\""), str("\"a\"")})), "(\"it's \"x\"\" \"\"a\"\")");
  try {
    encode(listOf({listOf({str("a'b\"c")})}));
    FAIL() << "no error";
  } catch (const VelkError& e) {
    EXPECT_NE(e.detail().find("`a'b\"c`"), std::string::npos) << e.detail();
  }
}

TEST(EncodeList, UnpairedParenthesisInNestedListIsRefused) {
  // At the top level a string's parentheses are inside its quotes.
  EXPECT_EQ(encode(listOf({str("a)"), str("(b")})), "(\"a)\" \"(b\")");
  // In a nested list the decoder counts them: "a)" would end the list early,
  // "(b" would leave it open.
  EXPECT_VELK_ERROR(encode(listOf({listOf({str("a)")})})), "cannot encode the list");
  EXPECT_VELK_ERROR(encode(listOf({listOf({str("(b")})})), "cannot encode the list");
  EXPECT_VELK_ERROR(encode(listOf({listOf({Value::integer(1), func("{ x = (1 }")})})), "cannot encode the list");
  // One level down the outer list's strings are quoted again, so a list that
  // is even as a whole can still hold an uneven nested list.
  EXPECT_VELK_ERROR(encode(listOf({listOf({str("("), listOf({str("a)")})})})), "cannot encode the list");
  // Pairs spread over two strings read back as written, and stay.
  EXPECT_EQ(encode(listOf({listOf({str("(b"), str("a)")})})), "((\"(b\" \"a)\"))");
  EXPECT_EQ(encode(listOf({listOf({str("f(1)")})})), "((\"f(1)\"))");
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

TEST(DecodeList, QuotesInsideStringsSurvive) {
  // The string x" "y is written in single quotes and comes back whole.
  std::string encoded = encode(listOf({str("x\" \"y")}));
  EXPECT_EQ(encoded, "('x\" \"y')");
  Value back = decodeAsList(encoded);
  ASSERT_EQ(back.elements.size(), 1u);
  EXPECT_EQ(back.elements[0]->text, "x\" \"y");
  expectSameList(listOf({str("a \"b c")}), decodeAsList(encode(listOf({str("a \"b c")}))));
  // Text that was not written by the encoder can still leave a group open.
  EXPECT_THROW(decodeList("(\"abc)"), OpenGroupError);
  EXPECT_THROW(decodeList("((1 2)"), OpenGroupError);
}

// The encoder as it was before it chose quotes and checked parentheses.
void appendPlain(std::string& out, const Value& list) {
  out += '(';
  for (size_t i = 0; i < list.elements.size(); ++i) {
    if (i) out += ' ';
    const ElementValue read = list.elements[i];
    const Value& e = *read;
    if (e.typeName == kList)
      appendPlain(out, e);
    else
      out += "\"" + e.text.str() + "\"";
  }
  out += ')';
}

bool decodesTo(const std::string& text, const Value& want) {
  try {
    return valueEquals(decodeAsList(text), want);
  } catch (const VelkError&) {
    return false;
  } catch (const OpenGroupError&) {
    return false;
  }
}

// Lists of strings made of the bytes that matter to the decoder, two levels
// deep: every list the encoder writes decodes back to itself, every list the
// plain writing kept is written the same way, and only lists the plain
// writing lost are refused.
TEST(EncodeList, WritesOnlyWhatReadsBackAndKeepsWhatDidBefore) {
  const char alphabet[] = {'a', ' ', '"', '\'', '(', ')', '{', '}', '\n'};
  uint32_t seed = 12345;
  auto next = [&seed](uint32_t n) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) % n;
  };
  auto randomString = [&]() {
    std::string s;
    for (uint32_t n = next(4); n > 0; --n) s += alphabet[next(sizeof alphabet)];
    return str(s);
  };
  std::function<Value(int)> randomList = [&](int depth) {
    Value list = listOf({});
    for (uint32_t n = next(3) + (depth == 0); n > 0; --n)
      list.elements.push(newValue(depth < 3 && next(3) == 0 ? randomList(depth + 1) : randomString()));
    return list;
  };
  int refused = 0, kept = 0;
  for (int round = 0; round < 4000; ++round) {
    Value list = randomList(0);
    std::string plain;
    appendPlain(plain, list);
    bool plainKept = decodesTo(plain, list);
    try {
      std::string encoded = encode(list);
      ++kept;
      EXPECT_TRUE(decodesTo(encoded, list)) << encoded;
      if (plainKept) {
        EXPECT_EQ(encoded, plain);
      }
    } catch (const VelkError& e) {
      ++refused;
      EXPECT_STREQ(e.what(), "cannot encode the list");
      EXPECT_FALSE(plainKept) << plain;
    }
  }
  // Both outcomes occur, so the loop tests something either way.
  EXPECT_GT(refused, 100);
  EXPECT_GT(kept, 100);
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
  EXPECT_NE(back.elements.ref(0).get(), original.elements.ref(0).get());

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
