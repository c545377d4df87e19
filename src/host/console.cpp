// Console streams on top of C stdio.
#include "host/console.h"

#include <stdio.h>
#include <sys/types.h>

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
  static char* buffer = nullptr;
  static size_t capacity = 0;
  ssize_t n = ::getline(&buffer, &capacity, stdin);
  if (n <= 0) {
    inputEnded = true;
    return false;
  }
  // A last line without a line feed still counts as a line.
  size_t length = static_cast<size_t>(n);
  if (buffer[length - 1] == '\n') --length;
  line.assign(buffer, length);
  return true;
}

}  // namespace velk::console
