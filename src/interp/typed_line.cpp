// A line typed at the REPL's prompt: run as the user's own program, and, at a
// terminal, the one place where an error ends only what was typed.
#include "interp/typed_line.h"

#include <filesystem>
#include <utility>

#include "check/checker.h"
#include "interp/evaluator.h"
#include "interp/executor.h"
#include "interp/run.h"
#include "support/error.h"
#include "support/error_caret.h"
#include "support/interrupt.h"

namespace velk {
namespace {

// The typed statement an error passed on its way out, when it arose deeper
// (in a function of the library, say); the innermost statement is named
// already.
std::string describeTypedStatement(const CompiledStatement& st, bool innermost) {
  if (innermost) return std::string();
  return "in the typed statement " + quoteForReport(st.sourceText());
}

// The typed line is the user's program while it runs; the one before (a
// typed line that read this one with `exec ($input)`) is put back after.
class UserProgramScope {
 public:
  UserProgramScope(Interpreter& interp, const Program& line)
      : interp_(interp), program_(interp.userProgram()), describe_(interp.originDescriber()) {
    interp_.setUserProgram(&line, describeTypedStatement);
  }
  ~UserProgramScope() { interp_.setUserProgram(program_, std::move(describe_)); }
  UserProgramScope(const UserProgramScope&) = delete;
  UserProgramScope& operator=(const UserProgramScope&) = delete;

 private:
  Interpreter& interp_;
  const Program* program_;
  Interpreter::OriginDescriber describe_;
};

// Where a typed line began, to go back to when it fails: a line that stops
// half way (inside a folder being packed, say) must not leave later lines
// writing and removing there. A folder the library was rebuilding is given
// up first. A line that ends well leaves the current folder where it put it.
class FolderAtStart {
 public:
  explicit FolderAtStart(Interpreter& interp) : interp_(interp) {
    std::error_code ec;
    start_ = std::filesystem::current_path(ec);
  }
  void lineFailed() noexcept {
    interp_.libraryFolders().making.abandon();
    std::error_code ec;
    if (!start_.empty()) std::filesystem::current_path(start_, ec);
  }

 private:
  Interpreter& interp_;
  std::filesystem::path start_;  // empty when it could not be told
};

// What the checker finds in a line typed at a terminal, written before it
// runs (it then runs all the same). Names bound at the prompt are known, so
// that calling one is no call of an unknown name.
void warnAboutTypedLine(Run& run, std::string_view text) {
  CheckOptions options;
  options.typedAtPrompt = true;
  run.readView().forEach([&options](const Text& name, const ValueRef&) { options.knownNames.push_back(name.str()); });
  bool severalLines = text.find('\n') != std::string_view::npos;
  for (const CheckWarning& w : checkText(text, options))
    run.interp.console().warnTypedLine(severalLines ? "line " + std::to_string(w.line) + ": " + w.message : w.message);
}

// A line typed at a terminal that is a lone variable name, group or call
// stands for its value, which is shown (as the display form, on a line of its
// own) unless it is unspecified; true when the line was such a line and has
// run. Any other line, and a lone name that is no variable, runs as written
// (a lone name or group is an assignment lacking its operator and value, an
// error).
bool showLoneValue(Run& run, const Program& line) {
  if (line.statements.size() != 1 || line.statements.front().tokens.size() != 1) return false;
  const CompiledStatement& st = line.statements.front();
  const Text& term = st.tokens.front();
  bool call = st.kind == StatementKind::Call;
  bool group = st.kind == StatementKind::Assignment && term.front() == '(';
  bool name = st.kind == StatementKind::Assignment && !group && run.readView().findRef(term);
  if (!call && !group && !name) return false;
  Value value;
  try {
    value = evaluateExpression(run.interp, term, run.readView(), Blocks::Run);
  } catch (VelkError& e) {
    if (!e.hasStatement()) e.noteStatement(st.sourceText());  // as a statement that failed names itself
    throw;
  }
  if (value.typeName == kUnspecified) return true;
  Console& console = run.interp.console();
  console.write(asText(value, run.interp.limits().maxValueBytes).view());
  console.lineEnd();
  return true;
}

}  // namespace

void runTypedLine(Run& run, const Program& line, std::string_view text) {
  Console& console = run.interp.console();
  FolderAtStart folder(run.interp);
  try {
    // At a terminal, steps and time count from the line's start; piped lines
    // are one run, bounded as a whole.
    if (console.linesAreRuns()) run.interp.restartBudget();
    UserProgramScope user(run.interp, line);
    InterruptibleRun interruptible;
    if (console.atTerminal()) warnAboutTypedLine(run, text);
    if (!console.atTerminal() || !showLoneValue(run, line))
      executeStatements(run.interp, line, &run.outer, &run.local);
  } catch (const ExitRequest&) {
    throw;  // the end of input ends the session
  } catch (const Interrupted& e) {
    folder.lineFailed();
    if (!console.keepSession(reportLine(e), true)) throw;
  } catch (const std::exception& e) {
    // The run handed its maps back on the way out: every variable keeps the
    // value it had when the error happened.
    folder.lineFailed();
    if (!console.keepSession(reportLine(e) + (console.atTerminal() ? caretLines(e) : std::string()), false)) throw;
  }
  if (console.linesAreRuns()) run.interp.restartBudget();  // the REPL's own statements until the next line
  run.bindingsChanged();
}

}  // namespace velk
