// The interpreter: its state, one object the host creates, and the entry
// points that run statement lists, evaluate expressions, apply operators and
// call functions, each given the interpreter it runs in.
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
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "interp/evaluator_interface.h"
#include "interp/parse_cache.h"
#include "interp/statements.h"
#include "support/console.h"
#include "value/value.h"

namespace velk {

class VelkError;

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

  // The user's own program (a script file, a `-e` text) and how to name one
  // of its statements as the origin of an error ("at line 3 of `f.VELK`"),
  // given whether that statement is also the innermost one the error passed.
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

  // The user's own script when velk runs one (a script file, a `-e` text):
  // executeOnce runs it a statement at a time, so its statements are named
  // by the line they start on ("at line 3 of `f.VELK`"), given also whether
  // that statement is the innermost one the error passed.
  using LineDescriber = std::function<std::string(size_t line, const CompiledStatement& user, bool innermost)>;
  void setUserScript(const Text& script, LineDescriber describe) {
    userScript_ = script;
    describeLine_ = std::move(describe);
  }
  bool isUserScript(const Text& script) const { return userScript_.rep() && userScript_.rep() == script.rep(); }
  std::string describeLine(size_t line, const CompiledStatement& user, bool innermost) const {
    return describeLine_ ? describeLine_(line, user, innermost) : std::string();
  }

  // The evaluator interface the builtins see.
  Value evaluate(const Text& text, const VarMap& vars) override;
  const Text& argumentName(size_t i) override {
    if (i < kNearArguments && !nearArgumentNames_[i].empty()) [[likely]]
      return nearArgumentNames_[i];
    return newArgumentName(i);
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
  }
  // Starts the budget afresh under the same bounds: each line typed at the
  // REPL is a run of its own (see RunBudget::restart).
  void restartBudget() { budget_.restart(); }
  // One step of a run (see RunBudget::countStep).
  void countStep() { budget_.countStep(limits_); }

 private:
  friend class NestingCount;
  Console& console_;
  BuiltinTable builtins_;
  size_t nesting_ = 0;
  // "arg0", "arg1", ...: the first few in a plain array, read at every
  // call; the rest made as needed, with stable references as they grow.
  static constexpr size_t kNearArguments = 8;
  Text nearArgumentNames_[kNearArguments];
  std::deque<Text> argumentNames_;
  const Text& newArgumentName(size_t i);
  Text elementName_;
  const Program* userProgram_ = nullptr;
  OriginDescriber describeOrigin_;
  Text userScript_;
  LineDescriber describeLine_;
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

// Room for a Value that may be made.
using ValueSlot = std::optional<Value>;

// What a run gives back: the value of the `end` that stopped it (integer 0 if
// none) and the returned mark, set once an `end` ran in the run or was passed
// up to it from a nested body.
struct ExecResult {
  std::optional<Value> result;  // none: no `end` gave a value, so integer 0
  bool returned = false;
  Value value() && { return result ? std::move(*result) : Value::integer(0); }
};
// Runs `program` with working copies of *outer and *local (either may be null)
// and, at the end, writes them back, also when the run ends by an error:
// *outer first, then *local, so that when both point at one map the local
// bindings decide its content.
ExecResult executeStatements(Interpreter& interp, const Program& program, VarMap* outer, VarMap* local);
// The same with `scope` as the outer map and no local map, for callers that
// drop the outer map afterwards (a call's body map, the merged map of a
// `compare` body, a block's copy of its scope): nothing is written back.
ExecResult executeDetached(Interpreter& interp, const Program& program, VarMap scope);
// The same with the run's result made in `result`, which must be empty (and
// stays so when no `end` gives a value); true when the run returned.
bool executeDetached(Interpreter& interp, const Program& program, VarMap&& scope, ValueSlot& result);

// Runs a text that runs once (a loaded script, a long `exec` text, the
// program velk was started with) as executeStatements runs its program, but
// splits and compiles one statement at a time and drops each once it has
// run, so that a long script never has all its statements and their parsed
// forms in memory at once. As with a whole split, a text that ends inside an
// open group fails before any of it runs.
ExecResult executeOnce(Interpreter& interp, const Text& text, VarMap* outer, VarMap* local);

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
// For a kept form of two quiet terms (ExpressionForm::quietBinary): when both
// are integers and the operator gives an integer, that integer, in `n`, as
// evaluating the form would give it (without making a Value); else false.
bool quietIntegerResult(const ExpressionForm& form, const VarMap& vars, int64_t& n);
// A statement's condition: its value (brace blocks run) read as an integer is
// not zero.
bool evaluateCondition(Interpreter& interp, const Text& text, const ExpressionForm*& kept, const VarMap& vars);

// One of the thirteen operators, or Op::Unknown for an "unspecified" result;
// the strings and list forms it builds stay within `limits`' value cap.
Value applyOperator(const Value& left, const Value& right, Op op, const RunLimits& limits);
// `target = (target op right)` done in place, for `x += 1` and `s += "x"`:
// true when it was (two integers, or + of two strings, where the target holds
// nothing but its integer or its text), leaving the target exactly as
// assigning applyOperator's result would; false, with the target untouched,
// otherwise.
bool applyInPlace(Value& target, const Value& right, Op op, const RunLimits& limits);

// A `$` call: a builtin when the name is in the interpreter's table, else a
// user function.
Value dispatchCall(Interpreter& interp, const Text& callText, const VarMap& vars);
// The same with the call's syntax remembered in `kept` (beside a term that
// stays, as TermSyntax::call) once it is known.
Value dispatchCall(Interpreter& interp, CallSyntaxRef& kept, const Text& callText, const VarMap& vars);
// The same with the result made in `into` (whatever it held is dropped).
void dispatchCall(Interpreter& interp, CallSyntaxRef& kept, const Text& callText, const VarMap& vars,
                  ValueSlot& into);

}  // namespace velk
