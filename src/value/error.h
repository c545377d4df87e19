// The errors that end a run. The language has no error values and no
// recovery: an error travels up as a C++ exception to the one handler at the
// top, which flushes standard output, prints one line and ends the process.
// What was going on when it arose (the statement being run, the file being
// loaded) is recorded when the error is made, from the error context below,
// so nothing on the way up has to catch and rethrow it.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

#include "value/stack_guard.h"

namespace velk {

// The three kinds an error can be of. Number reading distinguishes a text that
// holds no number from a number that does not fit.
enum class ErrorKind { InvalidArgument, OutOfRange, Other };

// The innermost statement being run and file being loaded. The interpreter
// sets these around each statement and each loaded file, restoring them
// afterwards; an error copies what they say when it is made.
namespace error_context {
extern const void* statement;
extern std::string (*describeStatement)(const void* statement);
extern const std::string* file;
// The user's own outermost statement: the one of `userProgram` (a script
// file, a `-e` text, a line typed at the prompt) being run, however deep in
// library code the error arises. `describeOrigin`, installed by whoever set
// `userProgram`, turns it into the error's origin ("at line 3 of `f.VELK`").
extern const void* userProgram;
extern const void* userStatement;
extern std::string (*describeOrigin)(const void* userStatement, const void* innermost);
// The origin of an error being made now, or empty.
std::string origin();
}  // namespace error_context

class VelkError : public std::runtime_error {
 public:
  // `text` is the error's own text ("stoi", a Base64 message, ...); `detail`
  // says what was being read or done when it arose.
  VelkError(std::string text, ErrorKind kind, std::string detail = {})
      : std::runtime_error(text), kind_(kind), detail_(std::move(detail)) {
    if (error_context::statement) statement_ = error_context::describeStatement(error_context::statement);
    if (error_context::file) file_ = *error_context::file;
    origin_ = error_context::origin();
    prepareStackForThrow();
  }

  ErrorKind kind() const { return kind_; }
  const std::string& detail() const { return detail_; }
  const std::string& statement() const { return statement_; }
  const std::string& file() const { return file_; }
  const std::string& origin() const { return origin_; }

  // The single line that the top-level handler prints.
  std::string report() const;

 private:
  ErrorKind kind_;
  std::string detail_;
  std::string statement_;
  std::string file_;
  std::string origin_;
};

// A text ended inside an open quote, brace or parenthesis: the process ends
// with status 51.
// `offset` is where the open group starts in the split text.
class OpenGroupError : public std::runtime_error {
 public:
  OpenGroupError(std::string groupKind, size_t offset)
      : std::runtime_error("text ends inside an open " + groupKind),
        offset_(offset),
        origin_(error_context::origin()) {
    prepareStackForThrow();
  }
  size_t offset() const { return offset_; }
  const std::string& origin() const { return origin_; }

 private:
  size_t offset_;
  std::string origin_;
};

// A request to end the process with a status and without a message, such as
// reaching the end of standard input.
class ExitRequest : public std::exception {
 public:
  explicit ExitRequest(int status) : status_(status) { prepareStackForThrow(); }
  int status() const { return status_; }
  const char* what() const noexcept override { return "exit requested"; }

 private:
  int status_;
};

inline constexpr int kExitOpenGroup = 51;
inline constexpr int kExitError = 1;

// Shorthand for errors of the interpreter's own, which are of no particular kind.
[[noreturn]] void fail(std::string text, std::string detail = {});

// A text quoted for an error line: control bytes escaped, long texts cut, so
// that the report stays one line whatever the text holds.
std::string quoteForReport(std::string_view text, size_t limit = 120);

}  // namespace velk
