// The builtin registry and the calling convention of builtins.
//
// A builtin is a plain function that receives a call map, the caller's visible
// variables plus one entry per argument token ("arg0", "arg1", ...) holding
// the token's raw text as a string, and fills in its result. It evaluates the
// arguments it reads itself, each when it needs it, with evalArgument; an
// argument it does not read is never evaluated.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <string_view>

#include "value/value.h"

namespace velk {

using BuiltinHandler = void (*)(Value& result, VarMap callMap);

// Fills the registry with the 31 builtins; called once at start-up.
void registerBuiltins();
// The handler registered under exactly this name, or null.
BuiltinHandler findBuiltin(std::string_view name);
// The registry itself, name to handler, in name order.
const std::map<std::string, BuiltinHandler, std::less<>>& builtinRegistry();

// "arg" followed by i in decimal.
const Text& argumentName(size_t i);
bool hasArgument(const VarMap& callMap, size_t i);
// The raw text of argument i, unevaluated.
Text argumentText(const VarMap& callMap, size_t i);
// Argument i evaluated: its text evaluated against the call map, blocks run.
Value evalArgument(const VarMap& callMap, size_t i);

}  // namespace velk
