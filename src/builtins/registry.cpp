// The registry: one ordered map from builtin name to handler, filled once.
#include "builtins/registry.h"

#include "builtins/handlers.h"
#include "support/error.h"

namespace velk {

void registerBuiltins(BuiltinTable& table) {
  using namespace builtins;
  // The handlers that read their call map beyond their arguments (the
  // names in scope, a variable named by an argument) say so: the others
  // get the map made only when an argument needs it.
  struct Entry {
    const char* name;
    BuiltinHandler handler;
    bool readsTheMap = false;
  };
  static const Entry kTable[] = {
      {"print", print},
      {"input", input, true},
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
      {"setargmap", setargmap, true},
      {"whereami", whereami},
      {"bytes", bytes},
      {"encodebytes", encodebytes},
      {"decodebytes", decodebytes},
      {"beep", beep},
  };
  for (const Entry& e : kTable) table.add(e.name, e.handler, !e.readsTheMap);
}

bool hasArgument(Evaluator& ev, const VarMap& callMap, size_t i) { return ev.argument(callMap, i) != nullptr; }

Text argumentText(Evaluator& ev, const VarMap& callMap, size_t i) { return textOf(ev, ev.rawArgument(callMap, i)); }

Value evalArgument(Evaluator& ev, const VarMap& callMap, size_t i) {
  ValueSlot scratch;
  const Value& v = evalArgument(ev, callMap, i, scratch);
  if (scratch && &v == &*scratch) return std::move(*scratch);
  return v;
}

Text textOf(Evaluator& ev, const Value& v) { return asText(v, ev.limits().maxValueBytes); }

}  // namespace velk
