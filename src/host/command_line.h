// The command line: what velk was asked to run, and under which bounds.
// `velk` alone starts the built-in REPL; a file, `-e TEXT` or `-` (standard
// input) names a script to run instead; `--version` and `--help` print and
// end. `--sandbox DIR` and the `--max-...` options bound any of these runs.
// `--check FILE...` reads scripts without running them and warns about
// their traps. `--trace`, anywhere, writes the statements of a run as they
// run.
#pragma once

#include <string>
#include <vector>

#include "support/run_limits.h"

namespace velk {

struct Invocation {
  enum class Mode { Repl, File, Text, Stdin, Check, Version, Help, Wrong };
  Mode mode = Mode::Repl;
  std::string operand;  // the file's path (File) or the script (Text)
  std::vector<std::string> checked;  // the scripts to check, "-" for standard input (Check)
  std::string problem;  // what is wrong with the command line (Wrong)
  bool trace = false;   // write each statement of the user's code before it runs
  // The bounds asked for; confineTo holds the --sandbox folder as given (the
  // host checks it and makes it canonical), and maxMemoryBytes is set
  // without a measure (the host supplies its own).
  RunLimits limits;
};

// `args` without the program name.
Invocation readCommandLine(const std::vector<std::string>& args);

// The text `--help` prints.
std::string usageText();

// The text `--version` prints.
std::string versionText();

}  // namespace velk
