// Calls: builtins through the registry, user functions through their func
// Values, with argument slots, argument names, import lists and dynamic scope.
#include "interp/calls.h"

#include <cassert>
#include <memory>
#include <new>
#include <span>

#include "interp/evaluator.h"
#include "interp/executor.h"
#include "interp/fast_paths.h"
#include "interp/interpreter.h"
#include "support/error.h"
#include "support/near_names.h"
#include "support/stack_guard.h"

namespace velk {
namespace {

// The callee of a user call, read in place where it lies (a variable), else
// evaluated into `slot`. A name that is neither a variable nor a number is a
// function that does not exist (a misspelt builtin, most often), and the
// error says so rather than only that it holds no integer.
const Value& evaluatedCallee(Interpreter& interp, const CallSyntax& form, const VarMap& vars, ValueSlot& slot) {
  const Text& name = form.name;
  try {
    const Value& v = evaluateInPlace(interp, name, vars, Blocks::Run, slot);
    if (form.callee == CallSyntax::Callee::Unknown) {
      // The expression form is kept beside the name by now (unless nothing
      // is kept): a lone token spelt like the name, and not `not`, reads as
      // the variable of that name whenever one is bound.
      ExpressionFormRef expr = expressionForm(name);
      if (expr->kept) {
        bool lone = expr->tokens.size() == 1 && expr->tokens[0].view() == name.view() && name.view() != "not";
        form.callee = lone ? CallSyntax::Callee::Name : CallSyntax::Callee::Other;
      }
    }
    return v;
  } catch (const VelkError& e) {
    if (e.kind() != ErrorKind::InvalidArgument || e.hasStatement() || vars.find(name)) throw;
    const TermSyntax* cached = cachedTermSyntax(name);
    TermKind kind = cached ? cached->kind : parseTerm(name).kind;
    if (kind != TermKind::BadNumber) throw;
    // The name it most likely meant: a builtin, or a variable holding a function.
    NearestName near(name.view(), kMaxNamesCompared);
    for (const auto& [builtinName, handler] : interp.builtins().entries()) near.consider(builtinName);
    vars.forEach([&near](const Text& var, const ValueRef& v) {
      if (v->typeName == kFunc) near.consider(var.view());
    });
    failUnknownTerm(e, name, "a variable, a function or a number", near.best());
  }
}

const Value& calleeValue(Interpreter& interp, const CallSyntax& form, const VarMap& vars, ValueSlot& slot) {
  if (fast_path::kCalleeName && form.callee == CallSyntax::Callee::Name) {
    if (const Value* v = vars.find(form.name, form.calleeMemo)) {
      if constexpr (fast_path::kCheck) {
        ValueSlot general;
        fast_path::checkSame("CALLEE_NAME", *v, evaluatedCallee(interp, form, vars, general));
      }
      return *v;
    }
  }
  return evaluatedCallee(interp, form, vars, slot);
}

// Up to N Values of T, each built only when it is added, so that a call
// with few arguments pays for those alone.
template <class T, size_t N>
class Few {
 public:
  Few() = default;
  Few(const Few&) = delete;
  Few& operator=(const Few&) = delete;
  ~Few() { clear(); }
  void push(T&& v) {
    assert(count_ < N);
    new (data() + count_) T(std::move(v));
    ++count_;
  }
  bool full() const { return count_ == N; }
  std::span<T> span() { return {data(), count_}; }
  void clear() {
    std::destroy_n(data(), count_);
    count_ = 0;
  }

 private:
  T* data() { return std::launder(reinterpret_cast<T*>(storage_)); }
  alignas(T) unsigned char storage_[N * sizeof(T)];
  size_t count_ = 0;
};

// Binds a call's arguments into its map a few at a time, each few as one
// frame over the map (VarMap::frame). The names must outlive the binder.
class ArgumentBinder {
 public:
  explicit ArgumentBinder(VarMap& map) : map_(map) {}
  void bind(const Text& name, ValueRef value) {
    pending_.push({&name, std::move(value)});
    if (pending_.full()) finish();
  }
  // Binds what is pending.
  void finish() {
    if (!pending_.span().empty()) map_ = VarMap::frame(map_, pending_.span());
    pending_.clear();
  }

 private:
  VarMap& map_;
  Few<VarMap::Binding, 8> pending_;
};

// A builtin's call map: `vars` with the names arg0, arg1, ... bound to `raw`.
VarMap argumentFrame(Interpreter& interp, const VarMap& vars, std::span<const ValueRef> raw) {
  VarMap map = vars;
  ArgumentBinder binder(map);
  for (size_t i = 0; i < raw.size(); ++i) binder.bind(interp.argumentName(i), raw[i]);
  binder.finish();
  return map;
}

// How many arguments' raw texts a builtin call holds without allocating.
constexpr size_t kFewArguments = 8;

// A user-function call whose syntax is `form`, its result made in `into`.
void callUser(Interpreter& interp, const CallSyntax& form, const Text& callText, const VarMap& vars,
              ValueSlot& into) {
  // What the call needs of the callee is taken before the arguments run,
  // since they may change it: a func's or string's text and argument names
  // (shared handles), or else a copy of the whole Value, whose display form
  // is taken afterwards. A text split before is taken as its program at once:
  // taking that parses nothing, so it is as if the text were taken.
  Text body;
  ProgramRef program;
  NameList argNames;
  ValueSlot calleeCopy;
  {
    ValueSlot calleeSlot;
    const Value& callee = calleeValue(interp, form, vars, calleeSlot);
    if (callee.typeName == kFunc || callee.typeName == kString) {
      // The text is the display form of both.
      if (const Program* kept = keptInnerProgram(callee.text))
        program = ProgramRef(kept);
      else
        body = callee.text;
    } else {
      calleeCopy = callee;
    }
    argNames = callee.argNames();
  }
  const CallSyntax::UserParts& parts = form.userParts(callText);

  // The body map: the visible variables, or only the imported ones (a name
  // that is no variable is left out), then the arguments. The arguments
  // change no binding of `vars` and see nothing of the body map, so they are
  // evaluated first and then bound all at once, a few at a time.
  VarMap bodyMap;
  if (parts.restricted) {
    for (const Text& name : parts.imports)
      if (const ValueRef* v = vars.findRef(name)) bodyMap.set(name, *v);
  } else {
    bodyMap = vars;
  }
  // Each argument is evaluated in turn into a fresh slot; later arguments
  // see what earlier ones did to shared Values. Arguments beyond the named
  // ones keep their default names.
  const std::vector<Text>& names = argNames.get();
  ArgumentBinder binder(bodyMap);
  for (size_t i = 0; i < parts.args.size(); ++i) {
    ValueRef slot;
    const ExpressionForm* argForm = parts.argForms[i];
    int64_t n;
    if (fast_path::kPrecomputedArgument && argForm && argForm->tokens.size() == 3 &&
        quickInteger(*argForm, vars, n)) {
      // `(arg0 - 1)`: the integer made in the argument's slot at once.
      slot = ValueRef(new Value);
      slot->typeName = kInteger;
      slot->intValue = n;
      if constexpr (fast_path::kCheck) {
        ValueSlot general;
        fast_path::checkSame("PRECOMPUTED_ARGUMENT", *slot,
                             evaluateInPlace(interp, parts.args[i], parts.argForms[i], vars, Blocks::Run, general));
      }
    } else {
      ValueSlot scratch;
      const Value& v = evaluateInPlace(interp, parts.args[i], parts.argForms[i], vars, Blocks::Run, scratch);
      slot = scratch && &v == &*scratch ? newValue(std::move(*scratch)) : newValue(v);
    }
    binder.bind(i < names.size() ? names[i] : interp.argumentName(i), std::move(slot));
  }
  binder.finish();

  if (calleeCopy) body = asText(*calleeCopy, interp.limits().maxValueBytes);
  if (!program) program = innerProgram(body, "function body");
  // The body's `end` makes its value in `into` at once.
  into.reset();
  CallDepth depth(interp);
  try {
    executeDetached(interp, *program, std::move(bodyMap), into);
  } catch (VelkError& e) {
    e.places().leaveCall();  // the statement that made the call names its place next
    throw;
  } catch (OpenGroupError& e) {
    e.places().leaveCall();
    throw;
  }
  bodyResult(into);
}

}  // namespace

const Text& Interpreter::newArgumentName(size_t i) {
  while (argumentNames_.size() <= i)
    argumentNames_.push_back(internName(Text("arg" + std::to_string(argumentNames_.size()))));
  if (i < kNearArguments) nearArgumentNames_[i] = argumentNames_[i];
  return argumentNames_[i];
}

void Interpreter::missingArgument(size_t i) {
  fail("missing argument", "the builtin reads its argument " + argumentName(i).str() + ", which the call does not give");
}

const Value& Interpreter::evaluateArgument(const VarMap& callMap, size_t i, ValueSlot& scratch) {
  const Value& raw = rawArgument(callMap, i);
  // The argument's own token, as the call bound it: read through the form
  // remembered beside the call's syntax. A string made anew with the same
  // bytes (say by a block among the arguments) is read as any text is.
  const ExpressionForm** kept = nullptr;
  if (builtinCall_ && raw.typeName == kString) kept = builtinCall_->builtinArgForm(raw.text, i);
  if (!kept) return scratch.emplace(evaluate(asText(raw, limits().maxValueBytes), argumentMap(callMap, nullptr)));
  const Text token = raw.text;  // held: the evaluation may assign to the argument
  const VarMap& map = argumentMap(callMap, *kept);
  if constexpr (fast_path::kCheck && fast_path::kCallerArgument) {
    if (argumentsOnly_ && !argumentsOnly_->raw.empty() && callMap.sameAs(argumentsOnly_->caller) && *kept &&
        (*kept)->readsNoArgument) {
      ValueSlot general;
      const Value& fast = evaluateInPlace(*this, token, *kept, map, Blocks::Run, scratch);
      const VarMap& made = argumentMap(callMap, nullptr);
      fast_path::checkSame("CALLER_ARGUMENT", fast, evaluateInPlace(*this, token, *kept, made, Blocks::Run, general));
      return fast;
    }
  }
  return evaluateInPlace(*this, token, *kept, map, Blocks::Run, scratch);
}

const Value& Interpreter::evaluateArgumentAgain(const VarMap& callMap, size_t i, const Value& first,
                                               ValueSlot& scratch) {
  const Value& raw = rawArgument(callMap, i);
  if (fast_path::kCallerArgument && builtinCall_ && raw.typeName == kString) {
    const ExpressionForm** kept = builtinCall_->builtinArgForm(raw.text, i);
    if (kept && *kept && (*kept)->readsNoArgument) {
      if constexpr (fast_path::kCheck) fast_path::checkSame("CALLER_ARGUMENT", first, evaluateArgument(callMap, i, scratch));
      return first;
    }
  }
  return evaluateArgument(callMap, i, scratch);
}

const VarMap& Interpreter::argumentMap(const VarMap& callMap, const ExpressionForm* form) {
  ArgumentsOnlyCall* call = argumentsOnly_;
  if (!call || !callMap.sameAs(call->caller)) return callMap;
  if (fast_path::kCallerArgument && form && form->readsNoArgument) return callMap;
  if (call->raw.empty()) return callMap;  // a frame of no arguments is the caller's map
  if (call->made.empty()) call->made = argumentFrame(*this, call->caller, call->raw);
  return call->made;
}

void NestingCount::tooDeep() {
  --interp_.nesting_;
  fail("recursion too deep",
       "more than " + std::to_string(kMaxNesting) + " bodies, blocks and calls are running inside each other");
}

Value dispatchCall(Interpreter& interp, CallSyntaxRef& kept, const Text& callText, const VarMap& vars) {
  ValueSlot into;
  dispatchCall(interp, kept, callText, vars, into);
  return std::move(*into);
}

void dispatchCall(Interpreter& interp, CallSyntaxRef& kept, const Text& callText, const VarMap& vars,
                  ValueSlot& into) {
  checkStack();
  // `kept` lies beside a term of a form that outlives the call, whatever the
  // call rebinds, or beside the caller.
  if (!kept) kept = callSyntax(callText);
  const CallSyntax& form = *kept;
  if (!form.hasName) fail("malformed call", "a lone `$` names nothing to call");
  BuiltinHandler builtin = form.builtinIn(interp.builtins());
  if (!builtin) return callUser(interp, form, callText, vars, into);
  const std::vector<Text>& args = form.builtinArgs(callText);

  NestingCount nesting(interp);  // a builtin's arguments can call it again, without end
  // The result is made in `into` at once: no one reads that slot while the
  // call runs (a user call empties it before its body runs, too). The
  // handler gets a map of its own: a frame over every visible variable,
  // binding each argument's name to its raw text. A handler that reads only
  // its arguments gets the caller's map instead, and the frame is made only
  // when an argument needs it (see Interpreter::argumentMap).
  const size_t n = args.size();
  Few<ValueRef, kFewArguments> few;
  std::unique_ptr<ValueRef[]> more;
  std::span<ValueRef> raw;
  if (n > kFewArguments) {
    more.reset(new ValueRef[n]);
    raw = std::span(more.get(), n);
    for (size_t i = 0; i < n; ++i) raw[i] = form.builtinArgValue(i);
  } else {
    for (size_t i = 0; i < n; ++i) few.push(form.builtinArgValue(i));
    raw = few.span();
  }
  if (form.builtinReadsOnlyArguments()) {
    ArgumentsOnlyCall call{vars, raw, VarMap()};
    BuiltinCallRecord running(interp, form, &call);
    builtin(interp, into.emplace(), vars);
    return;
  }
  BuiltinCallRecord running(interp, form, nullptr);
  builtin(interp, into.emplace(), argumentFrame(interp, vars, raw));
}

}  // namespace velk
