// The list statements: `list`, `add`, `index`, `where` and `remove`.
#pragma once

#include <string_view>

#include "interp/statements.h"

namespace velk {

class Run;

void runList(Run& run, const CompiledStatement& st);
void runAdd(Run& run, const CompiledStatement& st);
void runIndex(Run& run, const CompiledStatement& st);
void runWhere(Run& run, const CompiledStatement& st);
void runRemove(Run& run, const CompiledStatement& st);

}  // namespace velk
