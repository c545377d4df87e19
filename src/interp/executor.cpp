// The statement executor: runs statement lists, dispatches on the first token,
// performs assignments and `end`, and writes the working maps back.
#include <utility>

#include "interp/run.h"
#include "support/error.h"
#include "support/run_limits.h"
#include "support/interrupt.h"
#include "support/stack_guard.h"

namespace velk {
namespace {

void runEnd(Run& run, const CompiledStatement& st) {
  if (st.tokens.size() > 1) run.result = evaluateExpression(run.interp, st.tokens[1], run.readView(), Blocks::Run);
  run.returned = true;
  run.stopped = true;
}

// The Value a member path `(a b c)` leads to: a in the outer or local map,
// then b among a's members, c among b's.
ValueRef memberTarget(Run& run, const Text& target) {
  TokenListRef path = memberPath(target);
  ValueRef v = run.lookup(path->tokens.front());
  if (!v)
    fail("no such variable", quoteForReport(path->tokens.front().view()) + " in member path " +
                                 quoteForReport(target.view()));
  for (size_t i = 1; i < path->tokens.size(); ++i) {
    const ValueRef* member = v->members.findRef(path->tokens[i]);
    if (!member)
      fail("no such member", quoteForReport(path->tokens[i].view()) + " in member path " +
                                 quoteForReport(target.view()));
    v = *member;
  }
  return v;
}

void runAssignment(Run& run, const CompiledStatement& st) {
  if (st.tokens.size() < 3)
    fail("incomplete assignment", "an assignment is a target, an operator and a value");
  const Text& target = st.tokens[0];
  const Text& op = st.tokens[1];
  ValueRef slot;
  if (target.front() == '(') {
    slot = memberTarget(run, target);
  } else {
    slot = run.lookup(target);
    if (!slot) {
      // A new variable is local to the run that creates it, and exists
      // before its value is evaluated.
      slot = newValue();
      run.bindLocal(target, slot);
    }
  }
  ValueSlot scratch;
  const Value& value = evaluateInPlace(run.interp, st.tokens[2], run.readView(), Blocks::Keep, scratch);
  if (op.size() > 1) {
    // `x += 1`: the operator token's first character names the operator.
    *slot = applyOperator(*slot, value, st.compoundOp);
  } else if (scratch && &value == &*scratch) {
    *slot = std::move(*scratch);
  } else {
    *slot = value;  // a variable or literal read in place; `x = x` changes nothing
  }
}

void runStatement(Run& run, const CompiledStatement& st) {
  switch (st.kind) {
    case StatementKind::Empty: return;
    case StatementKind::Call: dispatchCall(run.interp, st.tokens[0], run.readView()); return;
    case StatementKind::Assignment: runAssignment(run, st); return;
    case StatementKind::Keyword: break;
  }
  switch (st.keyword) {
    case Keyword::End: runEnd(run, st); break;
    case Keyword::Compare: runCompare(run, st); break;
    case Keyword::Each: runEach(run, st); break;
    case Keyword::Until: runUntil(run, st); break;
    case Keyword::List: runList(run, st); break;
    case Keyword::Add: runAdd(run, st); break;
    case Keyword::Index: runIndex(run, st); break;
    case Keyword::Where: runWhere(run, st); break;
    case Keyword::Remove: runRemove(run, st); break;
    case Keyword::Exec: runExec(run, st); break;
    case Keyword::Also: runAlso(run, st); break;
    case Keyword::Class: runClass(run, st); break;
    case Keyword::None: break;
  }
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

const Text& operand(const CompiledStatement& st, size_t i, const char* what) {
  if (st.tokens.size() <= i)
    fail("missing operand", std::string("`").append(st.tokens.front().view()) + "` needs " + what);
  return st.tokens[i];
}

ValueRef namedVariable(const Run& run, const Text& name, const char* statement) {
  ValueRef v = run.lookup(name);
  if (!v)
    fail("no such variable",
         std::string("`").append(statement) + "` names " + quoteForReport(name.view()) + ", which is no variable");
  return v;
}

void runStatements(Run& run, const Program& program) {
  Interpreter& interp = run.interp;
  const bool userLevel = interp.isUserProgram(program);
  for (const CompiledStatement& st : program.statements) {
    try {
      countStep();
      checkInterrupt();
      runStatement(run, st);
    } catch (VelkError& e) {
      // The innermost statement that sees an error pass is the one it names;
      // the innermost of the user's own statements is where it arose.
      bool innermost = !e.hasStatement();
      if (innermost) e.noteStatement(st.sourceText());
      if (userLevel && !e.hasOrigin()) e.noteOrigin(interp.describeOrigin(st, innermost));
      throw;
    } catch (OpenGroupError& e) {
      bool innermost = !e.hasStatement();
      e.noteStatement();
      if (userLevel && !e.hasOrigin()) e.noteOrigin(interp.describeOrigin(st, innermost));
      throw;
    }
    if (run.stopped) break;
  }
}

ExecResult executeStatements(Interpreter& interp, const Program& program, VarMap* outer, VarMap* local) {
  checkStack();
  countStep();
  NestingCount nesting(interp);
  Run run(interp);
  // The caller does not look at its maps until the run has ended, so the run
  // takes them over instead of copying them (which keeps their tries private,
  // to be written in place) and hands them back at the end. One map given as
  // both is shared by the two working maps.
  if (outer) run.outer = std::move(*outer);
  if (local) run.local = local == outer ? run.outer : std::move(*local);
  HandBack handBack(run, outer, local);
  runStatements(run, program);
  return ExecResult{std::move(run.result), run.returned};
}

}  // namespace velk
