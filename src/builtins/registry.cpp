// The registry: one ordered map from builtin name to handler, filled once.
#include "builtins/registry.h"

#include <deque>

#include "builtins/handlers.h"
#include "interp/interpreter.h"
#include "value/error.h"

namespace velk {
namespace {

std::map<std::string, BuiltinHandler, std::less<>>& registry() {
  static std::map<std::string, BuiltinHandler, std::less<>> table;
  return table;
}

}  // namespace

void registerBuiltins() {
  using namespace builtins;
  static const std::pair<const char*, BuiltinHandler> kTable[] = {
      {"print", print},
      {"input", input},
      {"size", size},
      {"turn", turn},
      {"str", str},
      {"int", toInt},
      {"float", toFloat},
      {"func", func},
      {"list", list},
      {"werhatdasgemacht", werhatdasgemacht},
      {"encodelist", encodelist},
      {"decodelist", decodelist},
      {"typeof", typeOf},
      {"readfile", readfile},
      {"writefile", writefile},
      {"readbinfile", readbinfile},
      {"writebinfile", writebinfile},
      {"mkdir", mkdir},
      {"rm", rm},
      {"listdir", listdir},
      {"exists", exists},
      {"cd", cd},
      {"isdir", isdir},
      {"base64encode", base64encode},
      {"base64decode", base64decode},
      {"setargmap", setargmap},
      {"whereami", whereami},
      {"bytes", bytes},
      {"encodebytes", encodebytes},
      {"decodebytes", decodebytes},
      {"beep", beep},
  };
  for (const auto& [name, handler] : kTable) registry().emplace(name, handler);
}

BuiltinHandler findBuiltin(std::string_view name) {
  auto it = registry().find(name);
  return it == registry().end() ? nullptr : it->second;
}

const std::map<std::string, BuiltinHandler, std::less<>>& builtinRegistry() { return registry(); }

const Text& argumentName(size_t i) {
  static std::deque<Text> names;  // stable references as it grows
  while (names.size() <= i) names.emplace_back("arg" + std::to_string(names.size()));
  return names[i];
}

bool hasArgument(const VarMap& callMap, size_t i) { return callMap.find(argumentName(i)) != nullptr; }

Text argumentText(const VarMap& callMap, size_t i) {
  const Value* entry = callMap.find(argumentName(i));
  if (!entry) fail("missing argument", "the call has no argument " + argumentName(i).str());
  return asText(*entry);
}

Value evalArgument(const VarMap& callMap, size_t i) {
  return evaluateExpression(argumentText(callMap, i), callMap, true);
}

}  // namespace velk
