// The console as a sink: where everything that prints writes (print, the
// splitter trace, also's progress lines) and where input reads its lines. The
// host fills it in (standard streams for the executable, a recording sink in
// tests), so nothing below the host knows where the bytes go.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace velk {

// A variable that the code reading a line sees, for a console that completes
// names as they are typed.
struct NameInScope {
  std::string name;
  bool isFunction = false;
};
// The variables in scope, listed only when they are asked for.
using NamesInScope = std::function<std::vector<NameInScope>()>;

class Console {
 public:
  virtual ~Console() = default;
  virtual void write(std::string_view bytes) = 0;
  virtual void write(char c) = 0;
  // "\n", then flush.
  virtual void lineEnd() = 0;
  virtual void flush() = 0;
  // Writes that fail raise an error (VelkError) naming the cause.
  // One line without its line end: a line feed, or a carriage return and a
  // line feed (a carriage return anywhere else is kept). False at the end of
  // input, and from then on at once; a read that fails raises an error.
  virtual bool readLine(std::string& line) = 0;
  // The same for `$input`, which also offers the variables in scope where it
  // runs; a console that completes nothing reads as above.
  virtual bool readLineInScope(std::string& line, const NamesInScope& /*names*/) { return readLine(line); }

  // The REPL's typed lines. Whether `code`, which `exec` is about to run, is
  // the line that readLine gave last, read for the REPL's own prompt; a true
  // answer claims it, so that it is told apart once. A console that reads no
  // user's lines answers false.
  virtual bool claimTypedLine(std::string_view /*code*/) { return false; }
  // An error (its one-line report) or an interrupt ended a typed line. A
  // console that keeps the session reports it and answers true, and the REPL
  // goes on; the default answers false, and the error ends the run.
  virtual bool keepSession(const std::string& /*report*/, bool /*interrupted*/) { return false; }
  // A warning about the typed line that is about to run, for the person at
  // the terminal: one line of its own, apart from the output.
  virtual void warnTypedLine(const std::string& /*message*/) {}
  // One line of the statement trace, for whoever follows the run: apart from
  // the output, after what the output holds so far.
  virtual void traceLine(const std::string& /*line*/) {}
  // Whether each typed line is a run of its own (at a terminal): its steps and
  // time then count from its start. Otherwise the whole input is one run.
  virtual bool linesAreRuns() const { return false; }
  // Whether a person reads the output at a terminal (the REPL with standard
  // input and output both terminals). Notes meant for that person are
  // written only then: piped output keeps to the language's letter.
  virtual bool atTerminal() const { return false; }
};

}  // namespace velk
