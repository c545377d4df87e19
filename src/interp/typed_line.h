// A line typed at the REPL's prompt, run as the user's program.
#pragma once

#include <string_view>

#include "interp/statements.h"

namespace velk {

class Run;

// Runs a line the user typed at the REPL's prompt in the run's own maps, as
// `exec` runs any text, as the user's program: an error inside a library
// function names the typed statement too. At a terminal, an error or Ctrl-C
// ends only the line. `text` is the line as typed, for the notes a person at
// a terminal is given before it runs.
void runTypedLine(Run& run, const Program& line, std::string_view text);

}  // namespace velk
