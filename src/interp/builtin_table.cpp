// The builtin table and its generations.
#include <atomic>

#include "interp/builtin_table.h"

namespace velk {

// Only a source of distinct stamps, shared by every table in the process so
// that no two tables (nor one table before and after a change) ever show a
// call the same generation.
uint64_t BuiltinTable::nextGeneration() {
  static std::atomic<uint64_t> last{0};
  return ++last;
}

void BuiltinTable::add(std::string name, BuiltinHandler handler, bool readsOnlyArguments) {
  if (readsOnlyArguments)
    argumentsOnly_.insert(name);
  else
    argumentsOnly_.erase(name);
  table_.insert_or_assign(std::move(name), handler);
  generation_ = nextGeneration();
}

}  // namespace velk
