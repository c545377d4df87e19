// The kernel's wall around a sandboxed run: where Linux offers Landlock, the
// interpreter's thread gives up every access to files outside the sandbox
// folder, so that a path the interpreter's own checks let through by
// mistake, or a link swapped between a check and an open, still reaches
// nothing outside.
#pragma once

#include <string>

namespace velk {

// Confines the calling thread, and any thread it starts, to `folder` (an
// absolute, canonical path) for good. False where the kernel cannot (no
// Landlock, or it is turned off): the interpreter's checks then stand alone,
// and velk says nothing of it.
bool confineThreadTo(const std::string& folder);

}  // namespace velk
