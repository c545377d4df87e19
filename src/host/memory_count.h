// Memory in use, as --max-memory bounds it: every block the program takes
// through operator new and has not given back, counted only once counting
// has started, so that a run without the bound pays nothing for it.
#pragma once

#include <cstddef>

namespace velk::memory_count {

// Starts counting, before the interpreter's thread starts; from then on it
// never stops. What was in use before counts as the allocator reports it.
void start();

// The bytes in use: what was in use at the start and every block taken since
// and not given back, at the size the allocator gave it.
size_t inUse();

}  // namespace velk::memory_count
