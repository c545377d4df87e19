// Error reports: the one line written for an error that ends a run.
#include "support/error.h"

#include <cstdio>
#include <new>

#include "support/interrupt.h"

namespace velk {

void fail(std::string text, std::string detail) {
  throw VelkError(std::move(text), ErrorKind::Other, std::move(detail));
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

std::string VelkError::report() const {
  std::string line;
  if (kind_ == ErrorKind::Limit) {
    // Not an error of the script's: the detail names the bound ("step limit
    // of 1000 reached").
    line = "velk: " + detail_;
  } else {
    line = "velk: error: ";
    line += what();
    if (kind_ == ErrorKind::InvalidArgument) line += " (invalid argument)";
    if (kind_ == ErrorKind::OutOfRange) line += " (out of range)";
    if (!detail_.empty()) line += ": " + detail_;
  }
  if (!statement_.empty()) line += "; in statement " + quoteForReport(statement_);
  if (!file_.empty()) line += "; in file " + quoteForReport(file_);
  line += places_.describe();
  if (!origin_.empty()) line += "; " + origin_;
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
