// Console, type and conversion builtins.
#include <filesystem>

#include "builtins/handlers.h"
#include "support/error.h"

namespace velk::builtins {
namespace {

void convertArgument(Evaluator& ev, Value& result, const VarMap& callMap, TypeName target) {
  result = convertTo(evalArgument(ev, callMap, 0), target, ev.limits().maxValueBytes);
}

// The variables a call sees, as names: its call map holds them all.
std::vector<NameInScope> namesInScope(const VarMap& callMap) {
  std::vector<NameInScope> names;
  names.reserve(callMap.size());
  callMap.forEach([&names](const Text& name, const ValueRef& value) {
    names.push_back({name.str(), value && value->typeName == kFunc});
  });
  return names;
}

}  // namespace

void print(Evaluator& ev, Value&, VarMap callMap) {
  ev.console().write(textOf(ev, evalArgument(ev, callMap, 0)).view());
  // A caller variable named arg1 counts as a second argument, as every other
  // variable of the call map does.
  if (!hasArgument(ev, callMap, 1)) {
    ev.console().lineEnd();
    return;
  }
  Text selector = textOf(ev, evalArgument(ev, callMap, 1));
  if (selector == "r")
    ev.console().write('\r');
  else if (selector == "n")
    ev.console().lineEnd();
  // Any other selector keeps the output on the same line.
}

void input(Evaluator& ev, Value& result, VarMap callMap) {
  std::string line;
  // At the end of standard input the process ends: a piped script stops
  // instead of reading empty lines forever.
  if (!ev.console().readLineInScope(line, [&callMap] { return namesInScope(callMap); })) throw ExitRequest(0);
  result = Value::string(Text(std::move(line)));
}

void size(Evaluator& ev, Value& result, VarMap callMap) {
  // The argument is evaluated twice, side effects included; the first
  // tells the type only.
  ValueSlot firstSlot, secondSlot;
  const Value& first = evalArgument(ev, callMap, 0, firstSlot);
  const bool text = first.typeName == kString;
  const Value& second = evalArgumentAgain(ev, callMap, 0, first, secondSlot);
  size_t count = text ? second.text.size() : asElements(second).size();
  result = Value::integer(static_cast<int32_t>(count));
}

void typeOf(Evaluator& ev, Value& result, VarMap callMap) {
  ValueSlot scratch;
  result = Value::string(Text(evalArgument(ev, callMap, 0, scratch).typeName.text()));
}

void turn(Evaluator& ev, Value& result, VarMap callMap) {
  Value v = evalArgument(ev, callMap, 0);
  Text target = textOf(ev, evalArgument(ev, callMap, 1));
  result = convertTo(std::move(v), target.view(), ev.limits().maxValueBytes);
}

void str(Evaluator& ev, Value& result, VarMap callMap) { convertArgument(ev, result, callMap, kString); }
void toInt(Evaluator& ev, Value& result, VarMap callMap) { convertArgument(ev, result, callMap, kInteger); }
void toFloat(Evaluator& ev, Value& result, VarMap callMap) { convertArgument(ev, result, callMap, kFloat); }
void func(Evaluator& ev, Value& result, VarMap callMap) { convertArgument(ev, result, callMap, kFunc); }
void list(Evaluator& ev, Value& result, VarMap callMap) { convertArgument(ev, result, callMap, kList); }
void bytes(Evaluator& ev, Value& result, VarMap callMap) { convertArgument(ev, result, callMap, kBytes); }

void whereami(Evaluator&, Value& result, VarMap) {
  std::error_code ec;
  std::filesystem::path here = std::filesystem::current_path(ec);
  if (ec) failSystem(ec.message(), "whereami cannot tell the current directory");
  result = Value::string(Text(here.string()));
}

void beep(Evaluator& ev, Value&, VarMap) { ev.console().write('\a'); }

void werhatdasgemacht(Evaluator& ev, Value&, VarMap) {
  ev.console().write(kLogo);
  ev.console().lineEnd();
  ev.console().write("-----Was made by Ferrowin in 2024-----");
  ev.console().lineEnd();
}

}  // namespace velk::builtins
