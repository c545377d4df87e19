// Start-up and the one place where the errors that end a run are caught.
#include "host/startup.h"

#include <unistd.h>

#include <cassert>
#include <cstdio>
#include <vector>

#include "interp/executor.h"
#include "support/error.h"
#include "support/error_caret.h"

namespace velk {
namespace {

int reportAndExit(Console& console, const std::string& line, int status) {
  console.flush();
  std::fprintf(stderr, "%s\n", line.c_str());
  std::fflush(stderr);
  return status;
}

size_t lineOf(std::string_view text, size_t offset) {
  size_t line = 1;
  for (size_t i = 0; i < offset && i < text.size(); ++i) line += text[i] == '\n';
  return line;
}

int runGuarded(Interpreter& interp, std::string_view script, const std::string* place, std::string_view source) {
  Console& console = interp.console();
  try {
    Text text(script);
    try {
      checkGroupsClosed(script);
    } catch (const OpenGroupError& e) {
      if (!place) throw;
      return reportAndExit(console, std::string("velk: ") + e.what() + "; it opens at line " +
                               std::to_string(lineOf(script, e.offset())) + " of " + *place,
                           kExitOpenGroup);
    }
    // The user's script is a source of its own; the REPL's is none.
    if (place) setPlace(text, SourcePlace{makeSource(source), 1});
    VarMap global;
    executeOnce(interp, text, &global, nullptr);
    console.flush();
    return 0;
  } catch (const ExitRequest& e) {
    console.flush();
    return e.status();
  } catch (const OpenGroupError& e) {
    return reportAndExit(console, reportLine(e), kExitOpenGroup);
  } catch (const std::exception& e) {
    // A person running a script at a terminal sees where in the statement it failed.
    std::string where = place && ::isatty(STDIN_FILENO) && ::isatty(STDOUT_FILENO) ? caretLines(e) : std::string();
    return reportAndExit(console, reportLine(e) + where, reachedLimit(e) ? kExitLimit : kExitError);
  }
}

}  // namespace

int runTopLevel(Interpreter& interp, std::string_view script) { return runGuarded(interp, script, nullptr, {}); }

int runScript(Interpreter& interp, std::string text, const std::string& place, std::string_view source) {
  // The "#!" line becomes an empty one, so that line numbers stay those of the file.
  if (text.starts_with("#!")) text.erase(0, text.find('\n') == std::string::npos ? text.size() : text.find('\n'));
  return runGuarded(interp, text, &place, source);
}

}  // namespace velk
