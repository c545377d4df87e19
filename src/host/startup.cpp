// Start-up and the one place where the errors that end a run are caught.
#include "host/startup.h"

#include <cassert>
#include <cstdio>
#include <vector>

#include "interp/executor.h"
#include "support/error.h"

namespace velk {
namespace {

int reportAndExit(Console& console, const std::string& line, int status) {
  console.flush();
  std::fprintf(stderr, "%s\n", line.c_str());
  std::fflush(stderr);
  return status;
}

std::string describeScriptOrigin(const std::string& place, size_t line, const CompiledStatement& st,
                                 bool innermost) {
  std::string s = "at line " + std::to_string(line) + " of " + place;
  if (!innermost) s += ": " + quoteForReport(st.sourceText());
  return s;
}

size_t lineOf(std::string_view text, size_t offset) {
  size_t line = 1;
  for (size_t i = 0; i < offset && i < text.size(); ++i) line += text[i] == '\n';
  return line;
}

int runGuarded(Interpreter& interp, std::string_view script, const std::string* place) {
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
    if (place) {
      interp.setUserScript(text, [name = *place](size_t line, const CompiledStatement& st, bool innermost) {
        return describeScriptOrigin(name, line, st, innermost);
      });
    }
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
    return reportAndExit(console, reportLine(e), reachedLimit(e) ? kExitLimit : kExitError);
  }
}

}  // namespace

int runTopLevel(Interpreter& interp, std::string_view script) { return runGuarded(interp, script, nullptr); }

int runScript(Interpreter& interp, std::string text, const std::string& place) {
  // The "#!" line becomes an empty one, so that line numbers stay those of the file.
  if (text.starts_with("#!")) text.erase(0, text.find('\n') == std::string::npos ? text.size() : text.find('\n'));
  return runGuarded(interp, text, &place);
}

}  // namespace velk
