// The console: one buffered standard output stream and line-wise standard
// input. A line end written by the builtins flushes the output, and every read
// flushes it first, so a prompt without a line end is seen before the user
// types.
//
// Two ways of reading. Piped or redirected input is read line by line, with
// nothing added: that is the language's contract. When standard input and
// standard output are both terminals, the console reads through the line
// editor, continues a line that ends inside an open group on "... " lines,
// and lets Ctrl-C clear the line (at the prompt) or stop the running typed
// line; everything that differs lives behind atTerminal().
#pragma once

#include <string>
#include <string_view>

namespace velk::console {

// Called once at start-up: gives standard output a large buffer. For an
// interactive `session` (the REPL) whose standard input and output are both
// terminals, it also sets up the terminal's way of reading and Ctrl-C.
void setUp(bool session);

// The REPL runs at a terminal: standard input and output are both terminals.
bool atTerminal();

void write(std::string_view bytes);
void write(char c);
// "\n", then flush.
void lineEnd();
void flush();
// At a terminal: a line end if the cursor is not at the start of a line, so
// that a message written next (on standard error) stands on its own line.
void finishLine();

// One line without its terminating line feed (every other byte, a carriage
// return included, is kept). False at end of input or after a read error, and
// from then on at once. At a terminal, the line is the whole text of an
// entry that continued over several lines, joined by line feeds.
bool readLine(std::string& line);

// Whether `code` is the line readLine gave last and is still unclaimed; a
// true answer claims it. This is how `exec` tells the line a user typed at
// the prompt from any other text it runs.
bool claimTypedLine(std::string_view code);

// While a typed line runs, Ctrl-C in a read stops the line instead of
// clearing what is being typed.
class TypedLineRun {
 public:
  TypedLineRun();
  ~TypedLineRun();
  TypedLineRun(const TypedLineRun&) = delete;
  TypedLineRun& operator=(const TypedLineRun&) = delete;
};

}  // namespace velk::console

#include "support/console.h"

namespace velk {

// The console above as the sink the interpreter writes to and reads from.
class StdioConsole final : public Console {
 public:
  void write(std::string_view bytes) override { console::write(bytes); }
  void write(char c) override { console::write(c); }
  void lineEnd() override { console::lineEnd(); }
  void flush() override { console::flush(); }
  bool readLine(std::string& line) override { return console::readLine(line); }
};

}  // namespace velk
