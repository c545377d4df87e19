// The expression evaluator: an expression text's terms and operators taken
// strictly from left to right, no precedence.
#pragma once

#include <cstdint>
#include <string_view>

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
const Value& evaluateInPlace(Interpreter& interp, const Text& text, const ExpressionForm*& kept, const VarMap& vars,
                             Blocks blocks, ValueSlot& scratch);
// The integer the expression of `form` gives, in `n`, when evaluating it runs
// no code and gives an integer at every step: one term, or two joined by an
// operator, each a variable or a literal or a group of the same kind, where
// each step joins two integers by an operator that gives an integer or
// compares two texts for equality. Computed without making a Value; false,
// with nothing changed or raised, for anything else.
bool quickInteger(const ExpressionForm& form, const VarMap& vars, int64_t& n);
// A statement's condition: its value (brace blocks run) read as an integer is
// not zero.
bool evaluateCondition(Interpreter& interp, const Text& text, const ExpressionForm*& kept, const VarMap& vars);

}  // namespace velk
