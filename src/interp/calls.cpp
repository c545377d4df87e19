// Calls: builtins through the registry, user functions through their func
// Values, with argument slots, argument names, import lists and dynamic scope.
#include "interp/interpreter.h"
#include "support/error.h"
#include "support/stack_guard.h"

namespace velk {
namespace {

const Text& parameterName(Interpreter& interp, const Value& callee, size_t i) {
  const std::vector<Text>& names = callee.argNames.get();
  // Arguments beyond the named ones keep their default names.
  return i < names.size() ? names[i] : interp.argumentName(i);
}

// The callee of a user call. A name that is neither a variable nor a number
// is a function that does not exist (a misspelt builtin, most often), and the
// error says so rather than only that it holds no integer.
Value calleeValue(Interpreter& interp, const Text& name, const VarMap& vars) {
  try {
    return evaluateExpression(interp, name, vars, Blocks::Run);
  } catch (const VelkError& e) {
    if (e.kind() != ErrorKind::InvalidArgument || e.hasStatement() || vars.find(name)) throw;
    const TermSyntax* cached = cachedTermSyntax(name);
    TermKind kind = cached ? cached->kind : parseTerm(name).kind;
    if (kind != TermKind::BadNumber) throw;
    failUnknownTerm(e, name, "variable, function or number");
  }
}

}  // namespace

void NestingCount::tooDeep() {
  --interp_.nesting_;
  fail("recursion too deep",
       "more than " + std::to_string(kMaxNesting) + " bodies, blocks and calls are running inside each other");
}

Value dispatchCall(Interpreter& interp, const Text& callText, const VarMap& vars) {
  checkStack();
  CallSyntaxRef form = callSyntax(callText);
  if (!form->hasName) fail("malformed call", "a lone `$` names nothing to call");
  BuiltinHandler builtin = form->builtinIn(interp.builtins());
  if (!builtin) return callFunction(interp, callText, vars);
  const std::vector<Text>& args = form->builtinArgs(callText);

  NestingCount nesting(interp);  // a builtin's arguments can call it again, without end
  // The call map: every visible variable, then one raw-text slot per argument.
  VarMap callMap = vars;
  for (size_t i = 0; i < args.size(); ++i)
    callMap.set(interp.argumentName(i), newValue(Value::string(args[i])));
  Value result;
  builtin(interp, result, std::move(callMap));
  return result;
}

Value callFunction(Interpreter& interp, const Text& callText, const VarMap& vars) {
  if (callText.empty() || callText.front() != '$') return Value();
  checkStack();
  CallSyntaxRef form = callSyntax(callText);
  if (!form->hasName) fail("malformed call", "a lone `$` names nothing to call");

  Value callee = calleeValue(interp, form->name, vars);
  const CallSyntax::UserParts& parts = form->userParts(callText);

  // Each argument is evaluated in turn into a fresh slot; later arguments see
  // what earlier ones did to shared Values.
  std::vector<ValueRef> slots;
  slots.reserve(parts.args.size());
  for (const Text& arg : parts.args) slots.push_back(newValue(evaluateExpression(interp, arg, vars, Blocks::Run)));

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
  for (size_t i = 0; i < slots.size(); ++i) bodyMap.set(parameterName(interp, callee, i), std::move(slots[i]));

  ExecResult r = executeStatements(interp, *program, &bodyMap, nullptr);
  return std::move(r).value();
}

}  // namespace velk
