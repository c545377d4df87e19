// Start-up and the one place where the errors that end a run are caught.
#include "host/startup.h"

#include <cassert>
#include <cstdio>
#include <new>
#include <vector>

#include "builtins/registry.h"
#include "host/console.h"
#include "interp/interpreter.h"
#include "value/error.h"

namespace velk {
namespace {

int reportAndExit(const std::string& line, int status) {
  console::flush();
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
ScriptPlace scriptPlace;

std::string describeScriptOrigin(const void* user, const void* innermost) {
  const auto* st = static_cast<const CompiledStatement*>(user);
  size_t index = static_cast<size_t>(st - scriptPlace.program->statements.data());
  assert(index < scriptPlace.statementLines.size());
  std::string s = "at line " + std::to_string(scriptPlace.statementLines[index]) + " of " + scriptPlace.name;
  if (user != innermost) s += ": " + quoteForReport(st->sourceText());
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

int runGuarded(std::string_view script, const std::string* place) {
  try {
    if (builtinRegistry().empty()) registerBuiltins();
    StatementListRef list;
    try {
      list = splitStatements(script);
    } catch (const OpenGroupError& e) {
      if (!place) throw;
      return reportAndExit(std::string("velk: ") + e.what() + "; it opens at line " +
                               std::to_string(lineOf(script, e.offset())) + " of " + *place,
                           kExitOpenGroup);
    }
    ProgramRef program = compileProgram(*list);
    if (place) {
      scriptPlace = {*place, program.get(), statementLines(*list)};
      error_context::userProgram = program.get();
      error_context::describeOrigin = describeScriptOrigin;
    }
    VarMap global;
    executeStatements(*program, &global, nullptr);
    console::flush();
    return 0;
  } catch (const ExitRequest& e) {
    console::flush();
    return e.status();
  } catch (const VelkError& e) {
    return reportAndExit(e.report(), kExitError);
  } catch (const OpenGroupError& e) {
    std::string line = std::string("velk: ") + e.what();
    if (!e.origin().empty()) line += "; " + e.origin();
    return reportAndExit(line, kExitOpenGroup);
  } catch (const std::bad_alloc&) {
    return reportAndExit("velk: error: out of memory", kExitError);
  } catch (const std::exception& e) {
    return reportAndExit(std::string("velk: error: ") + e.what(), kExitError);
  }
}

}  // namespace

int runTopLevel(std::string_view script) { return runGuarded(script, nullptr); }

int runScript(std::string text, const std::string& place) {
  // The "#!" line becomes an empty one, so that line numbers stay those of the file.
  if (text.starts_with("#!")) text.erase(0, text.find('\n') == std::string::npos ? text.size() : text.find('\n'));
  return runGuarded(text, &place);
}

}  // namespace velk
