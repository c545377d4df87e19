// The interpreter's entry points: running statement lists, evaluating
// expressions, applying operators and calling functions.
//
// Scopes. A run works on its own copies of the two variable maps it is given,
// the outer map and the local map, and writes them back when it ends. Reading
// goes through the read view (outer bindings win over local ones); a new
// variable is bound in the local map; a statement that rebinds a name (`list`,
// the outputs of `index` and `where`, `class`) binds it in the outer map if
// that holds the name, else in the local map. Control bodies run on the merged
// map (local bindings win). Values are shared: assignment changes a Value in
// place, and every holder sees it.
#pragma once

#include <string_view>
#include <vector>

#include "interp/forms.h"
#include "value/value.h"

namespace velk {

// What a run gives back: the value of the `end` that stopped it (integer 0 if
// none) and the returned mark, set once an `end` ran in the run or was passed
// up to it from a nested body.
struct ExecResult {
  Value result;
  bool returned = false;
  bool wasReturned() const { return returned; }
};

// Runs `program` with working copies of *outer and *local (either may be null)
// and, at the end, writes them back: *outer first, then *local, so that when
// both point at one map the local bindings decide its content.
ExecResult executeStatements(const Program& program, VarMap* outer, VarMap* local);

// Evaluates an expression text left to right, no precedence. With runBlocks a
// brace term runs at once and stands for its result; without, it becomes a
// func Value.
Value evaluateExpression(const Text& text, const VarMap& vars, bool runBlocks);
Value evaluateTerm(const Text& term, const VarMap& vars, bool runBlocks);

// One of the thirteen operators, or anything else for an "unspecified" result.
Value applyOperator(const Value& left, const Value& right, std::string_view op);
Value applyOperator(const Value& left, const Value& right, Op op);

// A `$` call: a builtin when the name is in the registry, else a user function.
Value dispatchCall(const Text& callText, const VarMap& vars);
Value callFunction(const Text& callText, const VarMap& vars);

}  // namespace velk
