// Start-up and the one place where the errors that end a run are caught.
#include "host/startup.h"

#include <cassert>
#include <cstdio>
#include <vector>

#include "support/error.h"

namespace velk {
namespace {

int reportAndExit(Console& console, const std::string& line, int status) {
  console.flush();
  std::fprintf(stderr, "%s\n", line.c_str());
  std::fflush(stderr);
  return status;
}

// Where the statements of a script named on the command line start, so that
// an error can say which line of it was running.
struct ScriptPlace {
  std::string name;
  const Program* program = nullptr;
  std::vector<size_t> statementLines;  // 1-based, one per statement
};

std::string describeScriptOrigin(const ScriptPlace& place, const CompiledStatement& st, bool innermost) {
  size_t index = static_cast<size_t>(&st - place.program->statements.data());
  assert(index < place.statementLines.size());
  std::string s = "at line " + std::to_string(place.statementLines[index]) + " of " + place.name;
  if (!innermost) s += ": " + quoteForReport(st.sourceText());
  return s;
}

std::vector<size_t> statementLines(const StatementList& list) {
  std::vector<size_t> lines;
  lines.reserve(list.statements.size());
  size_t line = 1;
  for (const Statement& st : list.statements) {
    lines.push_back(line);
    ++line;  // the line end that closes the statement
    for (const Text& token : st)
      for (char c : token.view()) line += c == '\n';
  }
  return lines;
}

size_t lineOf(std::string_view text, size_t offset) {
  size_t line = 1;
  for (size_t i = 0; i < offset && i < text.size(); ++i) line += text[i] == '\n';
  return line;
}

int runGuarded(Interpreter& interp, std::string_view script, const std::string* place) {
  Console& console = interp.console();
  try {
    StatementList list;
    try {
      list = splitStatements(script);
    } catch (const OpenGroupError& e) {
      if (!place) throw;
      return reportAndExit(console, std::string("velk: ") + e.what() + "; it opens at line " +
                               std::to_string(lineOf(script, e.offset())) + " of " + *place,
                           kExitOpenGroup);
    }
    ProgramRef program = compileProgram(list);
    if (place) {
      ScriptPlace where{*place, program.get(), statementLines(list)};
      interp.setUserProgram(program.get(), [where](const CompiledStatement& st, bool innermost) {
        return describeScriptOrigin(where, st, innermost);
      });
    }
    VarMap global;
    executeStatements(interp, *program, &global, nullptr);
    console.flush();
    return 0;
  } catch (const ExitRequest& e) {
    console.flush();
    return e.status();
  } catch (const OpenGroupError& e) {
    return reportAndExit(console, reportLine(e), kExitOpenGroup);
  } catch (const std::exception& e) {
    return reportAndExit(console, reportLine(e), kExitError);
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
