// Console streams on top of C stdio.
#include "host/console.h"

#include <cstdio>

namespace velk::console {
namespace {
bool inputEnded = false;
}

void setUp() { std::setvbuf(stdout, nullptr, _IOFBF, 1 << 16); }

void write(std::string_view bytes) { std::fwrite(bytes.data(), 1, bytes.size(), stdout); }

void write(char c) { std::fputc(static_cast<unsigned char>(c), stdout); }

void lineEnd() {
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

void flush() { std::fflush(stdout); }

bool readLine(std::string& line) {
  flush();
  line.clear();
  if (inputEnded) return false;
  int c;
  bool any = false;
  while ((c = std::getc(stdin)) != EOF) {
    any = true;
    if (c == '\n') return true;
    line += static_cast<char>(c);
  }
  inputEnded = true;
  // A last line without a line feed still counts as a line.
  return any;
}

}  // namespace velk::console
