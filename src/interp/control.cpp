// The control statements `compare`, `each` and `until`. Each runs its body, a
// brace token without its first and last byte, as a nested run on a merged
// map, and passes an `end` of the body up to the current run.
#include "interp/run.h"
#include "support/error.h"
#include "support/stack_guard.h"

namespace velk {
namespace {

// A condition's truth, its value read in place.
bool isTrue(Run& run, const CompiledStatement& st, const Text& cond) {
  return evaluateCondition(run.interp, cond, st.operandForm, run.readView());
}

}  // namespace

void runCompare(Run& run, const CompiledStatement& st) {
  const Text& cond = operand(st, 1, "a condition and a body");
  if (!isTrue(run, st, cond)) return;
  ProgramRef body = innerProgram(operand(st, 2, "a body"), "body");
  ExecResult r = executeDetached(run.interp, *body, run.mergedMap());
  if (r.returned) {
    run.passUp(std::move(r));
    run.stopped = true;  // an `end` in the body ends the current run at once
  }
}

void runEach(Run& run, const CompiledStatement& st) {
  const Text& collection = operand(st, 1, "a collection and a body");
  ValueSlot scratch;
  const Value& v = evaluateInPlace(run.interp, collection, st.operandForm, run.readView(), Blocks::Run, scratch);
  // The items are fixed before the first iteration: a string's bytes, or the
  // element Values themselves (this handle keeps the list as it is now).
  bool bytesOfString = v.typeName == kString;
  size_t count = bytesOfString ? v.text.size() : v.elements.size();
  if (count == 0) return;
  const Text bytes = v.text;
  const Elements items = v.elements;
  ProgramRef body = innerProgram(operand(st, 2, "a body"), "body");
  // Each iteration is a run with the merged map as its outer map and no
  // local bindings, the same as executeStatements(body, &merged, nullptr)
  // would make, but one run record serves them all.
  Run iteration(run.interp);
  iteration.outer = run.mergedMap();
  for (size_t i = 0; i < count; ++i) {
    ValueRef item = bytesOfString ? newValue(Value::string(oneByteText(static_cast<unsigned char>(bytes[i])))) : items[i];
    checkStack();
    run.interp.countStep();
    NestingCount nesting(run.interp);
    iteration.startAgain();
    iteration.outer.set(run.interp.elementName(), std::move(item));
    runStatements(iteration, *body);
    if (iteration.returned) {
      run.passUp(ExecResult{std::move(iteration.result), true});
      break;  // the current run goes on with its next statement
    }
  }
}

void runUntil(Run& run, const CompiledStatement& st) {
  const Text& cond = operand(st, 1, "a condition and a body");
  VarMap loop = run.mergedMap();
  ProgramRef body;
  // Each iteration is a run with the loop map as both its maps, the same as
  // executeStatements(body, &loop, &loop) would make, but one run record
  // serves them all, and its read view too while no binding changes.
  Run iteration(run.interp);
  // The condition reads the current run's maps, not the loop map.
  while (isTrue(run, st, cond)) {
    if (!body) body = innerProgram(operand(st, 2, "a body"), "body");
    checkStack();
    run.interp.countStep();
    NestingCount nesting(run.interp);
    iteration.startOver(std::move(loop));
    runStatements(iteration, *body);
    loop = iteration.finish();
    if (iteration.returned) {
      run.passUp(ExecResult{std::move(iteration.result), true});
      break;
    }
  }
}

}  // namespace velk
