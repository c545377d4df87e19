// Error reports: the one line written for an error that ends a run.
#include "support/error.h"

#include <cstdio>
#include <new>

#include "support/interrupt.h"

namespace velk {

void fail(std::string summary, std::string detail) {
  throw VelkError(std::move(summary), ErrorKind::Other, std::move(detail));
}

void failSystem(std::string systemText, std::string doing) {
  throw VelkError(std::move(systemText), ErrorKind::System, std::move(doing));
}

std::string quoteForReport(std::string_view text, size_t limit) {
  std::string out = "`";
  size_t n = 0;
  for (unsigned char c : text) {
    if (n++ == limit) {
      out += "...";
      break;
    }
    switch (c) {
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20 || c == 0x7f) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\x%02x", c);
          out += buf;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  out += "`";
  return out;
}

std::string ErrorPlaces::describe() const {
  std::string s;
  if (located_) s = "; at " + at_;
  for (const std::string& caller : callers_) s += "; called from " + caller;
  if (moreCallers_) s += "; ... " + std::to_string(moreCallers_) + " more";
  return s;
}

std::string VelkError::message() const {
  std::string own = what();
  switch (kind_) {
    case ErrorKind::Limit:
      // Not an error of the script's: the detail names the bound ("step limit
      // of 1000 reached").
      return detail_;
    case ErrorKind::InvalidArgument:
    case ErrorKind::OutOfRange: {
      // A number that did not read: what the text is, in words, then the
      // reading's own text and kind, which people search for.
      std::string kind = kind_ == ErrorKind::InvalidArgument ? "invalid argument" : "out of range";
      if (detail_.empty()) return own + " (" + kind + ")";
      return detail_ + " (" + own + ": " + kind + ")";
    }
    case ErrorKind::System:
      // As the system's tools put it: what was being done, then the system's words.
      return detail_.empty() ? own : detail_ + ": " + own;
    case ErrorKind::Other: break;
  }
  return detail_.empty() ? own : own + ": " + detail_;
}

std::string VelkError::report() const {
  std::string line = kind_ == ErrorKind::Limit ? "velk: " : "velk: error: ";
  line += message();
  // When the error arose inside a function that a statement of the user's
  // called (one of the library's, most often), the user's statement comes
  // first: the function's own statement is not one the user wrote.
  const bool callerFirst = originIsCaller_ && !origin_.empty();
  if (callerFirst) line += "; " + origin_;
  if (!statement_.empty()) line += (callerFirst ? "; inside it, in statement " : "; in statement ") + quoteForReport(statement_);
  if (!file_.empty()) line += "; in file " + quoteForReport(file_);
  line += places_.describe();
  if (!origin_.empty() && !callerFirst) line += "; " + origin_;
  return line;
}

}  // namespace velk

namespace velk {

bool reachedLimit(const std::exception& e) {
  const auto* v = dynamic_cast<const VelkError*>(&e);
  return v && v->kind() == ErrorKind::Limit;
}

std::string reportLine(const std::exception& e) {
  if (const auto* v = dynamic_cast<const VelkError*>(&e)) return v->report();
  if (const auto* g = dynamic_cast<const OpenGroupError*>(&e)) {
    std::string line = std::string("velk: ") + g->what() + g->places().describe();
    if (!g->origin().empty()) line += "; " + g->origin();
    return line;
  }
  if (dynamic_cast<const Interrupted*>(&e)) return "velk: interrupted";
  if (dynamic_cast<const std::bad_alloc*>(&e)) return "velk: error: out of memory";
  return std::string("velk: error: ") + e.what();
}

}  // namespace velk
