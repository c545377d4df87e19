// Loading the text of a script file for `also`, with the progress lines it
// prints on the way.
#pragma once

#include <string>

#include "support/console.h"

namespace velk {

// Prints "reading file...", a "line N\r" counter for each line and "OK.", and
// returns the file's lines, each followed by a line feed. A line ends at a
// line feed or at a carriage return and a line feed, so a script saved with
// CR LF line ends means what it means with line feeds; a carriage return
// anywhere else stays. A file that cannot be opened (a missing one, a folder)
// gives an empty text; a read that fails once the file is open is an error
// naming `path`, "out of memory" where memory runs out, never a script cut
// short. `libraryPath` is the path in the library folder, looked for first.
//
// For such a file the progress lines are "reading file...", an empty line
// and "OK.", as if an empty file had been read; at a terminal the empty line
// and "OK." give way to one line saying that nothing was found (or that the
// path is a folder) and nothing loaded.
std::string loadScriptFile(Console& console, const std::string& path, const std::string& libraryPath);

}  // namespace velk
