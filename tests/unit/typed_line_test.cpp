// Lines typed at the REPL's prompt: run as the user's program (an error deep
// inside names the typed statement too), and, where the console keeps the
// session, an error or an interrupt ends only the line, with every variable
// as it was when the line stopped.
#include <string>
#include <vector>

#include "interp/interpreter.h"
#include "interp/executor.h"
#include "support/interrupt.h"
#include "test_support.h"

namespace velk {
namespace {

// A console that serves typed lines as the terminal's console does: the line
// read last is the typed one until `exec` claims it; errors are kept in
// `reports` when the session is kept. After the line `interruptAfter`, a
// read presses Ctrl-C.
class SessionConsole final : public Console {
 public:
  SessionConsole(std::vector<std::string> lines, bool keep) : lines_(std::move(lines)), keep_(keep) {}
  void write(std::string_view bytes) override { output.append(bytes); }
  void write(char c) override { output += c; }
  void lineEnd() override { output += '\n'; }
  void flush() override {}
  bool readLine(std::string& line) override {
    pending_ = false;
    if (next_ >= lines_.size()) return false;
    line = lines_[next_++];
    if (line == "<ctrl-c>") {
      interruptRequested = 1;  // as the signal handler does, while the line reads
      line = "1";
    }
    last_ = line;
    pending_ = true;
    return true;
  }
  bool claimTypedLine(std::string_view code) override {
    if (!pending_ || code != last_) return false;
    pending_ = false;
    return true;
  }
  bool keepSession(const std::string& report, bool interrupted) override {
    if (!keep_) return false;
    reports.push_back(interrupted ? "[interrupted] " + report : report);
    return true;
  }
  std::string output;
  std::vector<std::string> reports;

 private:
  std::vector<std::string> lines_;
  bool keep_;
  size_t next_ = 0;
  std::string last_;
  bool pending_ = false;
};

// The REPL's loop, as the built-in script has it; the end of input ends it.
const char kLoop[] = "until (1) {\n$print$(\"> \" \"nah\")\nexec ($input)\n}";

struct Session {
  Session(std::vector<std::string> lines, bool keep) : console(std::move(lines), keep), interp(console) {
    registerBuiltins(interp.builtins());
  }
  // Runs the loop until the input ends; what the loop's scope holds then.
  void run() {
    ProgramRef program = compileProgram(splitStatements(kLoop));
    try {
      executeStatements(interp, *program, &global, nullptr);
      ADD_FAILURE() << "the loop ended without the end of input";
    } catch (const ExitRequest& e) {
      EXPECT_EQ(e.status(), 0);
    }
  }
  SessionConsole console;
  Interpreter interp;
  VarMap global;
};

TEST(TypedLine, AnErrorEndsOnlyTheLineWhenTheSessionIsKept) {
  Session s({"x = 5", "list l", "add l 1", "y = (x + nope)", "x += 1", "$print$((x + 0))", "$print$(l)",
             "$print$(y)"},
            true);
  s.run();
  // The loop went on after the error: x kept 5 and could be changed, the
  // list is intact, and y, created by the failing line before its value
  // failed, exists without a value.
  EXPECT_EQ(s.console.output, "> > > > > > 6\n> [1]\n> \n> ");
  ASSERT_EQ(s.console.reports.size(), 1u);
  EXPECT_EQ(s.console.reports[0],
            "velk: error: `nope` is not a variable or a number (stoi: invalid argument); in statement `y = (x + nope)`");
  EXPECT_EQ(s.interp.nesting(), 0u);
  EXPECT_EQ(interruptibleRuns, 0);
}

TEST(TypedLine, EveryVariableKeepsTheValueItHadWhenTheErrorHappened) {
  // The line's statements that completed stay done, also inside a function
  // that failed half-way and inside a loop body.
  Session s({"a = 1", "f = { a = 2\nb = (a -> \"m\") }", "$f", "$print$(a)", "n = 0",
             "until (1) { n += 1\ncompare ((n == 3)) { boom = (1 -> \"m\") } }", "$print$(n)"},
            true);
  s.run();
  EXPECT_EQ(s.console.output, "> > > > 2\n> > > 3\n> ");
  ASSERT_EQ(s.console.reports.size(), 2u);
  EXPECT_NE(s.console.reports[0].find("; in the typed statement `$f`; inside it, in statement `b = (a -> \"m\")`"),
            std::string::npos)
      << s.console.reports[0];
  EXPECT_NE(s.console.reports[1].find("; inside it, in statement `boom = (1 -> \"m\")`"),
            std::string::npos)
      << s.console.reports[1];
}

TEST(TypedLine, WithoutAKeptSessionTheErrorEndsTheRun) {
  Session s({"x = 1", "x = (x + nope)", "$print$(\"never\")"}, false);
  ProgramRef program = compileProgram(splitStatements(kLoop));
  EXPECT_VELK_ERROR_THEN(executeStatements(s.interp, *program, &s.global, nullptr), "stoi",
                         EXPECT_EQ(e_.statement(), "x = (x + nope)"));
  EXPECT_EQ(s.console.output, "> > ");
  EXPECT_EQ(interruptibleRuns, 0);
  EXPECT_EQ(s.interp.userProgram(), nullptr);
}

TEST(TypedLine, AnInterruptStopsAnEndlessLoopAndKeepsItsVariables) {
  // The loop reads a line in every turn; the third read presses Ctrl-C, and
  // the loop stops at its next statement.
  Session s({"n = 0", "z = 9", "until (1) { n += 1\nz = $input }", "1", "2", "<ctrl-c>", "$print$(n)", "$print$(z)"},
            true);
  s.run();
  EXPECT_EQ(s.console.output, "> > > > 3\n> 1\n> ");
  ASSERT_EQ(s.console.reports.size(), 1u);
  EXPECT_EQ(s.console.reports[0], "[interrupted] velk: interrupted");
  EXPECT_EQ(interruptRequested, 0);
}

TEST(TypedLine, AnInterruptOutsideATypedLineWaits) {
  // Outside a typed line nothing is interruptible: the request stays for the
  // next read to drop, and the running code goes on.
  testing::TestInterpreter t;
  VarMap vars;
  interruptRequested = 1;
  ProgramRef program = compileProgram(splitStatements("n = 0\nuntil ((n < 3)) { n += 1 }"));
  executeStatements(t.interp, *program, &vars, &vars);
  EXPECT_EQ(vars.find(Text("n"))->intValue, 3);
  EXPECT_EQ(interruptRequested, 1);
  interruptRequested = 0;
}

TEST(TypedLine, AnEmptyLoopBodyCanBeInterrupted) {
  // An empty body is still a statement, looked at in every turn; the
  // condition reads a line per turn, and Ctrl-C is pressed in the third.
  Session s({"until ($input) {}", "1", "1", "<ctrl-c>", "$print$(\"back\")"}, true);
  s.run();
  EXPECT_EQ(s.console.output, "> > back\n> ");
  ASSERT_EQ(s.console.reports.size(), 1u);
  EXPECT_EQ(s.console.reports[0], "[interrupted] velk: interrupted");
}

TEST(TypedLine, OnlyTheLineJustReadIsTyped) {
  // Text that a typed line runs with exec is part of that line: an error in
  // it names the typed exec statement.
  Session s({"code = $input", "q = (1 + missing)", "exec (code)"}, true);
  s.run();
  ASSERT_EQ(s.console.reports.size(), 1u);
  EXPECT_NE(s.console.reports[0].find("in the typed statement `exec (code)`; inside it, in statement `q = (1 + missing)`; at <exec>:1"),
            std::string::npos)
      << s.console.reports[0];
}

}  // namespace
}  // namespace velk
