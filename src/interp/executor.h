// The statement executor: runs statement lists on working copies of the
// variable maps it is given.
#pragma once

#include "interp/interpreter.h"
#include "interp/statements.h"

namespace velk {

class Run;

// Runs `program` with working copies of *outer and *local (either may be null)
// and, at the end, writes them back, also when the run ends by an error:
// *outer first, then *local, so that when both point at one map the local
// bindings decide its content.
void executeStatements(Interpreter& interp, const Program& program, VarMap* outer, VarMap* local);
// The same with `scope` as the outer map and no local map, for callers that
// drop the outer map afterwards (a call's body map, the merged map of a
// `compare` body, a block's copy of its scope): nothing is written back. The
// run's result is made in `result`, which must be empty (and stays so when no
// `end` gives a value); true when the run returned.
bool executeDetached(Interpreter& interp, const Program& program, VarMap&& scope, ValueSlot& result);
// A block run as executeDetached runs it, on a copy of its scope: the value
// it gives, as a call's body gives its value (see bodyResult).
Value executeBlock(Interpreter& interp, const Program& program, VarMap scope);

// Runs a text that runs once (a loaded script, a long `exec` text, the
// program velk was started with) as executeStatements runs its program, but
// splits and compiles one statement at a time and drops each once it has
// run, so that a long script never has all its statements and their parsed
// forms in memory at once. As with a whole split, a text that ends inside an
// open group fails before any of it runs.
void executeOnce(Interpreter& interp, const Text& text, VarMap* outer, VarMap* local);

// The statements of a program in order on `run`, once it has entered the
// body (see BodyEntry), each a step of its own, until one stops it; an error
// passing names the statement it passed.
void runStatements(Run& run, const Program& program);

// The statement of `program`, when it is an `end` with a value after
// nothing but empty statements, and not the user's program: then
// executeLoneEnd runs the program as executeDetached would (the same steps,
// nesting and error notes), the value made in the empty `result`, without
// setting up a run, since nothing but that `end` happens in it.
const CompiledStatement* loneValueEnd(const Interpreter& interp, const Program& program);
void executeLoneEnd(Interpreter& interp, const Program& program, const CompiledStatement& end, const VarMap& scope,
                    ValueSlot& result);

// The handler that runs `st`, chosen by its kind, keyword and shape, each
// shape's checks made here once: every run of the statement calls it.
StatementHandler statementHandler(const CompiledStatement& st);

// The errors of a statement handler: a missing operand, a list statement
// naming no variable.
[[noreturn]] void missingOperand(const CompiledStatement& st, const char* what);
[[noreturn]] void noSuchVariable(const Text& name, const char* statement);

}  // namespace velk
