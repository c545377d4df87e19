// Calls: builtins through the registry, user functions through their func
// Values, with argument slots, argument names, import lists and dynamic scope.
#include <cassert>

#include "interp/interpreter.h"
#include "support/error.h"
#include "support/stack_guard.h"

namespace velk {
namespace {

const Text& parameterName(Interpreter& interp, const NameList& argNames, size_t i) {
  const std::vector<Text>& names = argNames.get();
  // Arguments beyond the named ones keep their default names.
  return i < names.size() ? names[i] : interp.argumentName(i);
}

// The callee of a user call. A name that is neither a variable nor a number
// is a function that does not exist (a misspelt builtin, most often), and the
// error says so rather than only that it holds no integer.
// Read in place where it lies (a variable), else evaluated into `slot`.
const Value& calleeValue(Interpreter& interp, const Text& name, const VarMap& vars, ValueSlot& slot) {
  try {
    return evaluateInPlace(interp, name, vars, Blocks::Run, slot);
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
  // Only call terms and call statements (texts that start with `$`) come
  // here; anything else calls nothing, also in a release build.
  assert(!callText.empty() && callText.front() == '$');
  if (callText.empty() || callText.front() != '$') return Value();
  checkStack();
  CallSyntaxRef form = callSyntax(callText);
  if (!form->hasName) fail("malformed call", "a lone `$` names nothing to call");

  // What the call needs of the callee is taken before the arguments run,
  // since they may change it: a func's or string's text and argument names
  // (shared handles), or else a copy of the whole Value, whose display form
  // is taken afterwards.
  Text body;
  NameList argNames;
  ValueSlot calleeSlot, calleeCopy;
  {
    const Value& callee = calleeValue(interp, form->name, vars, calleeSlot);
    if (callee.typeName == kFunc || callee.typeName == kString) {
      body = callee.text;  // the display form of both
      argNames = callee.argNames();
    } else {
      calleeCopy = callee;
    }
  }
  calleeSlot.reset();
  const CallSyntax::UserParts& parts = form->userParts(callText);

  // Each argument is evaluated in turn into a fresh slot; later arguments see
  // what earlier ones did to shared Values.
  std::vector<ValueRef> slots;
  slots.reserve(parts.args.size());
  for (const Text& arg : parts.args) slots.push_back(newValue(evaluateExpression(interp, arg, vars, Blocks::Run)));

  if (calleeCopy) {
    body = asText(*calleeCopy, interp.limits().maxValueBytes);
    argNames = calleeCopy->argNames();
  }
  ProgramRef program = innerProgram(body, "function body");

  VarMap bodyMap;
  if (parts.restricted) {
    // Only the imported names; a name that is no variable is left out.
    for (const Text& name : parts.imports)
      if (const ValueRef* v = vars.findRef(name)) bodyMap.set(name, *v);
  } else {
    bodyMap = vars;
  }
  for (size_t i = 0; i < slots.size(); ++i) bodyMap.set(parameterName(interp, argNames, i), std::move(slots[i]));

  ExecResult r = executeStatements(interp, *program, &bodyMap, nullptr);
  return std::move(r).value();
}

}  // namespace velk
