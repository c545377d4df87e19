// The expression evaluator: terms and operators strictly from left to right.
#include "interp/interpreter.h"
#include <cassert>

#include "parse/literal.h"
#include "support/error.h"
#include "support/stack_guard.h"

namespace velk {
namespace {

const Text kNot("not");

bool isNot(const Text& token) { return token == kNot; }

[[noreturn]] void missingOperand(const Text& text, const char* what) {
  fail("missing operand", std::string(what) + " in the expression " + quoteForReport(text.view()));
}

// `not` before a later term: the term's truth inverted, as an integer.
Value negatedTerm(const Value& v) { return Value::integer(v.intValue == 0 ? 1 : 0); }

Value runBlock(Interpreter& interp, const Text& block, const VarMap& vars) {
  ProgramRef program = innerProgram(block, "block");
  VarMap scope = vars;  // names the block creates or rebinds stay in this copy
  ExecResult r = executeStatements(interp, *program, &scope, nullptr);
  return std::move(r.result);
}

// A term that is no variable and does not read as a number. Reading it again
// raises the reading's own error ("stoi", "stof"); one that holds no number
// at all is told in words for what it is not. A number too large to fit stays
// the reading's error, since the term is a number.
[[noreturn]] void unknownTerm(const Text& term) {
  try {
    readLiteral(term);
  } catch (const VelkError& e) {
    if (e.kind() != ErrorKind::InvalidArgument) throw;
    failUnknownTerm(e, term, "variable or number");
  }
  assert(!"a term that did not read once reads now");
  fail("unreadable term", quoteForReport(term.view()));
}

// The value of a term whose syntax is known.
Value termValue(Interpreter& interp, const TermSyntax& form, const Text& term, const VarMap& vars, Blocks blocks) {
  switch (form.kind) {
    case TermKind::Call: return dispatchCall(interp, term, vars);
    case TermKind::Group: return evaluateExpression(interp, term, vars, Blocks::Run);
    case TermKind::Block:
      if (blocks == Blocks::Run) return runBlock(interp, term, vars);
      return Value::func(term);
    case TermKind::Literal: return form.literal;
    case TermKind::BadNumber: unknownTerm(term);
  }
  assert(!"a term of no known kind");
  fail("unreadable term", quoteForReport(term.view()));
}

// Without the parse cache: the syntax made afresh, apart from the hot path.
[[gnu::noinline]] Value uncachedTermValue(Interpreter& interp, const Text& term, const VarMap& vars, Blocks blocks) {
  TermSyntax fresh = parseTerm(term);
  return termValue(interp, fresh, term, vars, blocks);
}

}  // namespace

void failUnknownTerm(const VelkError& reading, const Text& term, std::string_view whatItIsNot) {
  std::string detail;
  if (term.empty()) {
    // Two blanks in a row, a blank after "(", or "()" leave an empty term.
    detail = "an empty term is no ";
    detail.append(whatItIsNot);
  } else {
    detail = quoteForReport(term.view()) + " is no ";
    detail.append(whatItIsNot);
    // `not` negates only where a step starts: (1 and not 0) reads it as a term.
    if (term == kNot) detail += " (write the negation as a group of its own: `(not x)`)";
  }
  throw VelkError(reading.what(), reading.kind(), std::move(detail));
}

Value evaluateTerm(Interpreter& interp, const Text& term, const VarMap& vars, Blocks blocks) {
  // A variable hides any literal of the same spelling.
  if (const Value* v = vars.find(term)) return *v;
  const TermSyntax* form = cachedTermSyntax(term);
  if (!form) return uncachedTermValue(interp, term, vars, blocks);
  return termValue(interp, *form, term, vars, blocks);
}

Value evaluateExpression(Interpreter& interp, const Text& text, const VarMap& vars, Blocks blocks) {
  checkStack();
  TokenListRef form = expressionTokens(text);
  const std::vector<Text>& tokens = form->tokens;
  const size_t n = tokens.size();
  // A single term is its own value.
  if (n == 1 && !isNot(tokens[0])) return evaluateTerm(interp, tokens[0], vars, blocks);
  size_t i = 0;
  Value running = Value::integer(0);
  const Text* pending = nullptr;
  bool negate = false;
  bool firstStep = true;

  if (n > 0 && isNot(tokens[0])) {
    negate = true;
    ++i;
    if (i == n) missingOperand(text, "`not` without a term");
  }
  while (i < n) {
    bool negateTerm = false;
    if (!firstStep && isNot(tokens[i])) {
      negateTerm = true;
      if (++i == n) missingOperand(text, "`not` without a term");
    }
    Value a = evaluateTerm(interp, tokens[i++], vars, blocks);
    if (negateTerm) a = negatedTerm(a);
    // An empty pending operator (two blanks in a row) is no operator at all.
    if (pending && !pending->empty()) a = applyOperator(running, a, operatorOf(*pending));
    if (i == n) {
      running = std::move(a);
      if (firstStep && negate) running.intValue = running.intValue == 0 ? 1 : 0;
      break;
    }
    const Text& op = tokens[i++];
    if (i == n) missingOperand(text, ("no term after the operator " + quoteForReport(op.view())).c_str());
    Value b = evaluateTerm(interp, tokens[i++], vars, blocks);
    running = applyOperator(a, b, operatorOf(op));
    if (firstStep && negate) running = Value::integer(running.intValue <= 0 ? 1 : 0);
    firstStep = false;
    if (i == n) break;
    pending = &tokens[i++];
  }
  return running;
}

}  // namespace velk
