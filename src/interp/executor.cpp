// The statement executor: runs statement lists, dispatches on the first token,
// performs assignments and `end`, and writes the working maps back.
#include "interp/executor.h"

#include <algorithm>
#include <cassert>
#include <cstdlib>
#include <utility>

#include "interp/calls.h"
#include "interp/control.h"
#include "interp/evaluator.h"
#include "interp/list_statements.h"
#include "interp/operators.h"
#include "interp/parse_cache.h"
#include "interp/fast_paths.h"
#include "interp/run.h"
#include "interp/running_text.h"
#include "support/error.h"
#include "support/interrupt.h"
#include "support/stack_guard.h"

namespace velk {
namespace {

// The value of `end x` evaluated straight into the empty `result`, where the
// caller of the run wants it (a call's result, the evaluation that made the
// call); left empty when the evaluation fails.
void endValueInto(Interpreter& interp, const CompiledStatement& st, const VarMap& view, ValueSlot& result) {
  try {
    const Value& v = evaluateInPlace(interp, st.tokens[1], st.operandForm, view, Blocks::Run, result);
    if (!result || &v != &*result) result = v;
  } catch (...) {
    result.reset();
    throw;
  }
}

void runEnd(Run& run, const CompiledStatement& st) {
  if (st.tokens.size() > 1 && !run.result) {
    endValueInto(run.interp, st, run.readView(), run.result);
  } else if (st.tokens.size() > 1) {
    ValueSlot scratch;
    const Value& v = evaluateInPlace(run.interp, st.tokens[1], st.operandForm, run.readView(), Blocks::Run, scratch);
    if (scratch && &v == &*scratch)
      run.result = std::move(scratch);
    else
      run.result = v;
  }
  run.ended(run.result, true);
}

// The Value a member path `(a b c)` leads to: a in the outer or local map,
// then b among a's members, c among b's.
ValueRef memberTarget(Run& run, const Text& target) {
  TokenListRef path = memberPath(target);
  ValueRef v = run.lookup(path->tokens.front());
  if (!v)
    fail("no such variable", "the member path " + quoteForReport(target.view()) + " starts at " +
                                 quoteForReport(path->tokens.front().view()) + ", which is not a variable");
  for (size_t i = 1; i < path->tokens.size(); ++i) {
    const ValueRef* member = v->members().findRef(path->tokens[i]);
    if (!member)
      fail("no such member", quoteForReport(path->tokens[i - 1].view()) + " has no member " +
                                 quoteForReport(path->tokens[i].view()) + " (in the member path " + quoteForReport(target.view()) + ")");
    v = *member;
  }
  return v;
}

// The Value an assignment to a plain name writes into: the variable's, or a
// new variable's, local to the run that creates it and existing before its
// value is evaluated. No expression changes a binding of the run it is
// evaluated in, so the Value stays bound, and alive, while the assigned value
// is evaluated.
[[gnu::always_inline]] inline Value* assignedVariable(Run& run, const CompiledStatement& st) {
  const Text& target = st.tokens[0];
  if (Value* slot = run.lookupValue(target, st.targetMemos)) return slot;
  ValueRef made = newValue();
  Value* slot = made.get();
  run.bindLocal(target, std::move(made));
  return slot;
}

// The assigned value, `v` of `x = v`: read in place, or made in `scratch`.
[[gnu::always_inline]] inline const Value& assignedValue(Run& run, const CompiledStatement& st, ValueSlot& scratch) {
  return evaluateInPlace(run.interp, st.tokens[2], st.operandForm, run.readView(), Blocks::Keep, scratch);
}

// `x = v`: the value evaluated, then written into the target's Value.
[[gnu::always_inline]] inline void assignInto(Run& run, const CompiledStatement& st, Value& slot) {
  ValueSlot scratch;
  const Value& value = assignedValue(run, st, scratch);
  if (scratch && &value == &*scratch) {
    scratch->text.settle();
    slot = std::move(*scratch);
  } else {
    slot = value;  // a variable or literal read in place; `x = x` changes nothing
  }
}

// `x += v`: the operator token's first character names the operator.
[[gnu::always_inline]] inline void stepInto(Run& run, const CompiledStatement& st, Value& slot) {
  ValueSlot scratch;
  const Value& value = assignedValue(run, st, scratch);
  const RunLimits& limits = run.interp.limits();
  if constexpr (fast_path::kInPlaceStep && fast_path::kCheck) {
    Value general = applyOperator(slot, value, st.compoundOp, limits);
    if (applyInPlace(slot, value, st.compoundOp, limits))
      fast_path::checkSame("IN_PLACE_STEP", slot, general);
    else
      slot = std::move(general);
  } else if (!fast_path::kInPlaceStep || !applyInPlace(slot, value, st.compoundOp, limits)) {
    slot = applyOperator(slot, value, st.compoundOp, limits);
  }
}

// The assignment handlers, one per shape: a target that is a name or a
// member path, an operator of one character or more.
void runAssign(Run& run, const CompiledStatement& st) { assignInto(run, st, *assignedVariable(run, st)); }
void runStepAssign(Run& run, const CompiledStatement& st) { stepInto(run, st, *assignedVariable(run, st)); }
void runMemberAssign(Run& run, const CompiledStatement& st) {
  ValueRef member = memberTarget(run, st.tokens[0]);  // held: the evaluation may unbind it
  if (st.tokens[1].size() > 1)
    stepInto(run, st, *member);
  else
    assignInto(run, st, *member);
}
void runIncompleteAssign(Run&, const CompiledStatement&) {
  fail("incomplete assignment", "an assignment is a target, an operator and a value");
}

void runNothing(Run&, const CompiledStatement&) {}
void runCallStatement(Run& run, const CompiledStatement& st) {
  ValueSlot result;  // dropped: a call statement runs for its effects
  dispatchCall(run.interp, st.callForm, st.tokens[0], run.readView(), result);
}

// Hands the working maps back to the caller when the run ends, by an error
// too: *outer first, then *local.
class HandBack {
 public:
  HandBack(Run& run, VarMap* outer, VarMap* local) : run_(run), outer_(outer), local_(local) {}
  ~HandBack() {
    if (outer_) *outer_ = std::move(run_.outer);
    if (local_) *local_ = std::move(run_.local);
  }
  HandBack(const HandBack&) = delete;
  HandBack& operator=(const HandBack&) = delete;

 private:
  Run& run_;
  VarMap* outer_;
  VarMap* local_;
};

}  // namespace

[[gnu::noinline]] void Run::makeFresh() { fresh_.reset(new Fresh); }
[[gnu::noinline]] void Run::DropFresh::operator()(Fresh* fresh) const { delete fresh; }

void Run::dropMadeView() {
  if (attached_ && !attached_->frame.unframe()) attached_->frame.clear();
  attached_ = nullptr;
  if (fresh_) fresh_->overlay.clear();
  viewConflicts_ = false;
}

const VarMap& Run::viewOfTwo() {
  if (outer.empty()) return local;
  if (!fresh_) makeFresh();
  if (shape_ == Shape::Loose) {
    fresh_->overlay = VarMap::overlay(local, outer, &viewConflicts_);
    return fresh_->overlay;
  }
  // The local map adds just the fresh names to what the outer map binds.
  if (freshCount_ == 0) return outer;
  const Text* names = fresh_->names;
  Fresh::Kept& kept = fresh_->kept[freshCount_ - 1];
  if (kept.over != outer.headId() || kept.stamp != outer.baseStamp() ||
      !kept.frame.reframe(outer, local, names, freshCount_)) {
    VarMap made = VarMap::framed(outer, local, names, freshCount_);
    if (!made.isFrameOver(outer)) {
      fresh_->overlay = std::move(made);
      return fresh_->overlay;
    }
    // Kept for the turns to come, where remembered lookups pay: stamped now,
    // so that reads that its own places answer remember it too.
    made.baseStamp();
    kept.frame = std::move(made);
    kept.over = outer.headId();
    kept.stamp = outer.baseStamp();
  }
  attached_ = &kept;
  return kept.frame;
}

StatementHandler statementHandler(const CompiledStatement& st) {
  switch (st.kind) {
    case StatementKind::Empty: return runNothing;
    case StatementKind::Call: return runCallStatement;
    case StatementKind::Assignment:
      if (st.tokens.size() < 3) return runIncompleteAssign;
      if (st.tokens[0].front() == '(') return runMemberAssign;
      return st.tokens[1].size() > 1 ? runStepAssign : runAssign;
    case StatementKind::Keyword: break;
  }
  switch (st.keyword) {
    case Keyword::End: return runEnd;
    case Keyword::Compare: return runCompare;
    case Keyword::Each: return runEach;
    case Keyword::Until: return runUntil;
    case Keyword::List: return runList;
    case Keyword::Add: return runAdd;
    case Keyword::Index: return runIndex;
    case Keyword::Where: return runWhere;
    case Keyword::Remove: return runRemove;
    case Keyword::Exec: return runExec;
    case Keyword::Also: return runAlso;
    case Keyword::Class: return runClass;
    case Keyword::None: break;
  }
  assert(!"a keyword statement names its keyword");
  std::abort();
}

void missingOperand(const CompiledStatement& st, const char* what) {
  fail("missing operand", std::string("`").append(st.tokens.front().view()) + "` needs " + what);
}

void noSuchVariable(const Text& name, const char* statement) {
  fail("no such variable",
       std::string("`").append(statement) + "` names " + quoteForReport(name.view()) + ", which is not a variable");
}

namespace {

// The trace line of a statement with a place: "+ prog.VELK:3: x = 1",
// indented two blanks per call, the statement cut and its control bytes
// escaped so that it stays one line. Statements of no place (the REPL's
// own, texts made at run time) and empty ones are not traced.
[[gnu::cold, gnu::noinline]] void traceStatement(Interpreter& interp, const CompiledStatement& st) {
  if (!st.place || st.kind == StatementKind::Empty) return;
  constexpr size_t kTracedBytes = 100;
  std::string shown = quoteForReport(st.sourceText(), kTracedBytes);
  std::string line = "+ " + std::string(2 * interp.callDepth(), ' ') + describePlace(st.place) + ": ";
  line.append(shown, 1, shown.size() - 2);  // without the quotes
  interp.console().traceLine(line);
}

// An error passing statement `st` on its way out: its place is where the
// error arose, or where the call it left was made (see ErrorPlaces).
void notePlace(ErrorPlaces& places, const CompiledStatement& st) {
  if (st.place && st.place.source->named && places.wantsPlace()) places.notePlace(describePlace(st.place));
}

// Takes one step of a run, `step` running the statement `st`. When an error
// passes, the innermost statement that sees it is the one it names; the
// innermost of the user's own statements is where it arose, named by
// `describe` (null for a statement that is not the user's). Every statement
// that runs comes through here, so this is where the trace is written. The
// trace shares its test with the step count: a run with no bound and no
// trace tests one flag per statement, as it did before there was a trace.
template <class Describe, class Step>
void runStep(Interpreter& interp, const CompiledStatement& st, const Describe* describe, Step step) {
  try {
    if (interp.slowSteps()) [[unlikely]] {
      if (interp.tracing()) traceStatement(interp, st);
      interp.countStep();
    }
    checkInterrupt();
    step();
  } catch (VelkError& e) {
    bool innermost = !e.hasStatement();
    if (innermost) e.noteStatement(st.sourceText());
    notePlace(e.places(), st);
    if (describe && !e.hasOrigin()) e.noteOrigin((*describe)(st, innermost), innermost);
    throw;
  } catch (OpenGroupError& e) {
    bool innermost = !e.hasStatement();
    e.noteStatement();
    notePlace(e.places(), st);
    if (describe && !e.hasOrigin()) e.noteOrigin((*describe)(st, innermost));
    throw;
  }
}

// Runs one statement of a run.
template <class Describe>
void runListed(Run& run, const CompiledStatement& st, const Describe* describe) {
  runStep(run.interp, st, describe, [&] { st.handler(run, st); });
}

// The type of `describe` where there is none: a body that is not the user's.
using NoOrigin = std::string (*)(const CompiledStatement&, bool);

// Runs `body` on a new run holding the caller's maps. The caller does not
// look at its maps until the run has ended, so the run takes them over
// instead of copying them (which keeps their tries private, to be written in
// place) and hands them back at the end. One map given as both is shared by
// the two working maps.
template <class Body>
void runWithMaps(Interpreter& interp, VarMap* outer, VarMap* local, Body body) {
  BodyEntry entry(interp);
  Run run(interp);
  if (outer) run.outer = std::move(*outer);
  if (local) run.local = local == outer ? run.outer : std::move(*local);
  run.bindingsChanged();
  HandBack handBack(run, outer, local);
  body(run);
}

}  // namespace

void runStatements(Run& run, const Program& program) {
  Interpreter& interp = run.interp;
  auto describe = [&](const CompiledStatement& st, bool innermost) { return interp.describeOrigin(st, innermost); };
  const decltype(describe)* userLevel = interp.isUserProgram(program) ? &describe : nullptr;
  for (const CompiledStatement* st : interp.slowSteps() ? program.all : program.nonEmpty) {
    runListed(run, *st, userLevel);
    if (run.stopped) break;
  }
}

void executeStatements(Interpreter& interp, const Program& program, VarMap* outer, VarMap* local) {
  runWithMaps(interp, outer, local, [&](Run& run) { runStatements(run, program); });
}

bool executeDetached(Interpreter& interp, const Program& program, VarMap&& scope, ValueSlot& result) {
  BodyEntry entry(interp);
  Run run(interp, result);
  run.outer = std::move(scope);
  run.localsInOuter = true;
  runStatements(run, program);
  return run.returned;
}

Value executeBlock(Interpreter& interp, const Program& program, VarMap scope) {
  ValueSlot result;
  executeDetached(interp, program, std::move(scope), result);
  return std::move(bodyResult(result));
}

namespace {

// The check of a lone `end`'s value: the value its expression has in the map
// a run of the body would read, evaluated again where that runs no code (no
// call, group or block, which could do what they did a second time).
void checkLoneEnd(Interpreter& interp, const CompiledStatement& end, const VarMap& scope, const Value& fast) {
  const ExpressionForm* form = end.operandForm;
  if (!form) return;
  for (const TermSyntax& term : form->terms)
    if (term.kind != TermKind::Literal && term.kind != TermKind::BadNumber) return;
  Run run(interp);
  run.outer = scope;
  ValueSlot general;
  fast_path::checkSame("LONE_END", fast,
                       evaluateInPlace(interp, end.tokens[1], run.readView(), Blocks::Run, general));
}

}  // namespace

const CompiledStatement* loneValueEnd(const Interpreter& interp, const Program& program) {
  return program.loneEnd && !interp.isUserProgram(program) ? program.loneEnd : nullptr;
}

void executeLoneEnd(Interpreter& interp, const Program& program, const CompiledStatement& end, const VarMap& scope,
                    ValueSlot& result) {
  // As executeDetached enters the body, and runStatements runs each
  // statement up to the `end` (the empty ones only when steps are counted).
  BodyEntry entry(interp);
  for (const CompiledStatement* st : interp.slowSteps() ? program.all : program.nonEmpty) {
    runStep(interp, *st, static_cast<const NoOrigin*>(nullptr), [&] {
      if (st == &end) endValueInto(interp, end, scope, result);
    });
    if (st == &end) break;
  }
  if constexpr (fast_path::kCheck) checkLoneEnd(interp, end, scope, *result);
}

void executeOnce(Interpreter& interp, const Text& text, VarMap* outer, VarMap* local) {
  std::string_view bytes = text.view();
  checkGroupsClosed(bytes);
  // Each statement starts where the lines before it end.
  SourcePlace place = placeOf(text);
  runWithMaps(interp, outer, local, [&](Run& run) {
    for (size_t from = 0;;) {
      size_t end = statementEnd(bytes, from);
      ProgramRef one = compileProgram(splitStatements(text.slice(from, end - from)), place);
      assert(one->statements.size() == 1);
      runListed(run, one->statements.front(), static_cast<const NoOrigin*>(nullptr));
      if (run.stopped || end == bytes.size()) break;
      if (place) place.line += static_cast<uint32_t>(std::count(bytes.begin() + from, bytes.begin() + end + 1, '\n'));
      from = end + 1;
    }
  });
}

}  // namespace velk
