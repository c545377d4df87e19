// One run of a statement list: its working maps, its result, and the read
// view, kept until a binding of either map changes. Shared by the statement
// handlers of the executor, the control statements, the list statements and
// exec/also/class.
#pragma once

#include "interp/executor.h"
#include "interp/interpreter.h"

namespace velk {

class Run {
 public:
  explicit Run(Interpreter& i) : interp(i), result(ownResult_) {}
  // A run whose result is made where its caller wants it: in `into`, which
  // is empty when the run starts (the caller reads it only once the run has
  // ended, and drops it if an error ends the run).
  Run(Interpreter& i, ValueSlot& into) : interp(i), result(into) {}
  Run(const Run&) = delete;
  Run& operator=(const Run&) = delete;
  Interpreter& interp;
  VarMap outer;
  VarMap local;

 private:
  ValueSlot ownResult_;

 public:
  ValueSlot& result;  // set by `end` or passed up; none means integer 0
  bool returned = false;
  bool stopped = false;
  // The outer map is dropped when the run ends and no local map was given
  // (a call's body map, a compare body's merged map), so new variables are
  // bound in the outer map too. Only the write-back at the end could tell the
  // two maps apart: a name enters the local map only when the outer map lacks
  // it, so the two never bind one name, and reads, merges and rebinding see
  // the same bindings either way. It spares the run a second map and a read
  // view laid over two.
  bool localsInOuter = false;

  // Every binding of the outer map, plus the local bindings for names the
  // outer map lacks. Expressions of a statement are evaluated against it.
  // When one map is empty or both are one, that is the other map itself, read
  // where it lies: no expression changes a binding of the run it is
  // evaluated in, and nothing keeps the reference past its statement.
  const VarMap& readView() {
    if (!view_) [[unlikely]] view_ = &makeView();
    return *view_;
  }
  // Both maps, the local bindings winning: what control bodies run on. Unless
  // a name is bound to two different Values in the two maps, that is the read
  // view itself.
  VarMap mergedMap() {
    if (const VarMap* merged = mergedInPlace()) return *merged;
    return VarMap::overlay(outer, local);
  }
  // The merged map where it lies when it is the read view, else null (then
  // mergedMap() makes it). Valid while no binding changes.
  const VarMap* mergedInPlace() {
    const VarMap& view = readView();
    return &view != &overlay_ || !overlayConflicts_ ? &view : nullptr;
  }

  // The Value a name refers to: outer map first, then local map.
  ValueRef lookup(const Text& name) const {
    if (const ValueRef* v = outer.findRef(name)) return *v;
    if (const ValueRef* v = local.findRef(name)) return *v;
    return ValueRef();
  }
  // The same, the two searches answered from `memos` while the maps are as
  // they were at the last lookup of this name with them.
  ValueRef lookup(const Text& name, LookupMemo (&memos)[2]) const {
    if (const ValueRef* v = outer.findRef(name, memos[0])) return *v;
    if (const ValueRef* v = local.findRef(name, memos[1])) return *v;
    return ValueRef();
  }
  // The same, the Value itself: what an assignment writes into. No
  // expression changes a binding of the run it is evaluated in, so the Value
  // stays bound, and alive, while the assigned value is evaluated.
  Value* lookupValue(const Text& name, LookupMemo (&memos)[2]) const {
    if (const ValueRef* v = outer.findRef(name, memos[0])) return v->get();
    if (const ValueRef* v = local.findRef(name, memos[1])) return v->get();
    return nullptr;
  }
  // Binds a name in its binding map: the outer map if it holds the name,
  // else the local map.
  void bind(const Text& name, ValueRef value) {
    bindingsChanged();
    if (outer.findRef(name) || (localsInOuter && !local.findRef(name)))
      outer.set(name, std::move(value));
    else
      local.set(name, std::move(value));
  }
  // Binds a name that neither map holds.
  void bindLocal(const Text& name, ValueRef value) {
    bindingsChanged();
    (localsInOuter ? outer : local).setNew(name, std::move(value));
  }
  // Before or after anything replaces bindings of the working maps. Dropping
  // the view also lets a write change the maps in place instead of copying.
  void bindingsChanged() {
    overlay_.clear();
    view_ = nullptr;
  }

  // Starts the run over on one map given as both working maps, as an `until`
  // body runs each iteration; the read view is kept when that map is the very
  // one it was built from (a map shared with the view is never changed in
  // place, so its bindings are those the view saw).
  void startOver(VarMap&& both) {
    local = std::move(both);
    outer = local;
    if (view_ == &overlay_ && !overlay_.sameAs(local)) bindingsChanged();
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

  // The run ends by an `end` whose value is in `value` (none: integer 0,
  // see bodyResult): an `end` of its own, its value made in `result`, or one
  // a nested body passes up, which stops this run too when `stop` (a
  // `compare` body's) and else leaves only the loop. Every `end` reaches the
  // run it ends through here.
  void ended(ValueSlot& value, bool stop) {
    if (&value != &result) result = std::move(value);
    returned = true;
    stopped = stop;
  }

 private:
  const VarMap& makeView() {
    if (local.empty() || local.sameAs(outer)) return outer;
    if (outer.empty()) return local;
    overlay_ = VarMap::overlay(local, outer, &overlayConflicts_);
    return overlay_;
  }
  const VarMap* view_ = nullptr;  // the read view: outer, local or overlay_; null until made
  VarMap overlay_;
  bool overlayConflicts_ = false;
};

// The operand tokens of a keyword statement, with a clean error for a missing one.
inline const Text& operand(const CompiledStatement& st, size_t i, const char* what) {
  if (st.tokens.size() <= i) [[unlikely]] missingOperand(st, what);
  return st.tokens[i];
}
// A variable that a list statement names (its second token); it must exist.
inline ValueRef namedVariable(const Run& run, const CompiledStatement& st, const char* statement) {
  const Text& name = st.tokens[1];
  ValueRef v = run.lookup(name, st.targetMemos);
  if (!v) [[unlikely]] noSuchVariable(name, statement);
  return v;
}

}  // namespace velk
