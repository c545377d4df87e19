// The control statements: `compare`, `each` and `until`, each running a
// body on the merged map of its run.
#pragma once

#include <string_view>

#include "interp/statements.h"

namespace velk {

class Run;

void runCompare(Run& run, const CompiledStatement& st);
void runEach(Run& run, const CompiledStatement& st);
void runUntil(Run& run, const CompiledStatement& st);

}  // namespace velk
