// Calls: builtins through the registry, user functions through their func
// Values, with argument slots, argument names, import lists and dynamic scope.
#include "interp/interpreter.h"
#include "interp/nesting.h"
#include "value/error.h"
#include "value/stack_guard.h"

namespace velk {
namespace {

const Text& parameterName(const Value& callee, size_t i) {
  const std::vector<Text>& names = callee.argNames.get();
  // Arguments beyond the named ones keep their default names.
  return i < names.size() ? names[i] : argumentName(i);
}

}  // namespace

void NestingCount::tooDeep() {
  --depth_;
  fail("recursion too deep",
       "more than " + std::to_string(kMaxNesting) + " bodies, blocks and calls are running inside each other");
}

Value dispatchCall(const Text& callText, const VarMap& vars) {
  checkStack();
  CallFormRef form = callForm(callText);
  if (!form->hasName) fail("malformed call", "a lone `$` names nothing to call");
  if (!form->builtin) return callFunction(callText, vars);

  NestingCount nesting;  // a builtin's arguments can call it again, without end
  // The call map: every visible variable, then one raw-text slot per argument.
  VarMap callMap = vars;
  for (size_t i = 0; i < form->args.size(); ++i)
    callMap.set(argumentName(i), newValue(Value::string(form->args[i])));
  Value result;
  form->builtin(result, std::move(callMap));
  return result;
}

Value callFunction(const Text& callText, const VarMap& vars) {
  if (callText.empty() || callText.front() != '$') return Value();
  checkStack();
  CallFormRef form = callForm(callText);
  if (!form->hasName) fail("malformed call", "a lone `$` names nothing to call");

  Value callee = evaluateExpression(form->name, vars, true);
  const CallForm::UserParts& parts = form->userParts(callText);

  // Each argument is evaluated in turn into a fresh slot; later arguments see
  // what earlier ones did to shared Values.
  std::vector<ValueRef> slots;
  slots.reserve(parts.args.size());
  for (const Text& arg : parts.args) slots.push_back(newValue(evaluateExpression(arg, vars, true)));

  Text body = asText(callee);
  ProgramRef program = innerProgram(body, "function body");

  VarMap bodyMap;
  if (parts.restricted) {
    // Only the imported names; a name that is no variable is left out.
    for (const Text& name : parts.imports)
      if (const ValueRef* v = vars.findRef(name)) bodyMap.set(name, *v);
  } else {
    bodyMap = vars;
  }
  for (size_t i = 0; i < slots.size(); ++i) bodyMap.set(parameterName(callee, i), std::move(slots[i]));

  ExecResult r = executeStatements(*program, &bodyMap, nullptr);
  return std::move(r.result);
}

}  // namespace velk
