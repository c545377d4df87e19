// Calls: a `$` call runs a builtin or a user function.
#pragma once

#include "interp/call_syntax.h"
#include "interp/interpreter.h"

namespace velk {

// A `$` call: a builtin when the name is in the interpreter's table, else a
// user function. The call's syntax is remembered in `kept` (beside a term or
// statement that stays, as TermSyntax::call) once it is known.
Value dispatchCall(Interpreter& interp, CallSyntaxRef& kept, const Text& callText, const VarMap& vars);
// The same with the result made in `into` (whatever it held is dropped).
void dispatchCall(Interpreter& interp, CallSyntaxRef& kept, const Text& callText, const VarMap& vars,
                  ValueSlot& into);

}  // namespace velk
