// Console, type and conversion builtins.
#include <filesystem>

#include "builtins/handlers.h"
#include "host/console.h"
#include "value/error.h"

namespace velk::builtins {
namespace {

void convertArgument(Value& result, const VarMap& callMap, TypeName target) {
  result = convertTo(evalArgument(callMap, 0), target);
}

}  // namespace

void print(Value&, VarMap callMap) {
  console::write(asText(evalArgument(callMap, 0)).view());
  // A caller variable named arg1 counts as a second argument, as every other
  // variable of the call map does.
  if (!hasArgument(callMap, 1)) {
    console::lineEnd();
    return;
  }
  Text selector = asText(evalArgument(callMap, 1));
  if (selector == "r")
    console::write('\r');
  else if (selector == "n")
    console::lineEnd();
  // Any other selector keeps the output on the same line.
}

void input(Value& result, VarMap) {
  std::string line;
  // At the end of standard input the process ends: a piped script stops
  // instead of reading empty lines forever.
  if (!console::readLine(line)) throw ExitRequest(0);
  result = Value::string(Text(std::move(line)));
}

void size(Value& result, VarMap callMap) {
  // The argument is evaluated twice, side effects included.
  Value first = evalArgument(callMap, 0);
  Value second = evalArgument(callMap, 0);
  size_t count = first.typeName == kString ? second.text.size() : asElements(second).size();
  result = Value::integer(static_cast<int32_t>(count));
}

void typeOf(Value& result, VarMap callMap) {
  result = Value::string(Text(evalArgument(callMap, 0).typeName.text()));
}

void turn(Value& result, VarMap callMap) {
  Value v = evalArgument(callMap, 0);
  Text target = asText(evalArgument(callMap, 1));
  result = convertTo(std::move(v), target.view());
}

void str(Value& result, VarMap callMap) { convertArgument(result, callMap, kString); }
void toInt(Value& result, VarMap callMap) { convertArgument(result, callMap, kInteger); }
void toFloat(Value& result, VarMap callMap) { convertArgument(result, callMap, kFloat); }
void func(Value& result, VarMap callMap) { convertArgument(result, callMap, kFunc); }
void list(Value& result, VarMap callMap) { convertArgument(result, callMap, kList); }
void bytes(Value& result, VarMap callMap) { convertArgument(result, callMap, kBytes); }

void whereami(Value& result, VarMap) {
  std::error_code ec;
  std::filesystem::path here = std::filesystem::current_path(ec);
  if (ec) fail(ec.message(), "whereami cannot tell the current directory");
  result = Value::string(Text(here.string()));
}

void beep(Value&, VarMap) { console::write('\a'); }

void werhatdasgemacht(Value&, VarMap) {
  console::write(kLogo);
  console::lineEnd();
  console::write("-----Was made by Ferrowin in 2024-----");
  console::lineEnd();
}

}  // namespace velk::builtins
