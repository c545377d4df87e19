// Cutting source text into statements and tokens: blanks, line ends,
// indentation, and quotes, braces and parentheses kept whole.
#include <optional>
#include <string>
#include <vector>

#include "support/console.h"
#include "parse/splitter.h"
#include "test_support.h"

namespace velk {
namespace {

using Tokens = std::vector<std::string>;
using Statements = std::vector<Tokens>;

Statements split(std::string_view text) {
  StatementList list = splitStatements(text);
  Statements out;
  for (const Statement& s : list.statements) {
    Tokens tokens;
    for (const Text& t : s) tokens.push_back(t.str());
    out.push_back(tokens);
  }
  return out;
}

TEST(Splitter, BlanksSeparateTokens) {
  EXPECT_EQ(split(""), (Statements{{""}}));
  EXPECT_EQ(split("a"), (Statements{{"a"}}));
  EXPECT_EQ(split("a b"), (Statements{{"a", "b"}}));
  EXPECT_EQ(split("a  b"), (Statements{{"a", "", "b"}}));
  EXPECT_EQ(split("a\tb"), (Statements{{"a", "b"}}));
  EXPECT_EQ(split("a \tb"), (Statements{{"a", "", "b"}}));
  EXPECT_EQ(split("a "), (Statements{{"a", ""}}));
  // Leading blanks are only skipped after a line end, not at the very start.
  EXPECT_EQ(split(" a"), (Statements{{"", "a"}}));
  EXPECT_EQ(split("\t a"), (Statements{{"", "", "a"}}));
}

TEST(Splitter, LineEndsEndStatements) {
  EXPECT_EQ(split("a \n"), (Statements{{"a", ""}, {""}}));
  EXPECT_EQ(split("x\n"), (Statements{{"x"}, {""}}));
  EXPECT_EQ(split("\n"), (Statements{{""}, {""}}));
  EXPECT_EQ(split("a\n\nb"), (Statements{{"a"}, {""}, {"b"}}));
  EXPECT_EQ(split("a b\nc d"), (Statements{{"a", "b"}, {"c", "d"}}));
  // A carriage return is an ordinary byte.
  EXPECT_EQ(split("a\r\nb\r"), (Statements{{"a\r"}, {"b\r"}}));
}

TEST(Splitter, IndentationAfterALineEndIsDropped) {
  EXPECT_EQ(split("a\n    b c"), (Statements{{"a"}, {"b", "c"}}));
  EXPECT_EQ(split("a\n \t b"), (Statements{{"a"}, {"b"}}));
  EXPECT_EQ(split("a\n   "), (Statements{{"a"}, {""}}));
  EXPECT_EQ(split("a\n  b  c"), (Statements{{"a"}, {"b", "", "c"}}));  // only the leading run
  EXPECT_EQ(split("a\n  \"  x\""), (Statements{{"a"}, {"\"  x\""}}));
}

TEST(Splitter, BraceBlockIsOneTokenAcrossLines) {
  EXPECT_EQ(split("x = {\n    a\n    b\n}"), (Statements{{"x", "=", "{\n    a\n    b\n}"}}));
  EXPECT_EQ(split("{ a { b } c } d"), (Statements{{"{ a { b } c }", "d"}}));
  EXPECT_EQ(split("f = {\n  end 1\n}\ng = 2"),
            (Statements{{"f", "=", "{\n  end 1\n}"}, {"g", "=", "2"}}));
  // Inside a brace block quotes and parentheses are ordinary characters.
  EXPECT_EQ(split("{ \"( } x"), (Statements{{"{ \"( }", "x"}}));
}

TEST(Splitter, ParenthesesAndQuotesStayWhole) {
  EXPECT_EQ(split("print \"a b\""), (Statements{{"print", "\"a b\""}}));
  EXPECT_EQ(split("$print$(\"hi\" \"nah\")"), (Statements{{"$print$(\"hi\" \"nah\")"}}));
  EXPECT_EQ(split("x = (a + (b * c)) y"), (Statements{{"x", "=", "(a + (b * c))", "y"}}));
  EXPECT_EQ(split("x = \"it's\""), (Statements{{"x", "=", "\"it's\""}}));
  EXPECT_EQ(split("y = 'say \"hi\"'"), (Statements{{"y", "=", "'say \"hi\"'"}}));
  EXPECT_EQ(split("\"a\nb\" c"), (Statements{{"\"a\nb\"", "c"}}));
  EXPECT_EQ(split("( a\n   b)"), (Statements{{"( a\n   b)"}}));  // no indentation skip inside
  // Inside parentheses braces and quotes are ordinary.
  EXPECT_EQ(split("(a \"b) c"), (Statements{{"(a \"b)", "c"}}));
  EXPECT_EQ(split("(a { b) c"), (Statements{{"(a { b)", "c"}}));
  EXPECT_EQ(split("\"a ( b\" c"), (Statements{{"\"a ( b\"", "c"}}));
}

TEST(Splitter, GroupsMayStartAndEndInsideAToken) {
  EXPECT_EQ(split("a(b c)d e"), (Statements{{"a(b c)d", "e"}}));
  EXPECT_EQ(split("\"a\"b\"c d\""), (Statements{{"\"a\"b\"c d\""}}));
  EXPECT_EQ(split("x{ y }z"), (Statements{{"x{ y }z"}}));
}

TEST(Splitter, StrayClosersAreOrdinary) {
  EXPECT_EQ(split("a }"), (Statements{{"a", "}"}}));
  EXPECT_EQ(split("b )"), (Statements{{"b", ")"}}));
  EXPECT_EQ(split(")x }}"), (Statements{{")x", "}}"}}));
  EXPECT_EQ(split("a}b )"), (Statements{{"a}b", ")"}}));
}

TEST(Splitter, AllOtherBytesAreCopied) {
  std::string text("a\0b c\x01\xFF", 7);
  Statements s = split(text);
  ASSERT_EQ(s.size(), 1u);
  ASSERT_EQ(s[0].size(), 2u);
  EXPECT_EQ(s[0][0], std::string("a\0b", 3));
  EXPECT_EQ(s[0][1], std::string("c\x01\xFF", 3));
}

TEST(Splitter, TextEndingInsideAGroupFails) {
  EXPECT_THROW(split("(1 + 2"), OpenGroupError);
  EXPECT_THROW(split("\"abc"), OpenGroupError);
  EXPECT_THROW(split("'abc"), OpenGroupError);
  EXPECT_THROW(split("{ {\n}"), OpenGroupError);
  EXPECT_THROW(split("((1)"), OpenGroupError);
  EXPECT_THROW(split("ok\nx = {"), OpenGroupError);
  EXPECT_THROW(split("'it\"s"), OpenGroupError);
  // The quoted "}" closes the block; the quote after it opens a string that never ends.
  EXPECT_THROW(split("f = { print \"}\" }"), OpenGroupError);
  EXPECT_EQ(split("f = { print \"}"), (Statements{{"f", "=", "{ print \"}"}}));
}

TEST(Splitter, TracePrintsEveryCharacter) {
  testing::RecordingConsole console;
  StatementList list = splitStatements("a\nb", &console);
  std::string out = console.output;
  EXPECT_EQ(out,
            "debugging mode is activated, printing debug information while parsing.\n"
            "0/a\n"
            "1/\n\n"
            "detected newline, reset\n"
            "2/b\n");
  EXPECT_EQ(list.statements.size(), 2u);

  // A line end inside a group is reported too, and stays in the token.
  console.output.clear();
  list = splitStatements("(\n)", &console);
  out = console.output;
  EXPECT_NE(out.find("detected newline, reset"), std::string::npos);
  ASSERT_EQ(list.statements.size(), 1u);
  EXPECT_EQ(list.statements[0][0], "(\n)");

  // Without trace nothing is printed.
  console.output.clear();
  splitStatements("a b\nc");
  EXPECT_EQ(console.output, "");
}

TEST(Splitter, SelfTestPrintsTraceThenStatementsAndTokens) {
  testing::RecordingConsole console;
  runSplitterSelfTest(console);
  std::string out = console.output;
  ASSERT_EQ(out.rfind("testing parser.\n", 0), 0u) << out;
  size_t trace = out.find("debugging mode is activated");
  size_t parsed = out.find("\nparsed.\n");
  ASSERT_NE(trace, std::string::npos);
  ASSERT_NE(parsed, std::string::npos);
  EXPECT_LT(trace, parsed);
  // After "parsed." every statement is "<NS>" and each token ends with "<NE>";
  // the block stays one token with its inner line end.
  std::string listing = out.substr(parsed + 9);
  EXPECT_EQ(listing.rfind("<NS>\nx<NE>\n=<NE>\n5<NE>\n<NS>\nf<NE>\n=<NE>\n{\n    end (arg0 + 1)\n}<NE>\n", 0), 0u)
      << listing;
  EXPECT_NE(listing.find("$print$(\"a b\" 'c')<NE>\n"), std::string::npos);
}

// The first statement's tokens as views must be exactly the splitter's first
// statement, and fail exactly when (and where) the splitter fails, for any
// mix of delimiters, blanks and line ends.
TEST(Splitter, FirstStatementViewsAgreeWithTheSplitter) {
  const char alphabet[] = {'(', ')', '{', '}', '"', '\'', ' ', '\t', '\n', 'a', '1', '$'};
  uint32_t seed = 7;
  for (int round = 0; round < 20000; ++round) {
    std::string text;
    size_t length = round % 13;
    for (size_t i = 0; i < length; ++i) {
      seed = seed * 1103515245u + 12345u;
      text += alphabet[(seed >> 16) % sizeof(alphabet)];
    }
    Tokens expected;
    size_t expectedOffset = 0;
    bool expectedOpen = false;
    try {
      expected = split(text).front();
    } catch (const OpenGroupError& e) {
      expectedOpen = true;
      expectedOffset = e.offset();
    }
    try {
      std::vector<std::string_view> views = firstStatementViews(text);
      ASSERT_FALSE(expectedOpen) << "text " << ::testing::PrintToString(text);
      ASSERT_EQ(Tokens(views.begin(), views.end()), expected) << "text " << ::testing::PrintToString(text);
    } catch (const OpenGroupError& e) {
      ASSERT_TRUE(expectedOpen) << "text " << ::testing::PrintToString(text);
      ASSERT_EQ(e.offset(), expectedOffset) << "text " << ::testing::PrintToString(text);
    }
  }
}

// Random text with groups nested in groups, many of them long, and stray
// quotes, braces and parentheses between them.
void growNested(std::string& out, uint32_t& seed, int depth) {
  auto next = [&] { return (seed = seed * 1103515245u + 12345u) >> 16; };
  static constexpr std::string_view kBytes = "ab  \n\"'{}()";
  while (next() % 16 != 0 && out.size() < 4000) {
    uint32_t r = next() % 10;
    if (r < 3 && depth < 60) {
      out += r == 0 ? '{' : '(';
      growNested(out, seed, depth + 1);
      out += r == 0 ? '}' : ')';
    } else {
      out += kBytes[next() % kBytes.size()];
    }
  }
}

// Splitting passes over long groups without reading them through; it must
// give the tokens and errors of a traced split, which reads every byte, at
// every level: the inside of each group token is split again, as a slice of
// the same bytes.
void expectSplitsAgree(const Text& text, int level) {
  testing::RecordingConsole trace;
  std::optional<StatementList> traced, passed;
  size_t tracedOpen = 0, passedOpen = 0, viewsOpen = 0;
  try { traced = splitStatements(text, &trace); } catch (const OpenGroupError& e) { tracedOpen = e.offset() + 1; }
  try { passed = splitStatements(text); } catch (const OpenGroupError& e) { passedOpen = e.offset() + 1; }
  std::vector<std::string_view> views;
  try { views = firstStatementViews(text.view(), &text); } catch (const OpenGroupError& e) { viewsOpen = e.offset() + 1; }
  ASSERT_EQ(passedOpen, tracedOpen) << text.view();
  ASSERT_EQ(viewsOpen, tracedOpen) << text.view();
  if (tracedOpen) return;
  ASSERT_EQ(passed->statements, traced->statements) << text.view();
  ASSERT_EQ(Tokens(views.begin(), views.end()), Tokens(split(text.view()).front())) << text.view();
  for (const Statement& s : passed->statements)
    for (const Text& t : s)
      if (level < 100 && t.size() >= 2 && (t.front() == '(' || t.front() == '{'))
        expectSplitsAgree(textWithoutEnds(t), level + 1);
}

TEST(Splitter, LongGroupsSplitAsWhenReadThrough) {
  uint32_t seed = 11;
  for (int round = 0; round < 200; ++round) {
    std::string bytes;
    while (bytes.size() < 300) growNested(bytes, seed, 0);
    expectSplitsAgree(Text(bytes), 0);
  }
}

}  // namespace
}  // namespace velk
