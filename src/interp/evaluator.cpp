// The expression evaluator: terms and operators strictly from left to right.
#include "interp/interpreter.h"
#include "value/error.h"
#include "value/numbers.h"
#include "value/stack_guard.h"

namespace velk {
namespace {

const Text kNot("not");

bool isNot(const Text& token) { return token == kNot; }

[[noreturn]] void missingOperand(const Text& text, const char* what) {
  fail("missing operand", std::string(what) + " in the expression " + quoteForReport(text.view()));
}

// `not` before a later term: the term's truth inverted, as an integer.
Value negatedTerm(const Value& v) { return Value::integer(v.intValue == 0 ? 1 : 0); }

Value runBlock(const Text& block, const VarMap& vars) {
  ProgramRef program = innerProgram(block, "block");
  VarMap scope = vars;  // names the block creates or rebinds stay in this copy
  ExecResult r = executeStatements(*program, &scope, nullptr);
  return std::move(r.result);
}

}  // namespace

Value evaluateTerm(const Text& term, const VarMap& vars, bool runBlocks) {
  // A variable hides any literal of the same spelling.
  if (const Value* v = vars.find(term)) return *v;
  const TermForm& form = termForm(term);
  switch (form.kind) {
    case TermKind::Call: return dispatchCall(term, vars);
    case TermKind::Group: return evaluateExpression(term, vars, true);
    case TermKind::Block:
      if (runBlocks) return runBlock(term, vars);
      {
        Value func;
        func.typeName = kFunc;
        func.text = term;
        return func;
      }
    case TermKind::Literal: return form.literal;
    case TermKind::BadNumber:
      // Reading again raises the error with its detail.
      if (term.view().find('.') != std::string_view::npos) readFloat(term.str());
      readInteger(term.view());
      break;
  }
  fail("unreadable term", quoteForReport(term.view()));
}

Value evaluateExpression(const Text& text, const VarMap& vars, bool runBlocks) {
  checkStack();
  ExprFormRef form = exprForm(text);
  const std::vector<Text>& tokens = form->tokens;
  const size_t n = tokens.size();
  // A single term is its own value.
  if (n == 1 && !isNot(tokens[0])) return evaluateTerm(tokens[0], vars, runBlocks);
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
    Value a = evaluateTerm(tokens[i++], vars, runBlocks);
    if (negateTerm) a = negatedTerm(a);
    // An empty pending operator (two blanks in a row) is no operator at all.
    if (pending && !pending->empty()) a = applyOperator(running, a, opForm(*pending));
    if (i == n) {
      running = std::move(a);
      if (firstStep && negate) running.intValue = running.intValue == 0 ? 1 : 0;
      break;
    }
    const Text& op = tokens[i++];
    if (i == n) missingOperand(text, ("no term after the operator " + quoteForReport(op.view())).c_str());
    Value b = evaluateTerm(tokens[i++], vars, runBlocks);
    running = applyOperator(a, b, opForm(op));
    if (firstStep && negate) running = Value::integer(running.intValue <= 0 ? 1 : 0);
    firstStep = false;
    if (i == n) break;
    pending = &tokens[i++];
  }
  return running;
}

}  // namespace velk
