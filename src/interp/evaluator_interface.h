// Where the interpreter and the builtins meet. A builtin sees the interpreter
// only through this interface: it evaluates its arguments, reads the argument
// names and writes to the console; it never reaches the executor's internals.
//
// A builtin is a plain function that receives a call map, the caller's visible
// variables plus one entry per argument token ("arg0", "arg1", ...) holding
// the token's raw text as a string, and fills in its result. It evaluates the
// arguments it reads itself, each when it needs it; an argument it does not
// read is never evaluated.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "interp/builtin_table.h"
#include "support/console.h"
#include "support/library_folders.h"
#include "support/run_limits.h"
#include "value/value.h"

namespace velk {

// Room for a Value that may be made.
using ValueSlot = std::optional<Value>;

class Evaluator {
 public:
  // `text` evaluated against `vars`, brace blocks run.
  virtual Value evaluate(const Text& text, const VarMap& vars) = 0;
  // Argument i of the builtin call that is running: the raw text that
  // `callMap` binds to it (see rawArgument) evaluated against `callMap`,
  // brace blocks run. The Value is read where it lies (a variable's, until
  // the next evaluation), or made in the empty `scratch`.
  virtual const Value& evaluateArgument(const VarMap& callMap, size_t i, ValueSlot& scratch) = 0;
  // The same argument evaluated again, right after an evaluation that gave
  // `first` (still where it lay): `first` itself when evaluating the
  // argument runs no code and so gives that Value again.
  virtual const Value& evaluateArgumentAgain(const VarMap& callMap, size_t i, const Value& first,
                                             ValueSlot& scratch) = 0;
  // "arg" followed by i in decimal.
  virtual const Text& argumentName(size_t i) = 0;
  // The Value that `callMap` binds to argumentName(i), or null.
  virtual const Value* argument(const VarMap& callMap, size_t i) = 0;
  // The same, where the builtin reads it: a call that does not give
  // argument i fails.
  virtual const Value& rawArgument(const VarMap& callMap, size_t i) = 0;
  virtual Console& console() = 0;
  // The bounds this interpreter runs under (confinement, the value cap).
  virtual const RunLimits& limits() const = 0;
  // What the library's folder forms keep between calls (a folder being
  // rebuilt, a folder being packed).
  virtual LibraryFolders& libraryFolders() = 0;

 protected:
  ~Evaluator() = default;
};

}  // namespace velk
