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
  // One line without its terminating line feed (every other byte, a carriage
  // return included, is kept). False at end of input or after a read error,
  // and from then on at once.
  virtual bool readLine(std::string& line) = 0;
};

}  // namespace velk
