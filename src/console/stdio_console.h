// The console: one buffered standard output stream and line-wise standard
// input. A line end written by the builtins flushes the output, and every read
// flushes it first, so a prompt without a line end is seen before the user
// types.
//
// Two ways of reading. Piped or redirected input is read line by line, with
// nothing added: that is the language's contract. When standard input and
// standard output are both terminals, the console reads through the line
// editor, continues a line that ends inside an open group on "... " lines,
// answers a lone `help`, `exit` or `quit` with a hint, and lets Ctrl-C clear
// the line (at the prompt) or stop the running typed line; everything that
// differs lives behind atTerminal().
#pragma once

#include <string>
#include <string_view>

#include "support/console.h"

namespace velk::console {

// Called once at start-up: gives standard output a large buffer. For the
// REPL (`repl`) whose standard input and output are both terminals, it also
// sets up the terminal's way of reading and Ctrl-C.
void setUp(bool repl);

// The REPL runs at a terminal: standard input and output are both terminals.
bool atTerminal();

// Output that cannot be written (a full device, a closed stream, a reader
// gone) raises an error naming the cause; after that, writes are dropped.
void write(std::string_view bytes);
void write(char c);
// "\n", then flush.
void lineEnd();
void flush();
// The last flush, when the run is over: 0, or the errno of output that was
// lost and not yet reported (anything written straight to stdout included).
int finish();
// At a terminal: a line end if the cursor is not at the start of a line, so
// that a message written next (on standard error) stands on its own line.
void finishLine();

// One line without its line end: a line feed, or a carriage return and a line
// feed (a carriage return anywhere else is kept). False at the end of input,
// and from then on at once; a read that fails raises an error ("out of
// memory" where that is the cause), and the input counts as ended after it.
// At a terminal, the line is the whole text of an entry that continued over
// several lines (or was pasted as a block), joined by line feeds, and
// `names`, the variables in scope, serve Tab completion.
bool readLine(std::string& line, const NamesInScope& names = {});

// Whether `code` is the line readLine gave last and is still unclaimed; a
// true answer claims it. This is how `exec` tells the line a user typed at
// the REPL's prompt from any other text it runs. Only the REPL's session
// has typed lines.
bool claimTypedLine(std::string_view code);

// At a terminal: reports the error that ended a typed line on standard error,
// on a line of its own, and answers true: the session goes on. Elsewhere it
// answers false (and so it does once output was lost), and the error ends
// the run. `interrupted`: Ctrl-C stopped the line (and the terminal may have
// echoed "^C").
bool keepSession(const std::string& report, bool interrupted);
// Writes "velk: warning: " and `message` as one line on standard error.
void warnTypedLine(const std::string& message);
// Flushes the output, then writes `line` as one line on standard error.
void traceLine(const std::string& line);

}  // namespace velk::console


namespace velk {

// The console above as the sink the interpreter writes to and reads from.
class StdioConsole final : public Console {
 public:
  void write(std::string_view bytes) override { console::write(bytes); }
  void write(char c) override { console::write(c); }
  void lineEnd() override { console::lineEnd(); }
  void flush() override { console::flush(); }
  bool readLine(std::string& line) override { return console::readLine(line); }
  bool readLineInScope(std::string& line, const NamesInScope& names) override {
    return console::readLine(line, names);
  }
  bool claimTypedLine(std::string_view code) override { return console::claimTypedLine(code); }
  bool keepSession(const std::string& report, bool interrupted) override {
    return console::keepSession(report, interrupted);
  }
  void warnTypedLine(const std::string& message) override { console::warnTypedLine(message); }
  void traceLine(const std::string& line) override { console::traceLine(line); }
  bool linesAreRuns() const override { return console::atTerminal(); }
  bool atTerminal() const override { return console::atTerminal(); }
};

}  // namespace velk
