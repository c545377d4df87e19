// `velk --check FILE...`: the checker run over script files and standard
// input, its warnings printed in the form editors and build tools read.
#pragma once

#include <string>
#include <vector>

namespace velk {

// Checks each script ("-" is standard input) and prints one line
// "FILE:LINE:COL: warning: MESSAGE" per warning on standard output. A script
// that cannot be read is named on standard error and the others are still
// checked. Returns the exit status: 0 when no warning was printed, 1 when
// some were, 2 when a script could not be read.
int checkScripts(const std::vector<std::string>& paths);

}  // namespace velk
