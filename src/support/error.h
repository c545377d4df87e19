// The errors that end a run. The language has no error values and no
// recovery: an error travels up as a C++ exception to the one handler at the
// top, which flushes standard output, prints one line and ends the process.
// What was going on when it arose (the statement being run, the file being
// loaded) is noted on the way up by the innermost statement and file that see
// it pass, so no global context has to be set and restored around each
// statement, and an error leaves nothing half-changed behind.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "support/stack_guard.h"

namespace velk {

// Where an error arose and the calls that led there, noted by the statements
// it passes on its way out: the first statement with a place names where it
// arose ("at prog.VELK:3"); after the error has left a function's body (or a
// text run by `exec` or `also`), the next statement with a place is the one
// that called it ("called from prog.VELK:9"). The ten innermost callers are
// named, the rest counted.
class ErrorPlaces {
 public:
  static constexpr size_t kNamedCallers = 10;
  // Whether the next statement with a place is named; `describe` gives its
  // place only then. False also for a caller past the tenth, which is counted.
  bool wantsPlace() {
    if (located_ && !awaitingCaller_) return false;
    if (!located_ || callers_.size() < kNamedCallers) return true;
    awaitingCaller_ = false;
    ++moreCallers_;
    return false;
  }
  void notePlace(std::string place) {
    if (!located_) {
      at_ = std::move(place);
      located_ = true;
    } else {
      callers_.push_back(std::move(place));
      awaitingCaller_ = false;
    }
  }
  // The error leaves a call: the next place is its caller's.
  void leaveCall() { awaitingCaller_ = located_; }
  // "; at A; called from B; ...", or nothing.
  std::string describe() const;

 private:
  std::string at_;
  std::vector<std::string> callers_;
  size_t moreCallers_ = 0;
  bool located_ = false;
  bool awaitingCaller_ = false;
};

// The kinds an error can be of. Number reading distinguishes a text that
// holds no number from a number that does not fit; a run that reached one of
// its bounds (steps, time, memory, the size of a value) is a Limit, reported
// by the bound it reached and ending the process with its own status. A
// System error is one the operating system reported, in its own words.
enum class ErrorKind { InvalidArgument, OutOfRange, Other, Limit, System };

class VelkError : public std::runtime_error {
 public:
  // `text` is the error's own text ("stoi", a Base64 message, the system's
  // description, or a short summary of the interpreter's own); `detail` says
  // in plain words what happened or was being done. The report leads with
  // whichever of the two is in the interpreter's words (see report()).
  VelkError(std::string text, ErrorKind kind, std::string detail = {})
      : std::runtime_error(text), kind_(kind), detail_(std::move(detail)) {
    prepareStackForThrow();
  }

  ErrorKind kind() const { return kind_; }
  const std::string& detail() const { return detail_; }
  const std::string& statement() const { return statement_; }
  const std::string& file() const { return file_; }
  const std::string& origin() const { return origin_; }
  // The innermost statement and file win: only the first note of each counts.
  bool hasStatement() const { return statementNoted_; }
  void noteStatement(std::string statement) {
    statement_ = std::move(statement);
    statementNoted_ = true;
  }
  void noteFile(const std::string& file) {
    if (!fileNoted_) file_ = file;
    fileNoted_ = true;
  }
  bool hasOrigin() const { return originNoted_; }
  // `innermost`: the user's statement is the one the error arose in, rather
  // than one that called the function (of the library, say) it arose in.
  void noteOrigin(std::string origin, bool innermost = true) {
    origin_ = std::move(origin);
    originNoted_ = true;
    originIsCaller_ = !innermost;
  }

  ErrorPlaces& places() { return places_; }
  // The term being evaluated when the error arose, innermost first; empty
  // when it arose in no term (a statement's own check).
  const std::string& term() const { return term_; }
  void noteTerm(std::string_view term) {
    if (!termNoted_) term_ = term;
    termNoted_ = true;
  }

  // What happened, in words, without where: the head of the report.
  std::string message() const;
  // The single line that the top-level handler prints.
  std::string report() const;

 private:
  ErrorKind kind_;
  std::string detail_;
  std::string statement_;
  std::string file_;
  std::string origin_;
  bool statementNoted_ = false;
  bool fileNoted_ = false;
  bool originNoted_ = false;
  ErrorPlaces places_;
  std::string term_;
  bool termNoted_ = false;
  bool originIsCaller_ = false;
};

// A text ended inside an open quote, brace or parenthesis: the process ends
// with status 51.
// `offset` is where the open group starts in the split text.
class OpenGroupError : public std::runtime_error {
 public:
  OpenGroupError(std::string groupKind, size_t offset)
      : std::runtime_error("text ends inside an open " + groupKind),
        offset_(offset) {
    prepareStackForThrow();
  }
  size_t offset() const { return offset_; }
  const std::string& origin() const { return origin_; }
  ErrorPlaces& places() { return places_; }
  const ErrorPlaces& places() const { return places_; }
  // As for VelkError: the innermost statement the error passes, and the
  // user's own statement it arose in.
  bool hasStatement() const { return statementSeen_; }
  void noteStatement() { statementSeen_ = true; }
  bool hasOrigin() const { return originNoted_; }
  void noteOrigin(std::string origin) {
    origin_ = std::move(origin);
    originNoted_ = true;
  }

 private:
  size_t offset_;
  std::string origin_;
  bool statementSeen_ = false;
  bool originNoted_ = false;
  ErrorPlaces places_;
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
// A run ended by a bound its caller set, told apart from an error so that a
// caller can tell a script that failed from one that ran out of room.
inline constexpr int kExitLimit = 3;

// Whether `e` is a run reaching one of its bounds (ErrorKind::Limit).
bool reachedLimit(const std::exception& e);

// Shorthand for errors of the interpreter's own, which are of no particular
// kind: `summary` in a few words ("recursion too deep"), `detail` the rest.
[[noreturn]] void fail(std::string summary, std::string detail = {});
// An error the operating system reported as `systemText` while the
// interpreter was `doing` something ("readbinfile of `x`").
[[noreturn]] void failSystem(std::string systemText, std::string doing);

// The one line reported for an error that ended a run (or, at a terminal, a
// typed line): a VelkError's report, an open group, an interrupt, memory
// running out, or an error of the C++ library.
std::string reportLine(const std::exception& e);

// A text quoted for an error line: control bytes escaped, long texts cut, so
// that the report stays one line whatever the text holds.
std::string quoteForReport(std::string_view text, size_t limit = 120);

}  // namespace velk
