// The interpreter: its state, one object the host creates and hands to every
// part that runs code (executor.h runs statement lists, evaluator.h
// expressions, calls.h calls, operators.h the operators).
//
// Scopes. A run works on its own copies of the two variable maps it is given,
// the outer map and the local map, and writes them back when it ends, however
// it ends. Reading goes through the read view (outer bindings win over local
// ones); a new variable is bound in the local map; a statement that rebinds a
// name (`list`, the outputs of `index` and `where`, `class`) binds it in the
// outer map if that holds the name, else in the local map. Control bodies run
// on the merged map (local bindings win). Values are shared: assignment
// changes a Value in place, and every holder sees it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "interp/evaluator_interface.h"
#include "interp/statements.h"
#include "support/console.h"
#include "support/interrupt.h"
#include "support/stack_guard.h"
#include "value/value.h"

namespace velk {

class CallSyntax;
class ExpressionForm;

// A builtin call whose handler reads nothing of its call map but its
// arguments: the map (the caller's with each argument's raw text bound to
// its name) is made only when an argument needs it. An argument that runs
// no code and reads no argument name reads the same in the caller's map.
struct ArgumentsOnlyCall {
  const VarMap& caller;
  std::span<const ValueRef> raw;  // the Values the map binds arg0, arg1, ... to
  VarMap made;                    // the call map, once made
};

// How deep code may be nested. Every body, block and call being run, and
// every builtin call (whose arguments can call again), counts one level while
// it runs. Deep but finite nesting (a function recursing tens of thousands of
// times) works; endless nesting fails fast with "recursion too deep", long
// before the stack guard, which measures bytes and would let small frames
// nest millions deep first.
inline constexpr size_t kMaxNesting = 100000;

// Everything one interpreter changes while it runs: its builtins, its console,
// how deep its code is nested, the argument names it has made, and the bounds
// it runs under with the steps and time its run has taken, and what the
// library's folder forms keep between calls. Two interpreters in one process
// share nothing of it. Every change is undone on
// the way out of an error (the nesting count by its guards), so after an error
// the interpreter is as it was before the statement that failed began.
class Interpreter final : public Evaluator {
 public:
  explicit Interpreter(Console& console) : console_(console), elementName_(internName(Text("element"))) {}
  Interpreter(const Interpreter&) = delete;
  Interpreter& operator=(const Interpreter&) = delete;

  BuiltinTable& builtins() { return builtins_; }
  const BuiltinTable& builtins() const { return builtins_; }
  size_t nesting() const { return nesting_; }

  // The user's own program while a typed line runs, and how to name one of
  // its statements as the origin of an error ("in the typed statement ..."),
  // given whether that statement is also the innermost one the error passed.
  // Other code is named by its place (see source_place.h).
  using OriginDescriber = std::function<std::string(const CompiledStatement& user, bool innermost)>;
  void setUserProgram(const Program* program, OriginDescriber describe) {
    userProgram_ = program;
    describeOrigin_ = std::move(describe);
  }
  const Program* userProgram() const { return userProgram_; }
  const OriginDescriber& originDescriber() const { return describeOrigin_; }
  bool isUserProgram(const Program& program) const { return userProgram_ == &program; }
  std::string describeOrigin(const CompiledStatement& user, bool innermost) const {
    return describeOrigin_ ? describeOrigin_(user, innermost) : std::string();
  }

  // The statement trace: with it on, every statement with a place is
  // written before it runs (see runStep), indented by the depth of user
  // function calls.
  void setTracing(bool on) {
    tracing_ = on;
    noteSlowSteps();
  }
  bool tracing() const { return tracing_; }
  // Whether a statement about to run has more to do than run: its step
  // counted against a bound, or its trace written. One flag for both, so
  // that a run with neither tests one flag per statement (see runStep).
  bool slowSteps() const { return slowSteps_; }
  size_t callDepth() const { return callDepth_; }

  // Where a typed line starts: "<stdin>" and its number among the typed
  // lines, a place the trace shows and error reports leave out (they quote
  // the typed statement instead).
  SourcePlace nextTypedLine() { return SourcePlace{typedSource_, ++typedLines_}; }
  // Where a text run by `exec` from a statement with a place starts.
  SourcePlace execStart() const { return SourcePlace{execSource_, 1}; }

  // The evaluator interface the builtins see.
  Value evaluate(const Text& text, const VarMap& vars) override;
  const Value& evaluateArgument(const VarMap& callMap, size_t i, ValueSlot& scratch) override;
  const Value& evaluateArgumentAgain(const VarMap& callMap, size_t i, const Value& first, ValueSlot& scratch) override;
  const Text& argumentName(size_t i) override {
    if (i < kNearArguments && !nearArgumentNames_[i].empty()) [[likely]]
      return nearArgumentNames_[i];
    return newArgumentName(i);
  }
  const Value* argument(const VarMap& callMap, size_t i) override {
    if (const ArgumentsOnlyCall* call = argumentsOnly_; call && callMap.sameAs(call->caller) && i < call->raw.size())
      return call->raw[i].get();  // what the call map would bind, at once
    // A call binds its arguments in the same places every time: the lookup
    // of the last call answers the next one at once.
    if (i < kNearArguments) return callMap.find(argumentName(i), argumentMemos_[i]);
    return callMap.find(argumentName(i));
  }
  const Value& rawArgument(const VarMap& callMap, size_t i) override {
    if (const Value* raw = argument(callMap, i)) [[likely]]
      return *raw;
    missingArgument(i);
  }
  Console& console() override { return console_; }
  const RunLimits& limits() const override { return applied_; }
  LibraryFolders& libraryFolders() override { return libraryFolders_; }
  // The name `each` binds its items to, one with the name as the body's
  // tokens spell it (interned), so that binding it finds the slot at once.
  const Text& elementName() const { return elementName_; }

  // Sets the bounds for the runs that follow and starts the step and time
  // budget afresh: a harness calls it before each run.
  void setLimits(RunLimits limits) {
    limits_ = std::move(limits);
    applied_ = limits_;
    budget_.start(limits_, &applied_.maxValueBytes);
    noteSlowSteps();
  }
  // Starts the budget afresh under the same bounds: each line typed at the
  // REPL is a run of its own (see RunBudget::restart).
  void restartBudget() { budget_.restart(); }
  // One step of a run (see RunBudget::countStep).
  void countStep() { budget_.countStep(limits_); }

 private:
  friend class NestingCount;
  friend class CallDepth;
  friend class BuiltinCallRecord;
  Console& console_;
  BuiltinTable builtins_;
  size_t nesting_ = 0;
  // "arg0", "arg1", ...: the first few in a plain array, read at every
  // call; the rest made as needed, with stable references as they grow.
  static constexpr size_t kNearArguments = 8;
  Text nearArgumentNames_[kNearArguments];
  LookupMemo argumentMemos_[kNearArguments];
  std::deque<Text> argumentNames_;
  const Text& newArgumentName(size_t i);
  [[noreturn, gnu::cold]] void missingArgument(size_t i);
  Text elementName_;
  // The syntax of the builtin call that is running (the innermost), whose
  // argument tokens keep their expression forms; null when none runs.
  const CallSyntax* builtinCall_ = nullptr;
  ArgumentsOnlyCall* argumentsOnly_ = nullptr;
  // The map an argument of the running builtin call is read in: the call
  // map, or for a call whose map is not made, the caller's map where that
  // reads the same, else the call map made now.
  const VarMap& argumentMap(const VarMap& callMap, const ExpressionForm* form);
  const Program* userProgram_ = nullptr;
  OriginDescriber describeOrigin_;
  void noteSlowSteps() { slowSteps_ = tracing_ || budget_.budgeted(); }
  bool tracing_ = false;
  bool slowSteps_ = false;
  size_t callDepth_ = 0;
  uint32_t typedLines_ = 0;
  SourceRef typedSource_ = makeSource("<stdin>", false);
  SourceRef execSource_ = makeSource("<exec>");
  RunLimits limits_;
  // The bounds as the operations apply them: those given, with the cap on
  // one value kept by the budget while memory is bounded.
  RunLimits applied_;
  RunBudget budget_;
  LibraryFolders libraryFolders_;
};

// One level of nesting, counted while it lives.
class NestingCount {
 public:
  explicit NestingCount(Interpreter& interp) : interp_(interp) {
    if (++interp_.nesting_ > kMaxNesting) tooDeep();
  }
  ~NestingCount() { --interp_.nesting_; }
  NestingCount(const NestingCount&) = delete;
  NestingCount& operator=(const NestingCount&) = delete;

 private:
  [[noreturn]] void tooDeep();
  Interpreter& interp_;
};

// Entering a body (a program run on a run of its own, a call's body, each
// iteration of a loop): the stack checked, a step counted, then a level of
// nesting held while the body runs. Every body enters through it, then runs
// each of its statements as a step of its own (see runStatements).
class BodyEntry {
 public:
  explicit BodyEntry(Interpreter& interp) : nesting_(enter(interp)) {}

 private:
  static Interpreter& enter(Interpreter& interp) {
    checkStack();
    checkInterrupt();  // a body of empty statements runs none of its own
    interp.countStep();
    return interp;
  }
  NestingCount nesting_;
};

// A builtin call running, its syntax known to the interpreter while it
// lives (see Interpreter::evaluateArgument), and for a builtin that reads
// only its arguments, the call whose map is made only when an argument needs
// it: its handler gets the caller's map in its place.
class BuiltinCallRecord {
 public:
  BuiltinCallRecord(Interpreter& interp, const CallSyntax& call, ArgumentsOnlyCall* argumentsOnly)
      : interp_(interp), outer_(interp.builtinCall_), outerArgumentsOnly_(interp.argumentsOnly_) {
    interp_.builtinCall_ = &call;
    interp_.argumentsOnly_ = argumentsOnly;
  }
  ~BuiltinCallRecord() {
    interp_.builtinCall_ = outer_;
    interp_.argumentsOnly_ = outerArgumentsOnly_;
  }
  BuiltinCallRecord(const BuiltinCallRecord&) = delete;
  BuiltinCallRecord& operator=(const BuiltinCallRecord&) = delete;

 private:
  Interpreter& interp_;
  const CallSyntax* outer_;
  ArgumentsOnlyCall* outerArgumentsOnly_;
};

// One user function call, counted while it lives, for the trace's indent.
class CallDepth {
 public:
  explicit CallDepth(Interpreter& interp) : interp_(interp) { ++interp_.callDepth_; }
  ~CallDepth() { --interp_.callDepth_; }
  CallDepth(const CallDepth&) = delete;
  CallDepth& operator=(const CallDepth&) = delete;

 private:
  Interpreter& interp_;
};

// What a body gives its caller (a call, a block), from the result its run
// made: the value of the `end` that ended it, or integer 0 when no `end` gave
// one. A run's result starts as integer 0, held as none until an `end` sets it.
inline Value& bodyResult(ValueSlot& result) {
  if (!result) result = Value::integer(0);
  return *result;
}
}  // namespace velk
