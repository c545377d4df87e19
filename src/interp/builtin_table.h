// The table of builtins: the handlers an interpreter calls by name.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <string_view>

#include "value/value.h"

namespace velk {

class Evaluator;

// A builtin: a plain function that receives a call map and fills in its
// result (see evaluator_interface.h).
using BuiltinHandler = void (*)(Evaluator& ev, Value& result, VarMap callMap);

// The builtins an interpreter knows, name to handler. Every change gives the
// table a new generation, unique in the process, so that a call bound to a
// handler at its first run can tell whether the binding still holds (for this
// table, as it is now).
class BuiltinTable {
 public:
  BuiltinTable() : generation_(nextGeneration()) {}
  // `readsOnlyArguments`: the handler reads nothing of its call map but
  // its arguments, through the Evaluator (see evaluator_interface.h), so
  // that the map need not be made for it unless an argument needs it.
  void add(std::string name, BuiltinHandler handler, bool readsOnlyArguments = false);
  bool readsOnlyArguments(std::string_view name) const { return argumentsOnly_.contains(name); }
  // The handler registered under exactly this name, or null.
  BuiltinHandler find(std::string_view name) const {
    auto it = table_.find(name);
    return it == table_.end() ? nullptr : it->second;
  }
  bool empty() const { return table_.empty(); }
  size_t size() const { return table_.size(); }
  uint64_t generation() const { return generation_; }
  const std::map<std::string, BuiltinHandler, std::less<>>& entries() const { return table_; }

 private:
  static uint64_t nextGeneration();
  std::map<std::string, BuiltinHandler, std::less<>> table_;
  std::set<std::string, std::less<>> argumentsOnly_;
  uint64_t generation_;
};

}  // namespace velk
