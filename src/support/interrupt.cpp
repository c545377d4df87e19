// The interrupt request set by Ctrl-C at a terminal.
#include "support/interrupt.h"

#include <signal.h>

#include "support/stack_guard.h"

namespace velk {

// Process-wide: a signal handler sets the request, and the console, which
// knows no interpreter, reads both while it waits at the prompt.
volatile std::sig_atomic_t interruptRequested = 0;
int interruptibleRuns = 0;

Interrupted::Interrupted() { prepareStackForThrow(); }

void requestInterrupt(int) { interruptRequested = 1; }

namespace {

// Ctrl-C's handler as it is installed now, when it is ours.
bool oursNow(struct sigaction& now) {
  return ::sigaction(SIGINT, nullptr, &now) == 0 && !(now.sa_flags & SA_SIGINFO) && now.sa_handler == requestInterrupt;
}

}  // namespace

InterruptibleWait::InterruptibleWait() {
  struct sigaction now {};
  if (!oursNow(now) || !(now.sa_flags & SA_RESTART)) return;
  now.sa_flags &= ~SA_RESTART;
  changed_ = ::sigaction(SIGINT, &now, nullptr) == 0;
}

InterruptibleWait::~InterruptibleWait() {
  struct sigaction now {};
  if (!changed_ || !oursNow(now)) return;
  now.sa_flags |= SA_RESTART;
  ::sigaction(SIGINT, &now, nullptr);
}

}  // namespace velk
