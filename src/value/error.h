// The errors that end a run. The language has no error values and no
// recovery: an error travels up as a C++ exception to the one handler at the
// top, which flushes standard output, prints one line and ends the process.
// On the way up, the layers that know more (the statement being run, the file
// being loaded) add what they know; they never catch an error for good.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace velk {

// The three kinds an error can be of. Number reading distinguishes a text that
// holds no number from a number that does not fit.
enum class ErrorKind { InvalidArgument, OutOfRange, Other };

class VelkError : public std::runtime_error {
 public:
  // `text` is the error's own text ("stoi", a Base64 message, ...); `detail`
  // says what was being read or done when it arose.
  VelkError(std::string text, ErrorKind kind, std::string detail = {})
      : std::runtime_error(text), kind_(kind), detail_(std::move(detail)) {}

  ErrorKind kind() const { return kind_; }
  const std::string& detail() const { return detail_; }
  const std::string& statement() const { return statement_; }
  const std::string& file() const { return file_; }

  // The innermost statement and file win: outer layers add theirs only when
  // nothing nearer to the fault was recorded.
  void noteStatement(std::string_view s) {
    if (statement_.empty()) statement_ = s;
  }
  void noteFile(std::string_view f) {
    if (file_.empty()) file_ = f;
  }

  // The single line that the top-level handler prints.
  std::string report() const;

 private:
  ErrorKind kind_;
  std::string detail_;
  std::string statement_;
  std::string file_;
};

// A text ended inside an open quote, brace or parenthesis: the process ends
// with status 51.
class OpenGroupError : public std::runtime_error {
 public:
  explicit OpenGroupError(std::string groupKind)
      : std::runtime_error("text ends inside an open " + groupKind) {}
};

// A request to end the process with a status and without a message, such as
// reaching the end of standard input.
class ExitRequest : public std::exception {
 public:
  explicit ExitRequest(int status) : status_(status) {}
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
