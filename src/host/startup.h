// Start-up: split the top-level script (the built-in REPL text or a script
// named on the command line) and run it on an empty global map, in an
// interpreter the host has made. Ends every way a run can end with an exit
// status.
#pragma once

#include <string>
#include <string_view>

#include "interp/interpreter.h"

namespace velk {

// The embedded REPL script, generated at build time from scripts/.
extern const char kReplText[];
extern const unsigned long kReplTextSize;

// Runs `script` as the top-level script and returns the process's exit
// status: 0 when it ends (or standard input does), 1 after an error, 3 when
// it reached a bound of its run limits, 51 for a text that ends inside an
// open group. Standard output is flushed, and an
// error is reported as one line on standard error.
int runTopLevel(Interpreter& interp, std::string_view script);

// Runs a script named on the command line the same way. `place` names it
// where an open group is reported ("`hello.VELK`", "the -e text"); `source`
// names the places of its statements ("hello.VELK", "-e") in error reports
// and the trace. A first line starting with "#!" is skipped, so that a
// script file can be made executable.
int runScript(Interpreter& interp, std::string text, const std::string& place, std::string_view source);

}  // namespace velk
