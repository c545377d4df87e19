// Small helpers shared by the unit tests: building Values and lists, and
// checking the errors that end a VELK run.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <ostream>
#include <string>
#include <string_view>

#include "builtins/registry.h"
#include "interp/interpreter.h"
#include "support/console.h"
#include "support/error.h"
#include "value/value.h"

namespace velk {
// Readable type names in assertion messages.
inline void PrintTo(TypeName t, std::ostream* os) { *os << '"' << t.text() << '"'; }
}  // namespace velk

namespace velk::testing {

inline Value str(std::string_view s) { return Value::string(Text(s)); }

inline Value listOf(std::initializer_list<Value> items) {
  Value v;
  v.typeName = kList;
  for (const Value& item : items) v.elements.push(newValue(item));
  return v;
}

inline Value ofType(TypeName type) {
  Value v;
  v.typeName = type;
  return v;
}

// A console that keeps what is written and reads its lines from a text.
class RecordingConsole final : public Console {
 public:
  explicit RecordingConsole(std::string input = {}) : input_(std::move(input)) {}
  void write(std::string_view bytes) override { output.append(bytes); }
  void write(char c) override { output += c; }
  void lineEnd() override { output += '\n'; }
  void flush() override {}
  bool readLine(std::string& line) override {
    line.clear();
    if (next_ >= input_.size()) return false;
    size_t end = input_.find('\n', next_);
    if (end == std::string::npos) end = input_.size();
    line = input_.substr(next_, end - next_);
    next_ = end + 1;
    return true;
  }
  std::string output;

 private:
  std::string input_;
  size_t next_ = 0;
};

// An interpreter of its own, with the builtins, writing to a recording console.
struct TestInterpreter {
  explicit TestInterpreter(std::string input = {}) : console(std::move(input)), interp(console) {
    registerBuiltins(interp.builtins());
  }
  RecordingConsole console;
  Interpreter interp;
};

}  // namespace velk::testing

// Runs `stmt` and expects a VelkError whose own text is `text`; `check` runs
// on the caught error `e_`.
#define EXPECT_VELK_ERROR_THEN(stmt, text, check)                           \
  do {                                                                      \
    try {                                                                   \
      (void)(stmt);                                                         \
      ADD_FAILURE() << "expected VelkError \"" << (text) << "\" from " #stmt; \
    } catch (const ::velk::VelkError& e_) {                                 \
      EXPECT_EQ(std::string(e_.what()), std::string(text)) << #stmt;        \
      check;                                                                \
    }                                                                       \
  } while (0)

#define EXPECT_VELK_ERROR(stmt, text) EXPECT_VELK_ERROR_THEN(stmt, text, (void)0)

// As above, also checking the error's kind.
#define EXPECT_VELK_ERROR_KIND(stmt, text, errorKind) \
  EXPECT_VELK_ERROR_THEN(stmt, text, EXPECT_EQ(e_.kind(), (errorKind)) << #stmt)
