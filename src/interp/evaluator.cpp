// The expression evaluator: terms and operators strictly from left to right.
//
// Operands are read where they lie (a variable's Value, a literal kept in the
// expression's form) when nothing can run between reading them and the
// operator using them; before a term that can run code (a call, a group, a
// block) the operand on its left is copied, so that what the code changes is
// not seen in a value that was already read.
#include "interp/evaluator.h"

#include <cassert>
#include <cstdlib>

#include "interp/fast_paths.h"

#include "interp/calls.h"
#include "interp/executor.h"
#include "interp/integer_operators.h"
#include "interp/interpreter.h"
#include "interp/operators.h"
#include "parse/literal.h"
#include "support/error.h"
#include "support/near_names.h"
#include "support/stack_guard.h"

namespace velk {

using term_reading::integerStep;
using term_reading::keptLiteral;
using term_reading::quickStep;
using term_reading::rememberedTerm;
using term_reading::unhiddenTerm;

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
  // Names the block creates or rebinds stay in its copy of the scope.
  return executeBlock(interp, *program, vars);
}

// A term that is no variable and does not read as a number. Reading it again
// raises the reading's own error ("stoi", "stof"); one that holds no number
// at all is told in words for what it is not, with the nearest variable of
// `vars` (the map it was looked up in) as a suggestion. A number too large to
// fit stays the reading's error, since the term is a number.
[[noreturn, gnu::cold, gnu::noinline]] void unknownTerm(const Text& term, const VarMap& vars) {
  try {
    readLiteral(term);
  } catch (const VelkError& e) {
    if (e.kind() != ErrorKind::InvalidArgument) throw;
    NearestName near(term.view(), kMaxNamesCompared);
    // A name bound to nothing yet (the target of the assignment that is
    // running, say) is no name the term was meant to be.
    if (term.size() > 1)
      vars.forEach([&near](const Text& name, const ValueRef& v) {
        if (v->typeName != kUnspecified) near.consider(name.view());
      });
    failUnknownTerm(e, term, "a variable or a number", near.best());
  }
  assert(!"a term that did not read once reads now");
  std::abort();
}

bool holds(const ValueSlot& slot, const Value* v) { return slot && &*slot == v; }

// The value of a term whose syntax is known.
Value termValue(Interpreter& interp, const TermSyntax& form, const Text& term, const VarMap& vars, Blocks blocks) {
  switch (form.kind) {
    case TermKind::Call: return dispatchCall(interp, form.call, term, vars);
    case TermKind::Group: {
      ValueSlot scratch;
      const Value& v = evaluateInPlace(interp, term, form.group, vars, Blocks::Run, scratch);
      if (holds(scratch, &v)) return std::move(*scratch);
      return v;
    }
    case TermKind::Block:
      if (blocks == Blocks::Run) return runBlock(interp, term, vars);
      return Value::func(term);
    case TermKind::Literal: return form.literal;
    case TermKind::BadNumber: unknownTerm(term, vars);
  }
  assert(!"a term of no known kind");
  std::abort();
}

// A term that runs no code, whether or not a variable bears its name: a
// literal, or a number that does not read (which raises its error at once).
bool isQuietSyntax(TermKind k) { return k == TermKind::Literal || k == TermKind::BadNumber; }

// Term i evaluated into `slot`: a term that is neither a variable nor a kept
// literal.
[[gnu::noinline]] const Value& evaluatedTerm(Interpreter& interp, const ExpressionForm& form, size_t i,
                                             const VarMap& vars, Blocks blocks, ValueSlot& slot) {
  const TermSyntax& syntax = form.terms[i];
  try {
    if (syntax.kind == TermKind::Call) {
      dispatchCall(interp, syntax.call, form.tokens[i], vars, slot);  // the result made in the slot at once
      return *slot;
    }
    // A group's value is made in the slot, or read where it lies (see
    // evaluateSteps for how an operand read so is kept from later terms).
    if (syntax.kind == TermKind::Group) return evaluateInPlace(interp, form.tokens[i], syntax.group, vars, Blocks::Run, slot);
    slot = termValue(interp, syntax, form.tokens[i], vars, blocks);
    return *slot;
  } catch (VelkError& e) {
    e.noteTerm(form.tokens[i].view());  // the innermost term wins, for the caret at a terminal
    throw;
  }
}

// Term i where it lies when it is a variable or a literal kept in the form:
// the one place that decides between the two. A variable hides any literal
// of the same spelling, so the name is looked up first, unless the map binds
// no name that could read as a literal. Null for a term that is neither (a
// call, a group, a block, a number that does not read, or a literal of a
// form that is not kept), which evaluatedTerm then gives.
// The name looked up is `name`, spelt like the term.
inline const Value* quietTermRef(const ExpressionForm& form, size_t i, const VarMap& vars, const Text& name) {
  if (unhiddenTerm(form, i, vars)) return keptLiteral(form, i);
  if (const Value* v = vars.find(name, form.memos[i])) return v;
  return keptLiteral(form, i);
}
inline const Value* quietTermRef(const ExpressionForm& form, size_t i, const VarMap& vars) {
  return quietTermRef(form, i, vars, form.tokens[i]);
}

// The Value of term i: where it lies for a variable or a kept literal, else
// evaluated into `slot`.
inline const Value& termRef(Interpreter& interp, const ExpressionForm& form, size_t i, const VarMap& vars,
                            Blocks blocks, ValueSlot& slot, const Text& name) {
  if (const Value* v = quietTermRef(form, i, vars, name)) return *v;
  return evaluatedTerm(interp, form, i, vars, blocks, slot);
}

// Two numbers, one of them a float, joined by an arithmetic operator or an
// ordering: the result made in `slot`, as applyOperator would make it; else
// false. Either operand may lie in the slot.
[[gnu::noinline]] bool floatInto(ValueSlot& slot, const Value& a, const Value& b, Op op) {
  auto isNumber = [](const Value& v) { return v.typeName == kInteger || v.typeName == kFloat; };
  if (!isNumber(a) || !isNumber(b)) return false;
  const long double l = asFloat(a), r = asFloat(b);
  long double x;
  bool truth;
  if (floatArithmetic(op, l, r, x)) {
    Value& v = slot.emplace();
    v.typeName = kFloat;
    v.floatValue = x;
  } else if (floatOrdering(op, l, r, truth)) {
    Value& v = slot.emplace();
    v.typeName = kInteger;
    v.intValue = truth ? 1 : 0;
  } else {
    return false;
  }
  return true;
}

// `a op b` made in `slot`: two numbers in place, as applyOperator would make
// them, anything else by applyOperator. Either operand may lie in the slot.
inline void applyInto(ValueSlot& slot, const Value& a, const Value& b, Op op, const RunLimits& limits) {
  int64_t n;
  if (fast_path::kNumberStep && integerStep(a, b, op, n)) {
    if constexpr (fast_path::kCheck) fast_path::checkSame("NUMBER_STEP", Value::integer(n), applyOperator(a, b, op, limits));
    Value& r = slot.emplace();
    r.typeName = kInteger;
    r.intValue = n;
    return;
  }
  if constexpr (fast_path::kNumberStep && fast_path::kCheck) {
    Value general = applyOperator(a, b, op, limits);
    if (floatInto(slot, a, b, op)) {
      fast_path::checkSame("NUMBER_STEP", *slot, general);
      return;
    }
    slot = std::move(general);
    return;
  }
  if (fast_path::kNumberStep && (a.typeName == kFloat || b.typeName == kFloat) && floatInto(slot, a, b, op)) return;
  slot = applyOperator(a, b, op, limits);
}

// Expressions of more than one term (or a lone `not` term): the result into
// `running`.
void evaluateSteps(Interpreter& interp, const Text& text, const ExpressionForm& form, const VarMap& vars,
                   Blocks blocks, ValueSlot& running) {
  const std::vector<Text>& tokens = form.tokens;
  const size_t n = tokens.size();
  size_t i = 0;
  size_t pending = n;  // the token index of the pending operator, if any
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
    ValueSlot aSlot;
    const Value* a = &termRef(interp, form, i, vars, blocks, aSlot, form.tokens[i]);
    ++i;
    if (negateTerm) {
      aSlot = negatedTerm(*a);
      a = &*aSlot;
    }
    // An empty pending operator (two blanks in a row) is no operator at all.
    if (pending < n && !tokens[pending].empty()) {
      applyInto(aSlot, *running, *a, form.ops[pending], interp.limits());
      a = &*aSlot;
    }
    if (i == n) {
      if (holds(aSlot, a))
        running = std::move(*aSlot);
      else
        running = *a;
      if (firstStep && negate) running->intValue = running->intValue == 0 ? 1 : 0;
      break;
    }
    const size_t op = i++;
    if (i == n) missingOperand(text, ("no term after the operator " + quoteForReport(tokens[op].view())).c_str());
    // The left operand is fixed before a term that can run code (one that
    // is neither a variable nor quiet by its syntax).
    const Value* bInPlace = quietTermRef(form, i, vars);
    if (!bInPlace && !holds(aSlot, a) && !isQuietSyntax(form.terms[i].kind)) {
      aSlot = *a;
      a = &*aSlot;
    }
    ValueSlot bSlot;
    const Value& b = bInPlace ? *bInPlace : evaluatedTerm(interp, form, i, vars, blocks, bSlot);
    ++i;
    applyInto(running, *a, b, form.ops[op], interp.limits());
    if (firstStep && negate) running = Value::integer(running->intValue <= 0 ? 1 : 0);
    firstStep = false;
    if (i == n) break;
    pending = i++;
  }
}

}  // namespace

void failUnknownTerm(const VelkError& reading, const Text& term, std::string_view whatItIsNot,
                     std::string_view meant) {
  std::string detail;
  if (term.empty()) {
    // Two blanks in a row, a blank after "(", or "()" leave an empty term.
    detail = "an empty term (two blanks in a row, a blank after `(`, or `()`) is not ";
    detail.append(whatItIsNot);
  } else {
    detail = quoteForReport(term.view()) + " is not ";
    detail.append(whatItIsNot);
    // `not` negates only where a step starts: (1 and not 0) reads it as a term.
    if (term == kNot) detail += "; write the negation as a group of its own: `(not x)`";
  }
  detail += didYouMean(meant);
  throw VelkError(reading.what(), reading.kind(), std::move(detail));
}

const Value& evaluateInPlaceFully(Interpreter& interp, const Text& text, const ExpressionForm*& kept,
                                  const VarMap& vars, Blocks blocks, ValueSlot& scratch) {
  checkStack();
  ExpressionFormRef fresh;  // holds a form that is not kept beside its text
  const ExpressionForm* form = kept;
  if (!form) {
    fresh = expressionForm(text);
    form = fresh.get();
    if (form->kept) kept = form;
  }
  // A single term is its own value.
  if (form->tokens.size() == 1 && !isNot(form->tokens[0])) {
    const Value& v = termRef(interp, *form, 0, vars, blocks, scratch, form->tokenIsText ? text : form->tokens[0]);
    // A literal lies in the form, which lives on beside its text.
    return v;
  }
  // Two quiet terms: both read where they lie, as evaluateSteps would.
  if (fast_path::kQuietBinary && form->quietBinary) {
    const Value* a = quietTermRef(*form, 0, vars);
    const Value* b = a ? quietTermRef(*form, 2, vars) : nullptr;
    if (b) {
      applyInto(scratch, *a, *b, form->ops[1], interp.limits());
      if constexpr (fast_path::kCheck) {
        ValueSlot general;
        evaluateSteps(interp, text, *form, vars, blocks, general);
        fast_path::checkSame("QUIET_BINARY", *scratch, *general);
      }
      return *scratch;
    }
  }
  // Two terms, a group among them: an integer made at once when it is one.
  int64_t n;
  if (form->tokens.size() == 3 && (form->terms[0].kind == TermKind::Group || form->terms[2].kind == TermKind::Group) &&
      quickInteger(*form, vars, n)) {
    Value& v = scratch.emplace();
    v.typeName = kInteger;
    v.intValue = n;
    if constexpr (fast_path::kCheck) {
      ValueSlot general;
      evaluateSteps(interp, text, *form, vars, blocks, general);
      fast_path::checkSame("QUICK_INTEGER", *scratch, *general);
    }
    return *scratch;
  }
  evaluateSteps(interp, text, *form, vars, blocks, scratch);
  return *scratch;
}

namespace {


// Groups nested deeper than this take the general path, which guards the
// stack.
constexpr int kQuickDepth = 8;

bool quickIntegerAt(const ExpressionForm& form, const VarMap& vars, int64_t& n, int depth);

// An operand of a quick step: a variable or literal where it lies, or (when
// null) a group's integer.
struct QuickOperand {
  const Value* v;
  int64_t n;
  bool integer(int64_t& out) const {
    if (!v) {
      out = n;
      return true;
    }
    out = v->intValue;
    return v->typeName == kInteger;
  }
};

// `a op b` of two quiet terms, read where they lie.
[[gnu::always_inline]] inline bool quickBinary(const ExpressionForm& form, const VarMap& vars, int64_t& n) {
  const Value* a = quietTermRef(form, 0, vars);
  const Value* b = a ? quietTermRef(form, 2, vars) : nullptr;
  return b && quickStep(*a, *b, form.ops[1], n);
}

[[gnu::always_inline]] inline bool quickOperand(const ExpressionForm& form, size_t i, const VarMap& vars,
                                                QuickOperand& o, int depth) {
  if ((o.v = quietTermRef(form, i, vars))) return true;
  const TermSyntax& term = form.terms[i];
  if (term.kind != TermKind::Group || !term.group) return false;
  // A group of two quiet terms, the most common, is taken here, without
  // going down a level.
  if (term.group->quietBinary) return quickBinary(*term.group, vars, o.n);
  return depth < kQuickDepth && quickIntegerAt(*term.group, vars, o.n, depth + 1);
}

bool quickIntegerAt(const ExpressionForm& form, const VarMap& vars, int64_t& n, int depth) {
  if (form.quietBinary) return quickBinary(form, vars, n);
  const size_t count = form.tokens.size();
  if ((count != 1 && count != 3) || isNot(form.tokens[0])) return false;
  QuickOperand left, right;
  if (!quickOperand(form, 0, vars, left, depth)) return false;
  if (count == 1) return left.integer(n);
  if (!quickOperand(form, 2, vars, right, depth)) return false;
  if (left.v && right.v) return quickStep(*left.v, *right.v, form.ops[1], n);
  int64_t a, b;
  return left.integer(a) && right.integer(b) && integerOperation(form.ops[1], a, b, n);
}

}  // namespace

bool quickInteger(const ExpressionForm& form, const VarMap& vars, int64_t& n) {
  if (!fast_path::kQuickInteger) return false;
  // A form that keeps giving something else (floats, say) is mostly not
  // tried, so that it costs next to nothing.
  uint32_t& misses = form.quickMisses;
  if (misses >= ExpressionForm::kQuickGiveUp && ++misses % ExpressionForm::kQuickRetryEvery != 0) return false;
  if (quickIntegerAt(form, vars, n, 0)) {
    misses = 0;
    return true;
  }
  if (misses < ExpressionForm::kQuickGiveUp) ++misses;
  return false;
}

namespace {

bool generalTruth(Interpreter& interp, const Text& text, const ExpressionForm*& kept, const VarMap& vars) {
  ValueSlot scratch;
  return asInt(evaluateInPlace(interp, text, kept, vars, Blocks::Run, scratch)) != 0;
}


}  // namespace

bool checkedTruth(Interpreter& interp, const Text& text, const ExpressionForm*& kept, const VarMap& vars,
                  bool truth) {
  if constexpr (fast_path::kCheck) fast_path::checkSame("QUICK_INTEGER", truth, generalTruth(interp, text, kept, vars));
  return truth;
}

bool evaluateConditionFully(Interpreter& interp, const Text& text, const ExpressionForm*& kept, const VarMap& vars) {
  int64_t n;
  if (kept && quickInteger(*kept, vars, n)) return checkedTruth(interp, text, kept, vars, n != 0);
  return generalTruth(interp, text, kept, vars);
}


const Value& evaluateInPlace(Interpreter& interp, const Text& text, const VarMap& vars, Blocks blocks,
                             ValueSlot& scratch) {
  const ExpressionForm* form = nullptr;
  return evaluateInPlace(interp, text, form, vars, blocks, scratch);
}

Value evaluateExpression(Interpreter& interp, const Text& text, const VarMap& vars, Blocks blocks) {
  ValueSlot scratch;
  const Value& v = evaluateInPlace(interp, text, vars, blocks, scratch);
  if (holds(scratch, &v)) return std::move(*scratch);
  return v;
}

// Builtins reach it through the evaluator interface only, by a virtual call.
Value Interpreter::evaluate(const Text& text, const VarMap& vars) {
  return evaluateExpression(*this, text, vars, Blocks::Run);
}

}  // namespace velk
