// One run of a statement list: its working maps, its result, and the read
// view, kept until a binding of either map changes. Shared by the statement
// handlers of the executor, the control statements, the list statements and
// exec/also/class.
#pragma once

#include "interp/interpreter.h"

namespace velk {

class Run {
 public:
  explicit Run(Interpreter& i) : interp(i) {}
  Interpreter& interp;
  VarMap outer;
  VarMap local;
  ValueSlot result;  // set by `end` or passed up; none means integer 0
  bool returned = false;
  bool stopped = false;

  // Every binding of the outer map, plus the local bindings for names the
  // outer map lacks. Expressions of a statement are evaluated against it.
  const VarMap& readView() {
    if (!viewValid_) {
      view_ = VarMap::overlay(local, outer, &viewConflicts_);
      viewValid_ = true;
    }
    return view_;
  }
  // Both maps, the local bindings winning: what control bodies run on. Unless
  // a name is bound to two different Values in the two maps, that is the read
  // view itself.
  VarMap mergedMap() {
    readView();
    if (!viewConflicts_) return view_;
    return VarMap::overlay(outer, local);
  }

  // The Value a name refers to: outer map first, then local map.
  ValueRef lookup(const Text& name) const {
    if (const ValueRef* v = outer.findRef(name)) return *v;
    if (const ValueRef* v = local.findRef(name)) return *v;
    return ValueRef();
  }
  // Binds a name in its binding map: the outer map if it holds the name,
  // else the local map.
  void bind(const Text& name, ValueRef value) {
    bindingsChanged();
    if (outer.findRef(name))
      outer.set(name, std::move(value));
    else
      local.set(name, std::move(value));
  }
  void bindLocal(const Text& name, ValueRef value) {
    bindingsChanged();
    local.set(name, std::move(value));
  }
  // Before or after anything replaces bindings of the working maps. Dropping
  // the view also lets a write change the maps in place instead of copying.
  void bindingsChanged() {
    view_.clear();
    viewValid_ = false;
  }

  // Starts the run over on one map given as both working maps, as an `until`
  // body runs each iteration; the read view is kept when that map is the very
  // one it was built from (a map shared with the view is never changed in
  // place, so its bindings are those the view saw).
  void startOver(VarMap&& both) {
    local = std::move(both);
    outer = local;
    if (viewValid_ && !view_.sameAs(local)) bindingsChanged();
    result.reset();
    returned = false;
    stopped = false;
  }
  // Starts the run over on its outer map as it stands and no local bindings,
  // as each iteration of an `each` body runs: the same as a new run given
  // that map as its outer map alone.
  void startAgain() {
    bindingsChanged();
    local.clear();
    result.reset();
    returned = false;
    stopped = false;
  }
  // Ends such a run: the local bindings are what the map keeps.
  VarMap finish() {
    outer.clear();
    return std::move(local);
  }

  // The body of a control statement passed an `end` up.
  void passUp(ExecResult&& r) {
    if (r.result) result = std::move(r.result);
    else result = Value::integer(0);
    returned = true;
  }

 private:
  VarMap view_;
  bool viewValid_ = false;
  bool viewConflicts_ = false;
};

// The operand tokens of a keyword statement, with a clean error for a missing one.
const Text& operand(const CompiledStatement& st, size_t i, const char* what);
// A variable that a list statement names; it must exist.
ValueRef namedVariable(const Run& run, const Text& name, const char* statement);

// The statements of a program in order on `run`, until one stops it; an error
// passing names the statement it passed.
void runStatements(Run& run, const Program& program);

void runCompare(Run& run, const CompiledStatement& st);
void runEach(Run& run, const CompiledStatement& st);
void runUntil(Run& run, const CompiledStatement& st);
void runList(Run& run, const CompiledStatement& st);
void runAdd(Run& run, const CompiledStatement& st);
void runIndex(Run& run, const CompiledStatement& st);
void runWhere(Run& run, const CompiledStatement& st);
void runRemove(Run& run, const CompiledStatement& st);
void runExec(Run& run, const CompiledStatement& st);
void runAlso(Run& run, const CompiledStatement& st);
void runClass(Run& run, const CompiledStatement& st);

// Runs a line the user typed at the REPL's prompt in the run's own maps, as
// `exec` runs any text, as the user's program: an error inside a library
// function names the typed statement too. At a terminal, an error or Ctrl-C
// ends only the line.
void runTypedLine(Run& run, const Program& line);

}  // namespace velk
