// One run of a statement list: its working maps, its result, and the read
// view, kept until a binding of either map changes. Shared by the statement
// handlers of the executor, the control statements, the list statements and
// exec/also/class.
//
// The run knows how its two maps stand to each other, so that the read view
// and the merged map cost next to nothing in the common cases: a run given
// no local bindings (a body, an `each` iteration) or one map as both (an
// `until` iteration) gains local names only through bind and bindLocal, and
// it lists the few it gains. Then the read view is the outer map with just
// those names laid over it as a frame, and in the second case the merged map
// is the local map itself.
#pragma once

#include <algorithm>
#include <memory>

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
  // When the local map adds no name to the outer one, or the outer map is
  // empty, that is the other map itself, read where it lies: no expression
  // changes a binding of the run it is evaluated in, and nothing keeps the
  // reference past its statement.
  const VarMap& readView() {
    if (!view_) [[unlikely]] view_ = &makeView();
    return *view_;
  }
  // Both maps, the local bindings winning: what control bodies run on. Unless
  // a name is bound to two different Values in the two maps, that is the read
  // view itself; when the local map started as the outer one, the local map.
  VarMap mergedMap() {
    if (const VarMap* merged = mergedInPlace()) return *merged;
    return VarMap::overlay(outer, local);
  }
  // The merged map where it lies when it is the read view or the local map,
  // else null (then mergedMap() makes it). Valid while no binding changes.
  const VarMap* mergedInPlace() {
    if (shape_ == Shape::Over) return &local;
    const VarMap& view = readView();
    return viewConflicts_ ? nullptr : &view;
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
  // The outer map's search is answered from `memo` while that map is as it
  // was at the last bind of this name with it.
  void bind(const Text& name, ValueRef value, LookupMemo& memo) {
    dropView();
    const ValueRef* bound = outer.findRef(name, memo);
    if (bound || (localsInOuter && !local.findRef(name))) {
      if (shape_ == Shape::Over && outer.sameAs(local))
        rebindOver(name, std::move(value));
      else if (bound)
        outer.set(name, std::move(value));
      else
        outer.setNewLocal(name, std::move(value));  // a new name, already looked for
    } else {
      const bool known = fresh_ && std::find(fresh_->names, fresh_->names + freshCount_, name) !=
                                       fresh_->names + freshCount_;
      // While the shape is known, a name that is neither fresh nor in the
      // outer map is in neither map.
      if (known || shape_ == Shape::Loose)
        local.set(name, std::move(value));
      else
        local.setNew(name, std::move(value));
      if (!known) noteFresh(name);
    }
  }
  // Binds a name that neither map holds.
  void bindLocal(const Text& name, ValueRef value) {
    dropView();
    if (localsInOuter) {
      outer.setNewLocal(name, std::move(value));
    } else {
      local.setNew(name, std::move(value));
      noteFresh(name);
    }
  }
  // After anything but bind and bindLocal has replaced the working maps or
  // their bindings: what the run knew of the two maps is learnt anew from
  // them.
  void bindingsChanged() {
    dropView();
    settle();
  }

  // Starts the run over on one map given as both working maps, as an `until`
  // body runs each iteration; the read view is kept when that map is the very
  // one it was built from (a map shared with the view is never changed in
  // place, so its bindings are those the view saw).
  void startOver(VarMap&& both) {
    local = std::move(both);
    outer = local;
    freshCount_ = 0;
    shape_ = Shape::Over;
    startOverAsIs();  // one map as both: that map is the view
  }
  // Whether the run bound no name since startOver: both working maps are
  // still the one map it was started on.
  bool boundNothing() const { return shape_ == Shape::Over && freshCount_ == 0 && outer.sameAs(local); }
  // Starts the run over on the maps it holds, as startOver(finish()) would
  // when it bound nothing: only the run's own state is reset, and the outer
  // map is the view.
  void startOverAsIs() {
    if (view_ != &outer) {
      dropView();
      view_ = &outer;
    }
    result.reset();
    returned = false;
    stopped = false;
  }
  // Starts the run over on its outer map as it stands and no local bindings,
  // as each iteration of an `each` body runs: the same as a new run given
  // that map as its outer map alone.
  void startAgain() {
    local.clear();
    freshCount_ = 0;
    shape_ = Shape::Apart;
    startOverAsIs();  // no local bindings: the outer map is the view
  }
  // Ends such a run: the local bindings are what the map keeps.
  VarMap finish() {
    if (fresh_ && outer.isFrameOver(local))
      fresh_->keptOuter = std::move(outer);
    else
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
  // How the working maps stand to each other:
  //  Loose: nothing is known; the view is made by comparing them.
  //  Apart: the local map binds exactly the fresh names, none of which the
  //   outer map binds (the run started with no local bindings).
  //  Over: the local map is the map that both started as, plus the fresh
  //   names; the outer map is that map with some of its names rebound (only
  //   names the outer map holds are ever bound there). So the outer map binds
  //   no name the local map lacks: merged, the local map is all there is.
  enum class Shape : uint8_t { Loose, Apart, Over };
  // Learns the shape from the maps as they stand, no name fresh yet.
  void settle() {
    freshCount_ = 0;
    shape_ = local.empty() ? Shape::Apart : !localsInOuter && local.sameAs(outer) ? Shape::Over : Shape::Loose;
  }
  // A name that the local map has just come to bind and the outer map lacks.
  void noteFresh(const Text& name) {
    if (!fresh_) makeFresh();
    if (freshCount_ < kFresh)
      fresh_->names[freshCount_++] = name;
    else
      shape_ = Shape::Loose;  // too many to lay over the outer map one by one
  }
  // The first rebinding of a name in the outer map while it is still the map
  // that both started as: the outer map becomes that map with a frame of the
  // one name over it. The frame the last iteration rebound its names in
  // serves again when it is over the same map, its bindings reset to that
  // map's, so that the lookups remembered in it keep answering: an iteration
  // that rebinds the same names as the last one rebinds each where it lies.
  void rebindOver(const Text& name, ValueRef value) {
    if (!fresh_) makeFresh();
    if (fresh_->keptOuter.rebindFrame(local, name, value))
      outer = std::move(fresh_->keptOuter);
    else
      outer = VarMap::framed(local, name, std::move(value));
  }
  // Forgets the read view; one made of the two maps is let go of, so that
  // it holds neither map's head from being changed in place.
  void dropView() {
    if (view_ && view_ != &outer && view_ != &local) [[unlikely]] dropMadeView();
    view_ = nullptr;
  }
  void dropMadeView();  // executor.cpp
  const VarMap& makeView() {
    if (local.empty() || local.sameAs(outer)) return outer;
    return viewOfTwo();
  }
  const VarMap& viewOfTwo();  // executor.cpp
  const VarMap* view_ = nullptr;  // the read view: outer, local or one made of both; null until made
  // Whether the view is an overlay in which a name is bound to two Values.
  bool viewConflicts_ = false;
  static constexpr uint32_t kFresh = MapHead::kFrontCapacity;
  Shape shape_ = Shape::Apart;  // both maps start empty
  uint32_t freshCount_ = 0;
  // What a run makes of its two maps, made the first time it needs any:
  // the names the local map has come to bind, in order, and the read views
  // made of them, kept[k - 1] the frame of the first k over the outer map. A
  // frame is kept between uses (VarMap::reframe), so that an iteration that
  // binds the same names in the same order over the same outer map reads
  // through the frames the last one read through, and the lookups remembered
  // in them keep answering.
  struct Fresh {
    Text names[kFresh];
    struct Kept {
      VarMap frame;
      const void* over = nullptr;  // the outer map's head it was made over, compared only
      uint64_t stamp = 0;  // that head's stamp then
    } kept[kFresh];
    VarMap keptOuter;  // the last iteration's outer map, a frame over the map both started as
    VarMap overlay;  // the view when it is made some other way
  };
  // Made and dropped out of line: most runs never make one.
  struct DropFresh {
    void operator()(Fresh* fresh) const;
  };
  std::unique_ptr<Fresh, DropFresh> fresh_;
  void makeFresh();
  Fresh::Kept* attached_ = nullptr;  // the kept frame that is the read view, laid over the outer map
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
