// Evaluating expression texts: terms, strict left-to-right combination,
// `not`, literals, groups, blocks and calls.
#include <cstdint>

#include "interp/interpreter.h"
#include "interp/evaluator.h"
#include "parse/literal.h"
#include "test_support.h"

namespace velk {
namespace {

class Evaluator : public ::testing::Test {
 protected:
  Value eval(std::string_view text, Blocks blocks = Blocks::Run) {
    return evaluateExpression(session.interp, Text(text), vars, blocks);
  }
  int64_t evalInt(std::string_view text) {
    Value v = eval(text);
    EXPECT_EQ(v.typeName, kInteger) << text;
    return v.intValue;
  }
  ValueRef define(const char* name, Value v) {
    ValueRef ref = newValue(std::move(v));
    vars.set(Text(name), ref);
    return ref;
  }

  testing::TestInterpreter session;
  VarMap vars;
};

TEST_F(Evaluator, NoPrecedenceStrictlyLeftToRight) {
  EXPECT_EQ(evalInt("(1 + 2 * 3)"), 9);
  EXPECT_EQ(evalInt("(10 - 2 - 3)"), 5);
  EXPECT_EQ(evalInt("(2 - 3 - 4 - 5)"), -10);
  EXPECT_EQ(evalInt("(1 + 2 * 3 - 4)"), 5);
  EXPECT_EQ(evalInt("(2 * (3 + 4))"), 14);
  EXPECT_EQ(evalInt("((1 + 2) * 3)"), 9);
  EXPECT_EQ(evalInt("(1 < 2 == 1)"), 1);
  EXPECT_EQ(evalInt("7"), 7);
  EXPECT_EQ(evalInt("(7)"), 7);
  EXPECT_EQ(evalInt("((((7))))"), 7);
}

TEST_F(Evaluator, TokensAndBlanks) {
  EXPECT_EQ(evalInt("1+2"), 1);  // one token, read as an integer up to "+"
  EXPECT_VELK_ERROR(eval("a+b"), "stoi");
  EXPECT_EQ(evalInt("(1 + 2 )"), 3);  // the trailing empty token is a pending operator never used
  EXPECT_VELK_ERROR(eval("( 1 + 2)"), "stoi");  // a leading empty term
  EXPECT_VELK_ERROR(eval("(1 + 2) * 3"), "stoi");  // outer "(" and the last "3" are cut
  EXPECT_EQ(evalInt("1\n2"), 1);  // later lines are ignored
  EXPECT_EQ(evalInt("(1 + 2\n* 10)"), 3);
}

TEST_F(Evaluator, EmptyPendingOperatorIsNotApplied) {
  // Two blanks after a pair leave an empty token in the operator position;
  // an empty pending operator combines nothing, so the next term starts afresh.
  EXPECT_EQ(evalInt("(1 + 2  5)"), 5);
  EXPECT_EQ(evalInt("(1 + 2  5 * 2)"), 10);
}

TEST_F(Evaluator, EmptyAndIncompleteExpressions) {
  EXPECT_VELK_ERROR(eval(""), "stoi");
  EXPECT_VELK_ERROR(eval("()"), "stoi");
  EXPECT_VELK_ERROR(eval("("), "stoi");
  EXPECT_VELK_ERROR(eval("(1 +)"), "missing operand");
  EXPECT_VELK_ERROR(eval("(1 + 2 - 3 *)"), "missing operand");
  EXPECT_VELK_ERROR(eval("(not)"), "missing operand");
  EXPECT_VELK_ERROR(eval("not"), "missing operand");
  EXPECT_EQ(evalInt("(1 + 2 +)"), 3);  // a pending operator without a term is dropped
  EXPECT_VELK_ERROR(eval("(1 + not)"), "stoi");  // "not" in a term position is a bare word
}

TEST_F(Evaluator, NotNegatesTheFirstTermOrPair) {
  EXPECT_EQ(evalInt("(not 0)"), 1);
  EXPECT_EQ(evalInt("(not 7)"), 0);
  EXPECT_EQ(evalInt("(not -1)"), 0);  // a lone term: only zero becomes 1
  EXPECT_EQ(evalInt("(not 1 == 2)"), 1);
  EXPECT_EQ(evalInt("(not 3 - 5)"), 1);  // -2 is less than or equal to 0
  EXPECT_EQ(evalInt("(not 3 - 2)"), 0);
  EXPECT_EQ(evalInt("(not 1 == 1 or 1)"), 1);
  EXPECT_EQ(evalInt("(not 1 == 1 and 1)"), 0);
  EXPECT_EQ(evalInt("(not 2 == 2 + 5)"), 5);  // (not (2 == 2)) + 5

  Value half = eval("(not 0.5)");
  EXPECT_EQ(half.typeName, kFloat);  // a lone negated term keeps its type
  EXPECT_EQ(half.floatValue, 0.5L);
  EXPECT_EQ(half.intValue, 1);
  Value s = eval("(not \"x\")");
  EXPECT_EQ(s.typeName, kString);
  EXPECT_EQ(s.text, "x");
  EXPECT_EQ(s.intValue, 1);
}

TEST_F(Evaluator, NotBeforeALaterTermNegatesThatTerm) {
  EXPECT_EQ(evalInt("(1 + 2 and not 0)"), 1);
  EXPECT_EQ(evalInt("(1 + 2 and not 5)"), 0);
  EXPECT_EQ(evalInt("(1 + 1 + not 0)"), 3);
  EXPECT_VELK_ERROR(eval("(1 + 2 and not)"), "missing operand");
}

TEST_F(Evaluator, NumberLiterals) {
  EXPECT_EQ(evalInt("2147483647"), 2147483647);
  EXPECT_EQ(evalInt("-2147483648"), INT64_C(-2147483648));
  EXPECT_VELK_ERROR_KIND(eval("2147483648"), "stoi", ErrorKind::OutOfRange);
  EXPECT_EQ(evalInt("12ab"), 12);
  EXPECT_EQ(evalInt("1e5"), 1);
  EXPECT_EQ(evalInt("0x1F"), 0);
  EXPECT_EQ(evalInt("-3"), -3);

  Value f = eval("1.5x");
  EXPECT_EQ(f.typeName, kFloat);
  EXPECT_EQ(f.floatValue, 1.5L);
  EXPECT_EQ(eval("1.2.3").floatValue, static_cast<long double>(1.2f));
  EXPECT_EQ(eval("0.1").floatValue, static_cast<long double>(0.1f));
  EXPECT_EQ(eval(".5").floatValue, 0.5L);
  EXPECT_EQ(eval("1.").typeName, kFloat);
  EXPECT_VELK_ERROR_KIND(eval("x.y"), "stof", ErrorKind::InvalidArgument);
  EXPECT_VELK_ERROR_KIND(eval("1e40.0"), "stof", ErrorKind::OutOfRange);
}

TEST_F(Evaluator, StringLiteralsHaveNoEscapes) {
  EXPECT_EQ(eval("\"ab\"").text, "ab");
  EXPECT_EQ(eval("'ab'").text, "ab");
  EXPECT_EQ(eval("\"a\\nb\"").text, "a\\nb");
  EXPECT_EQ(eval("\"\"").text, "");
  EXPECT_EQ(eval("\"\"").typeName, kString);
  EXPECT_EQ(eval("'say \"hi\"'").text, "say \"hi\"");
  EXPECT_EQ(eval("\"a b\nc\"").text, "a b\nc");
  EXPECT_EQ(eval("(\"ab\" + \"cd\" + 'e')").text, "abcde");
  // The closing character is not checked against the opening one.
  EXPECT_EQ(readLiteral(Text("\"ab'")).text, "ab");
}

TEST_F(Evaluator, VariablesAreLookedUpFirst) {
  ValueRef x = define("x", Value::integer(5));
  EXPECT_EQ(evalInt("(x + 1)"), 6);
  EXPECT_EQ(evalInt("x"), 5);
  EXPECT_VELK_ERROR(eval("(y + 1)"), "stoi");
  EXPECT_VELK_ERROR(eval("X"), "stoi");  // names are case-sensitive

  // A variable whose name looks like a literal hides the literal.
  define("5", Value::integer(7));
  define("not", Value::integer(0));
  EXPECT_EQ(evalInt("(5 + 1)"), 8);
  EXPECT_EQ(evalInt("(1 + not)"), 1);

  // The result is a copy of the variable's Value.
  Value copy = eval("x");
  copy.intValue = 99;
  EXPECT_EQ(x->intValue, 5);

  Value list = testing::listOf({Value::integer(1)});
  ValueRef l = define("l", list);
  Value listCopy = eval("l");
  listCopy.elements.push(newValue(Value::integer(2)));
  EXPECT_EQ(l->elements.size(), 1u);
}

TEST_F(Evaluator, UnknownOperatorGivesUnspecified) {
  EXPECT_EQ(eval("(1 % 2)").typeName, kUnspecified);
  EXPECT_EQ(evalInt("(1 % 2 + 3)"), 3);  // unspecified counts as 0 afterwards
}

TEST_F(Evaluator, BraceTermsRunOrBecomeFuncs) {
  Value f = eval("{ end 5 }", Blocks::Keep);
  EXPECT_EQ(f.typeName, kFunc);
  EXPECT_EQ(f.text, "{ end 5 }");
  Value spaced = eval("{  end 5  }", Blocks::Keep);
  EXPECT_EQ(spaced.text, "{  end 5  }");  // kept exactly as written
  Value stripped = eval("({ end 5 })", Blocks::Keep);  // outer parentheses are not a group term
  EXPECT_EQ(stripped.typeName, kFunc);
  EXPECT_EQ(stripped.text, "{ end 5 }");
  EXPECT_EQ(eval("(({ end 5 }))", Blocks::Keep).intValue, 5);  // a group always runs its blocks

  EXPECT_EQ(evalInt("{ end 5 }"), 5);
  EXPECT_EQ(evalInt("({ end 5 })"), 5);
  EXPECT_EQ(evalInt("{ x = 1 }"), 0);  // no `end`: integer 0
  EXPECT_EQ(evalInt("({ end 2 } * { end 3 })"), 6);
}

TEST_F(Evaluator, BlocksRunStatementsAgainstTheVariables) {
  ValueRef x = define("x", Value::integer(5));
  EXPECT_EQ(evalInt("{ end (x * 2) }"), 10);
  EXPECT_EQ(evalInt("{ y = 3\nend (y + 1) }"), 4);
  EXPECT_EQ(evalInt("{ end 1\nend 2 }"), 1);  // `end` stops the run
  EXPECT_EQ(evalInt("{ z = 5\nz += 2\nend z }"), 7);
  EXPECT_EQ(evalInt("{ z = 1 + 2\nend z }"), 1);  // only one expression token is read
  // A longer operator token names its operator by its first character alone;
  // a single character of any kind is a plain assignment.
  EXPECT_EQ(evalInt("{ z = 5\nz *whatever 3\nend z }"), 15);
  EXPECT_EQ(evalInt("{ z = 5\nz -= 7\nend z }"), -2);
  EXPECT_EQ(evalInt("{ z = 5\nz + 3\nend z }"), 3);
  EXPECT_EQ(eval("{ z = 5\nz == 5\nend z }").typeName, kUnspecified);  // "=" is no operator
  EXPECT_EQ(evalInt("{\n\n   \nend 4\n}"), 4);  // blank lines do nothing

  // Assigning to a visible variable changes the shared Value; new names stay inside.
  eval("{ x = 9\nfresh = 1 }");
  EXPECT_EQ(x->intValue, 9);
  EXPECT_EQ(vars.find(Text("fresh")), nullptr);
  EXPECT_VELK_ERROR(eval("fresh"), "stoi");

  // A new variable exists, unspecified, while its own expression is evaluated.
  Value u = eval("{ n = (n + 1)\nend n }");
  EXPECT_EQ(u.typeName, kInteger);
  EXPECT_EQ(u.intValue, 1);

  // Copy-assignment: b gets its own Value.
  EXPECT_EQ(evalInt("{ a = 1\nb = a\nb = 2\nend a }"), 1);
}

TEST_F(Evaluator, CallTerms) {
  EXPECT_EQ(evalInt("$size$(\"abc\")"), 3);
  EXPECT_EQ(evalInt("($size$(\"abc\") + 1)"), 4);
  define("s", Value::string(Text("hello")));
  EXPECT_EQ(evalInt("(1 + $size$(s))"), 6);
}

TEST_F(Evaluator, MemberAccessChains) {
  Value inner;
  inner.typeName = kScaffold;
  inner.changeMembers().set(Text("x"), newValue(Value::integer(3)));
  Value c;
  c.typeName = kScaffold;
  c.changeMembers().set(Text("inner"), newValue(inner));
  define("c", c);
  define("n", Value::string(Text("inner")));
  EXPECT_EQ(evalInt("(c -> \"inner\" -> \"x\")"), 3);
  EXPECT_EQ(evalInt("(c -> n -> \"x\" + 1)"), 4);
  EXPECT_VELK_ERROR(eval("(c -> \"nope\")"), "no such member");
}

// A term that is no variable and no number keeps the reading's own text and
// kind, and says in words what the term is not; a number too large to fit and
// a string read as a number keep the reading's message.
TEST_F(Evaluator, UnknownTermsAreNamedForWhatTheyAreNot) {
  auto detailOf = [this](std::string_view text) {
    try {
      eval(text);
    } catch (const VelkError& e) {
      return std::string(e.what()) + "|" + e.detail();
    }
    return std::string("no error");
  };
  EXPECT_EQ(detailOf("(totl + 1)"), "stoi|`totl` is not a variable or a number");
  EXPECT_EQ(detailOf("x.y"), "stof|`x.y` is not a variable or a number");
  EXPECT_EQ(detailOf("( 1 + 2)"), "stoi|an empty term (two blanks in a row, a blank after `(`, or `()`) is not a variable or a number");
  EXPECT_EQ(detailOf("(1 and not 0)"),
            "stoi|`not` is not a variable or a number; write the negation as a group of its own: `(not x)`");
  // Calling a name that is nothing: a missing function.
  EXPECT_EQ(detailOf("$prnt$(\"hi\")"), "stoi|`prnt` is not a variable, a function or a number; did you mean `print`?");
  EXPECT_EQ(detailOf("$nothing"), "stoi|`nothing` is not a variable, a function or a number");
  // A callee that is a group, or whose body fails, is not a missing function.
  EXPECT_EQ(detailOf("$(nothing)$(1)"), "stoi|`nothing` is not a variable or a number");
  define("f", Value::func(Text("{ end (1 + missing) }")));
  EXPECT_EQ(detailOf("$f"), "stoi|`missing` is not a variable or a number");
  define("g", Value::func(Text("{ end $h }")));
  EXPECT_EQ(detailOf("$g"), "stoi|`h` is not a variable, a function or a number");
  // An argument of a user call that is nothing is a term, not a function.
  EXPECT_EQ(detailOf("$f$(zzz)"), "stoi|`zzz` is not a variable or a number");

  EXPECT_VELK_ERROR_KIND(eval("(totl + 1)"), "stoi", ErrorKind::InvalidArgument);
  EXPECT_VELK_ERROR_THEN(eval("99999999999"), "stoi",
                         EXPECT_EQ(e_.detail(), "`99999999999` is outside the integer range -2147483648 to 2147483647"));
  EXPECT_VELK_ERROR_THEN(eval("(2 * \"ab\")"), "stoi", EXPECT_EQ(e_.detail(), "the string `ab` is not a number for `*`"));
  EXPECT_VELK_ERROR_THEN(eval("$int$(\"zz\")"), "stoi", EXPECT_EQ(e_.detail(), "the text `zz` does not start with an integer"));
}

}  // namespace
}  // namespace velk
