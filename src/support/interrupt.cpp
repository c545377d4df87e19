// The interrupt request set by Ctrl-C at a terminal.
#include "support/interrupt.h"

#include "support/stack_guard.h"

namespace velk {

// Process-wide: a signal handler sets the request, and the console, which
// knows no interpreter, reads both while it waits at the prompt.
volatile std::sig_atomic_t interruptRequested = 0;
int interruptibleRuns = 0;

Interrupted::Interrupted() { prepareStackForThrow(); }

}  // namespace velk
