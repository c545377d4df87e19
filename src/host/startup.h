// Start-up: fill the builtin registry, split the built-in REPL text and run it
// on an empty global map. Ends every way a run can end with an exit status.
#pragma once

#include <string_view>

namespace velk {

// The embedded REPL script, generated at build time from scripts/.
extern const char kReplText[];
extern const unsigned long kReplTextSize;

// Runs `script` as the top-level script and returns the process's exit
// status: 0 when it ends (or standard input does), 1 after an error, 51 for a
// text that ends inside an open group. Standard output is flushed, and an
// error is reported as one line on standard error.
int runTopLevel(std::string_view script);

}  // namespace velk
