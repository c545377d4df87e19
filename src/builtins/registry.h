// The builtins' registration and the helpers every builtin reads its
// arguments with. Builtins reach the interpreter only through the evaluator
// interface.
#pragma once

#include <cstddef>

#include "interp/evaluator_interface.h"

namespace velk {

// Fills `table` with the 31 builtins; the host calls it once per interpreter.
void registerBuiltins(BuiltinTable& table);

bool hasArgument(Evaluator& ev, const VarMap& callMap, size_t i);
// The raw text of argument i, unevaluated.
Text argumentText(Evaluator& ev, const VarMap& callMap, size_t i);
// Argument i evaluated: its text evaluated against the call map, blocks run.
Value evalArgument(Evaluator& ev, const VarMap& callMap, size_t i);
// The same read where it lies, or made in the empty `scratch` (see
// Evaluator::evaluateArgument): for a builtin that only looks at it.
inline const Value& evalArgument(Evaluator& ev, const VarMap& callMap, size_t i, ValueSlot& scratch) {
  return ev.evaluateArgument(callMap, i, scratch);
}
// The same once more, right after `first` was read by the call above (see
// Evaluator::evaluateArgumentAgain).
inline const Value& evalArgumentAgain(Evaluator& ev, const VarMap& callMap, size_t i, const Value& first,
                                      ValueSlot& scratch) {
  return ev.evaluateArgumentAgain(callMap, i, first, scratch);
}
// The display form of `v`, within the interpreter's cap on one value.
Text textOf(Evaluator& ev, const Value& v);

}  // namespace velk
