// The list statements: `list`, `add`, `index`, `where` and `remove`.
#include "interp/list_statements.h"

#include "interp/evaluator.h"
#include "interp/run.h"
#include "support/error.h"

namespace velk {
namespace {

// The statement's expression operand, its third token, read in place (the
// statement keeps its parsed form).
[[gnu::always_inline]] inline const Value& valueOperand(Run& run, const CompiledStatement& st, const char* what,
                                                        ValueSlot& scratch) {
  return evaluateInPlace(run.interp, operand(st, 2, what), st.operandForm, run.readView(), Blocks::Run, scratch);
}

[[gnu::always_inline]] inline int64_t positionOperand(Run& run, const CompiledStatement& st) {
  ValueSlot scratch;
  return asInt(valueOperand(run, st, "a position", scratch));
}

[[noreturn, gnu::cold, gnu::noinline]] void positionOutOfRange(int64_t n, size_t count, const char* statement,
                                                               const Text& name) {
  fail("position out of range",
       std::string("`").append(statement) + "` asks for position " + std::to_string(n) + " of " +
           quoteForReport(name.view()) + ", which has " +
           (count == 0 ? std::string("no items") : std::to_string(count) + (count == 1 ? " item" : " items")) +
           (count == 0 ? std::string() : " (positions 0 to " + std::to_string(count - 1) + ")"));
}

// Positions count from 0; anything outside the list or string is refused.
size_t checkedPosition(int64_t n, size_t count, const char* statement, const Text& name) {
  if (n < 0 || static_cast<uint64_t>(n) >= count) positionOutOfRange(n, count, statement, name);
  return static_cast<size_t>(n);
}

}  // namespace

void runList(Run& run, const CompiledStatement& st) {
  run.bind(operand(st, 1, "a name"), newValue(Value::list()), st.outputMemo);
}

void runAdd(Run& run, const CompiledStatement& st) {
  operand(st, 1, "a list name and a value");
  ValueRef target = namedVariable(run, st, "add");
  // The value read in place is copied into the new element; one made by the
  // evaluation moves there.
  ValueSlot scratch;
  const Value& v = valueOperand(run, st, "a value", scratch);
  if (scratch && &v == &*scratch) {
    scratch->text.settle();
    target->elements.push(std::move(*scratch));
  } else {
    target->elements.push(v);
  }
}

void runIndex(Run& run, const CompiledStatement& st) {
  const Text& name = operand(st, 1, "a name, a position and an output name");
  ValueRef source = namedVariable(run, st, "index");
  // The type decides before the position is evaluated: a block in the
  // position may change the Value, and then what it holds is read by the
  // rule its type chose.
  const bool isList = source->typeName == kList;
  int64_t n = positionOperand(run, st);
  const Text& out = operand(st, 3, "an output name");
  if (isList) {
    size_t i = checkedPosition(n, source->elements.size(), "index", name);
    run.bind(out, source->elements.ref(i), st.outputMemo);  // the element itself, not a copy
  } else {
    size_t i = checkedPosition(n, source->text.size(), "index", name);
    run.bind(out, newValue(Value::string(oneByteText(static_cast<unsigned char>(source->text[i])))), st.outputMemo);
  }
}

void runWhere(Run& run, const CompiledStatement& st) {
  operand(st, 1, "a list name, a value and an output name");
  ValueRef source = namedVariable(run, st, "where");
  ValueSlot scratch;
  const Value& x = valueOperand(run, st, "a value", scratch);
  const Text& out = operand(st, 3, "an output name");
  // This handle keeps the elements alive while they are compared.
  Elements items = source->elements;
  size_t count = firstEqual(items, x, run.interp.limits().maxValueBytes);
  run.bind(out, newValue(Value::integer(static_cast<int64_t>(count))), st.outputMemo);
}

void runRemove(Run& run, const CompiledStatement& st) {
  const Text& name = operand(st, 1, "a list name and a position");
  ValueRef target = namedVariable(run, st, "remove");
  int64_t n = positionOperand(run, st);
  target->elements.erase(checkedPosition(n, target->elements.size(), "remove", name));
}

}  // namespace velk
