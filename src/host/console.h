// The console: one buffered standard output stream and line-wise standard
// input. A line end written by the builtins flushes the output, and every read
// flushes it first, so a prompt without a line end is seen before the user
// types.
#pragma once

#include <string>
#include <string_view>

namespace velk::console {

// Called once at start-up: gives standard output a large buffer.
void setUp();

void write(std::string_view bytes);
void write(char c);
// "\n", then flush.
void lineEnd();
void flush();

// One line without its terminating line feed (every other byte, a carriage
// return included, is kept). False at end of input or after a read error, and
// from then on at once.
bool readLine(std::string& line);

}  // namespace velk::console
