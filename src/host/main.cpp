// The velk executable: runs the built-in REPL script. Command-line arguments
// and the environment are not read.
#include <cstdlib>
#include <string_view>

#include "host/console.h"
#include "host/startup.h"
#include "value/stack_guard.h"

int main() {
  velk::console::setUp();
  // Deep recursion in a script needs a deep stack; the guard keeps a reserve
  // free so that endless recursion ends with an error instead of a crash.
  constexpr size_t kStack = size_t{2} << 30;
  constexpr size_t kReserve = size_t{64} << 20;
  int status = velk::runOnLargeStack(
      [] { return velk::runTopLevel(std::string_view(velk::kReplText, velk::kReplTextSize)); }, kStack,
      kReserve);
  velk::console::flush();
  // Nothing is left to clean up that the system does not reclaim itself.
  std::_Exit(status);
}
