// Pointing at the term that failed, under the statement it stands in.
#include "support/error_caret.h"

#include <algorithm>

#include "support/error.h"

namespace velk {
namespace {

// A piece of a statement as a terminal shows it: control bytes escaped, as
// in the report, so that the caret lines up with what is shown.
std::string shown(std::string_view bytes) {
  std::string q = quoteForReport(bytes, bytes.size());
  return q.substr(1, q.size() - 2);
}

}  // namespace

std::string caretLines(const std::exception& e) {
  const auto* v = dynamic_cast<const VelkError*>(&e);
  if (!v || v->statement().empty()) return std::string();
  std::string_view statement = v->statement();
  std::string_view term = v->term();
  // The term as it stands in the statement; without one (the statement's own
  // check failed, or an operator between terms), the statement as a whole.
  size_t at = term.empty() ? std::string_view::npos : statement.find(term);
  if (at == std::string_view::npos) {
    at = 0;
    term = statement;
  }
  // The line of the statement that holds the term's first byte.
  size_t lineStart = statement.rfind('\n', at);
  lineStart = lineStart == std::string_view::npos ? 0 : lineStart + 1;
  size_t lineEnd = std::min(statement.find('\n', at), statement.size());
  term = term.substr(0, std::min(term.size(), lineEnd - at));
  // A long line is cut to a window around the term.
  constexpr size_t kBefore = 60, kWidth = 160;
  std::string lead;
  if (at - lineStart > kBefore) {
    lineStart = at - kBefore;
    lead = "...";
  }
  size_t shownEnd = std::min(lineEnd, std::max(lineStart + kWidth, at + 1));
  std::string line = lead + shown(statement.substr(lineStart, shownEnd - lineStart));
  if (shownEnd < lineEnd) line += "...";
  size_t column = lead.size() + shown(statement.substr(lineStart, at - lineStart)).size();
  size_t width = std::max<size_t>(1, std::min(shown(term).size(), line.size() - std::min(line.size(), column)));
  return "\n    " + line + "\n    " + std::string(column, ' ') + std::string(width, '^');
}

}  // namespace velk
