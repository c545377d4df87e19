// The console as a sink: where everything that prints writes (print, the
// splitter trace, also's progress lines) and where input reads its lines. The
// host fills it in (standard streams for the executable, a recording sink in
// tests), so nothing below the host knows where the bytes go.
#pragma once

#include <string>
#include <string_view>

namespace velk {

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
};

}  // namespace velk
