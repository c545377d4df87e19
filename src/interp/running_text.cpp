// Running code that is not part of the current statement list: `exec` runs a
// text in the current scope, `also` loads a script file into it, and `class`
// runs a block in an empty scope and keeps what it creates as members.
#include "interp/running_text.h"

#include <filesystem>

#include "interp/evaluator.h"
#include "interp/executor.h"
#include "interp/run.h"
#include "interp/script_file.h"
#include "interp/typed_line.h"
#include "support/error.h"
#include "support/run_limits.h"

namespace velk {
namespace {

// Runs a program in the current run's own maps: whatever it binds stays bound
// here, as if its statements stood in place; an `end` ends only the program.
void runInPlace(Run& run, const Program& program) {
  executeStatements(run.interp, program, &run.outer, &run.local);
  run.bindingsChanged();
}

// Past this length an `exec` text is run once without keeping its parsed
// statements: a text that long (a script read from a file) is rarely run
// again, and keeping it parsed would cost many times its length. Shorter
// texts, such as the lines the REPL runs, keep theirs.
constexpr size_t kLongExecText = 64 * 1024;

const std::string kScriptExtension = ".VELK";
const std::string kLibraryFolder = "lib/";

bool entryExists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::exists(std::filesystem::path(path), ec);
}

}  // namespace

namespace {

// A typed line as a program of its own place (see Interpreter::nextTypedLine).
ProgramRef typedProgram(Interpreter& interp, const Text& code) {
  return compileProgram(splitStatements(code), interp.nextTypedLine());
}

// An error leaving a text that a statement ran (`exec`, `also`) is named
// next by that statement, as the caller of the text.
template <class Body>
void runText(Body body) {
  try {
    body();
  } catch (VelkError& e) {
    e.places().leaveCall();
    throw;
  } catch (OpenGroupError& e) {
    e.places().leaveCall();
    throw;
  }
}

}  // namespace

void runExec(Run& run, const CompiledStatement& st) {
  Text code = asText(evaluateExpression(run.interp, operand(st, 1, "the code to run"), run.readView(), Blocks::Run),
                     run.interp.limits().maxValueBytes);
  // A text run from the user's code is placed as a source of its own.
  if (st.place && !placeOf(code)) setPlace(code, run.interp.execStart());
  runText([&] {
    if (code.size() > kLongExecText) {
      checkGroupsClosed(code.view());  // before the line is claimed, as a split would fail
      if (!run.interp.console().claimTypedLine(code.view())) {
        executeOnce(run.interp, code, &run.outer, &run.local);
        run.bindingsChanged();
        return;
      }
      runTypedLine(run, *typedProgram(run.interp, code), code.view());
      return;
    }
    ProgramRef program = wholeProgram(code);
    if (run.interp.console().claimTypedLine(code.view())) {
      runTypedLine(run, *typedProgram(run.interp, code), code.view());
      return;
    }
    runInPlace(run, *program);
  });
}

void runAlso(Run& run, const CompiledStatement& st) {
  Text name = asText(evaluateExpression(run.interp, operand(st, 1, "a script name"), run.readView(), Blocks::Run),
                     run.interp.limits().maxValueBytes);
  // A zero byte would cut the path short where the system reads it, so that
  // another file than the one named would be loaded; refuse it, as the file
  // builtins do.
  if (name.view().find('\0') != std::string_view::npos)
    fail("invalid path", "also of " + quoteForReport(name.view()) + ": a path cannot hold a zero byte");
  std::string file = name.str() + kScriptExtension;
  std::string libraryPath = kLibraryFolder + file;
  std::string path = entryExists(libraryPath) ? libraryPath : file;

  checkConfined(run.interp.limits(), path, "also");
  std::string script = loadScriptFile(run.interp.console(), path, libraryPath);

  // Read once and run once: nothing of it is kept parsed. Its statements
  // are named by the file's path and their lines.
  Text text(std::move(script));
  setPlace(text, SourcePlace{makeSource(path), 1});
  runText([&] {
    executeOnce(run.interp, text, &run.outer, &run.local);
    run.bindingsChanged();
  });
}

void runClass(Run& run, const CompiledStatement& st) {
  const Text& name = operand(st, 1, "a name and a block");
  Value block = evaluateExpression(run.interp, operand(st, 2, "a block"), run.readView(), Blocks::Keep);
  ProgramRef program = innerProgram(asText(block, run.interp.limits().maxValueBytes), "class block");
  VarMap outer, members;  // the block sees no variable of the current run
  executeStatements(run.interp, *program, &outer, &members);
  Value instance = Value::ofType(kScaffold);
  members.fitHead();  // the members of a record, kept as long as it lives
  instance.setMembers(std::move(members));
  run.bind(name, newValue(std::move(instance)), st.outputMemo);
}

}  // namespace velk
