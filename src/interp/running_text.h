// The statements that run a text as code: `exec`, `also` and `class`.
#pragma once

#include <string_view>

#include "interp/statements.h"

namespace velk {

class Run;

void runExec(Run& run, const CompiledStatement& st);
void runAlso(Run& run, const CompiledStatement& st);
void runClass(Run& run, const CompiledStatement& st);

}  // namespace velk
