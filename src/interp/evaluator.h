// The expression evaluator: an expression text's terms and operators taken
// strictly from left to right, no precedence.
#pragma once

#include <cstdint>
#include <string_view>

#include "interp/fast_paths.h"
#include "interp/integer_operators.h"
#include "interp/interpreter.h"
#include "interp/parse_cache.h"

namespace velk {

class VelkError;

// What a brace term in an expression stands for: with Run, it runs at once and
// stands for its result; with Keep, it becomes a func Value.
enum class Blocks { Run, Keep };

// Evaluates an expression text left to right, no precedence.
Value evaluateExpression(Interpreter& interp, const Text& text, const VarMap& vars, Blocks blocks);
// Raises the error for a term that is neither a variable nor a number, which
// reading it as a number raised as `reading`: in words what the term is not
// ("`prnt` is not a variable or a number"), the name it was most likely meant
// to be when there is one (`meant`), and the reading's own text ("stoi").
[[noreturn]] void failUnknownTerm(const VelkError& reading, const Text& term, std::string_view whatItIsNot,
                                  std::string_view meant);
// How many names a suggestion for a misspelt one compares at most, so that a
// failure in a scope of very many variables stays quick.
inline constexpr size_t kMaxNamesCompared = size_t{1} << 17;
// The same value, read where it lies when the expression is a lone variable or
// literal (valid until anything runs or rebinds a name), else computed into
// `scratch`. For callers that only read the value.
const Value& evaluateInPlace(Interpreter& interp, const Text& text, const VarMap& vars, Blocks blocks,
                             ValueSlot& scratch);
// The same for a statement's expression operand, whose kept form is
// remembered in `kept` (CompiledStatement::operandForm) once it is known.
inline const Value& evaluateInPlace(Interpreter& interp, const Text& text, const ExpressionForm*& kept,
                                    const VarMap& vars, Blocks blocks, ValueSlot& scratch);
// evaluateInPlace apart from a lone term read through its remembered lookup.
const Value& evaluateInPlaceFully(Interpreter& interp, const Text& text, const ExpressionForm*& kept,
                                  const VarMap& vars, Blocks blocks, ValueSlot& scratch);
// The integer the expression of `form` gives, in `n`, when evaluating it runs
// no code and gives an integer at every step: one term, or two joined by an
// operator, each a variable or a literal or a group of the same kind, where
// each step joins two integers by an operator that gives an integer or
// compares two texts for equality. Computed without making a Value; false,
// with nothing changed or raised, for anything else.
bool quickInteger(const ExpressionForm& form, const VarMap& vars, int64_t& n);
// A statement's condition: its value (brace blocks run) read as an integer is
// not zero.
inline bool evaluateCondition(Interpreter& interp, const Text& text, const ExpressionForm*& kept,
                              const VarMap& vars);
// evaluateCondition apart from two terms read through remembered lookups.
bool evaluateConditionFully(Interpreter& interp, const Text& text, const ExpressionForm*& kept, const VarMap& vars);
// The truth a quick look gave, checked against the general path in a check
// build.
bool checkedTruth(Interpreter& interp, const Text& text, const ExpressionForm*& kept, const VarMap& vars,
                  bool truth);

// How a term of a kept form is read where it lies, without a search:
// shared by the evaluator and the inline entry to it below.
namespace term_reading {

// Term i where it lies in the form when it is a literal of a kept form; else
// null. Read so only where no variable bears its name.
inline const Value* keptLiteral(const ExpressionForm& form, size_t i) {
  const TermSyntax& syntax = form.terms[i];
  return syntax.kind == TermKind::Literal && form.kept ? &syntax.literal : nullptr;
}

// Whether term i need not be looked up as a name: it is not a plain name
// (it is a literal, a group, a call or a block) and the map binds no name
// spelt like one of those, so no variable can hide it.
inline bool unhiddenTerm(const ExpressionForm& form, size_t i, const VarMap& vars) {
  if (!fast_path::kUnhiddenTerm || form.terms[i].kind == TermKind::BadNumber || vars.mayHideTerms()) return false;
  if (fast_path::kCheck && vars.find(form.tokens[i]))
    fast_path::disagree("UNHIDDEN_TERM", "a term no variable hides", "a variable of that name");
  return true;
}

// A quiet term where it lies, as a search would find it, but from its
// remembered lookup alone: false when that lookup is not remembered.
inline bool rememberedTerm(const ExpressionForm& form, size_t i, const VarMap& vars, const Value*& v) {
  if (unhiddenTerm(form, i, vars)) return (v = keptLiteral(form, i)) != nullptr;
  const ValueRef* found;
  if (!vars.remembered(form.memos[i], found)) return false;
  if (found) {
    v = found->get();
    return true;
  }
  v = keptLiteral(form, i);
  return v != nullptr;
}

// Two integers joined by an operator that gives an integer, into `n`.
inline bool integerStep(const Value& a, const Value& b, Op op, int64_t& n) {
  return a.typeName == kInteger && b.typeName == kInteger && integerOperation(op, a.intValue, b.intValue, n);
}

// `a op b` as an integer, for two integers joined by an operator that gives
// one and two texts (strings, funcs) tested for equality; false for
// anything else.
inline bool quickStep(const Value& a, const Value& b, Op op, int64_t& n) {
  if (integerStep(a, b, op, n)) return true;
  bool equal;
  if ((op == Op::Eq || op == Op::Ne) && equalAsTexts(a, b, equal)) {
    n = equal == (op == Op::Eq);
    return true;
  }
  return false;
}

}  // namespace term_reading

inline const Value& evaluateInPlace(Interpreter& interp, const Text& text, const ExpressionForm*& kept,
                                    const VarMap& vars, Blocks blocks, ValueSlot& scratch) {
  // The most common expression, a lone variable or literal, read where it
  // lies before anything else is set up: reading it runs nothing.
  // Only a remembered lookup is taken here, so that this path calls nothing.
  if (const ExpressionForm* form = kept; fast_path::kRememberedTerm && form && form->singleTerm) {
    const Value* v;
    if (term_reading::rememberedTerm(*form, 0, vars, v)) {
      if constexpr (fast_path::kCheck) {
        ValueSlot general;
        const ExpressionForm* again = kept;
        fast_path::checkSame("REMEMBERED_TERM", *v, evaluateInPlaceFully(interp, text, again, vars, blocks, general));
      }
      return *v;
    }
  }
  return evaluateInPlaceFully(interp, text, kept, vars, blocks, scratch);
}

inline bool evaluateCondition(Interpreter& interp, const Text& text, const ExpressionForm*& kept,
                              const VarMap& vars) {
  // A loop's condition of two terms both found where they were last time:
  // its truth at once, before anything else is set up.
  const Value* a;
  const Value* b;
  int64_t n;
  if (fast_path::kQuickInteger && kept && kept->quietBinary && term_reading::rememberedTerm(*kept, 0, vars, a) &&
      term_reading::rememberedTerm(*kept, 2, vars, b) && term_reading::quickStep(*a, *b, kept->ops[1], n))
    return fast_path::kCheck ? checkedTruth(interp, text, kept, vars, n != 0) : n != 0;
  return evaluateConditionFully(interp, text, kept, vars);
}

}  // namespace velk
