// The interrupt request set by Ctrl-C at a terminal.
#include "support/interrupt.h"

#include "support/stack_guard.h"

namespace velk {

volatile std::sig_atomic_t interruptRequested = 0;
int interruptibleRuns = 0;

Interrupted::Interrupted() { prepareStackForThrow(); }

}  // namespace velk
