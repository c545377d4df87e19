// The control statements `compare`, `each` and `until`. Each runs its body, a
// brace token without its first and last byte, as a nested run on a merged
// map, and passes an `end` of the body up to the current run.
#include "interp/control.h"
#include "interp/evaluator.h"
#include "interp/executor.h"
#include "interp/fast_paths.h"
#include "interp/run.h"
#include "support/error.h"

namespace velk {
namespace {

// A condition's truth, its value read in place.
bool isTrue(Run& run, const CompiledStatement& st, const Text& cond) {
  return evaluateCondition(run.interp, cond, st.operandForm, run.readView());
}

// Binds the element name in a map that the turns to come keep while only
// the item changes in place: stamped at once, so that the body's lookups are
// remembered in it from the first turn, however they are first answered.
void bindAnew(VarMap& map, const Text& name, ValueRef item) {
  map.set(name, std::move(item));
  map.baseStamp();
}

// Binds the element name to an item of a list: where the previous item's
// binding lies, when the map is the iteration's own, so that the lookups the
// body remembers stay good.

void bindItem(VarMap& map, const Text& name, const ValueRef& item) {
  if (ValueRef* bound = fast_path::kRebindItem ? map.frontBinding(name) : nullptr) {
    *bound = item;
    if (fast_path::kCheck && map.find(name) != item.get())
      fast_path::disagree("REBIND_ITEM", "another binding", "the item");
  } else {
    bindAnew(map, name, item);
  }
}

// Moves the element name on to item i without binding it anew: when the name
// still holds item i - 1 and nothing else does, the list keeps that item
// compact again and the Value becomes item i (see Elements::passBox).
bool passElement(VarMap& map, const Text& name, const Elements& items, size_t i) {
  if (i == 0) return false;
  ValueRef* bound = map.frontBinding(name);
  return bound && *bound && items.passBox(i - 1, i, bound->get());
}

// Binds the element name to a fresh string Value of one byte. The previous
// byte's Value is reused when nothing but this binding refers to it and it
// still holds nothing but its string: then no one can tell it from a new one.
void bindByte(VarMap& map, const Text& name, unsigned char byte) {
  const Text& text = oneByteText(byte);
  ValueRef* bound = fast_path::kRebindItem ? map.frontBinding(name) : nullptr;
  if (!bound) {
    bindAnew(map, name, newValue(Value::string(text)));
    return;
  }
  Value& v = **bound;
  if (bound->unique() && v.isPlainString())
    v.text = text;
  else
    *bound = newValue(Value::string(text));
  if constexpr (fast_path::kCheck) {
    const Value* now = map.find(name);
    fast_path::checkSame("REBIND_ITEM", now ? *now : Value(), Value::string(text));
  }
}

}  // namespace

void runCompare(Run& run, const CompiledStatement& st) {
  const Text& cond = operand(st, 1, "a condition and a body");
  if (!isTrue(run, st, cond)) return;
  // A body split before is found where it is kept, beside the body token,
  // which this statement holds while it runs.
  ProgramRef fresh;
  const Program* body = st.bodyProgram;
  if (!body) {
    const Text& bodyText = operand(st, 2, "a body");
    body = st.bodyProgram = keptInnerProgram(bodyText);
    if (!body) {
      fresh = innerProgram(bodyText, "body");
      body = fresh.get();
    }
  }
  // An `end` of the body ends the current run at once, its value made where
  // the run's result goes while that is empty.
  ValueSlot empty;
  ValueSlot& into = run.result ? empty : run.result;
  if (const CompiledStatement* end = fast_path::kLoneEnd ? loneValueEnd(run.interp, *body) : nullptr) {
    if (const VarMap* merged = run.mergedInPlace())
      executeLoneEnd(run.interp, *body, *end, *merged, into);
    else
      executeLoneEnd(run.interp, *body, *end, run.mergedMap(), into);
    run.ended(into, true);
  } else if (executeDetached(run.interp, *body, run.mergedMap(), into)) {
    run.ended(into, true);
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
  const Text& name = run.interp.elementName();
  for (size_t i = 0; i < count; ++i) {
    BodyEntry entry(run.interp);
    iteration.startAgain();
    if (bytesOfString)
      bindByte(iteration.outer, name, static_cast<unsigned char>(bytes[i]));
    else if (!passElement(iteration.outer, name, items, i))
      bindItem(iteration.outer, name, items.ref(i));
    runStatements(iteration, *body);
    if (iteration.returned) {
      run.ended(iteration.result, false);
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
  // An iteration that bound no name leaves the loop map in the run, where
  // the next one starts on it as it lies.
  bool asIs = false;
  // The condition reads the current run's maps, not the loop map.
  while (isTrue(run, st, cond)) {
    if (!body) body = innerProgram(operand(st, 2, "a body"), "body");
    BodyEntry entry(run.interp);
    if (asIs)
      iteration.startOverAsIs();
    else
      iteration.startOver(std::move(loop));
    runStatements(iteration, *body);
    if (iteration.returned) {
      run.ended(iteration.result, false);
      break;
    }
    asIs = iteration.boundNothing();
    if (!asIs) loop = iteration.finish();
  }
}

}  // namespace velk
