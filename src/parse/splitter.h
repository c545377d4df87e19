// The statement and token splitter, the only parser of the language.
//
// It cuts text into statements (lines) and tokens (blank-separated), keeping a
// double-quoted string, a single-quoted string, a brace block and a
// parenthesised group whole, delimiters included, even across lines. It
// interprets nothing: whoever takes a group apart splits it again.
#pragma once

#include <string_view>
#include <vector>

#include "support/console.h"
#include "support/text.h"

namespace velk {

using Statement = std::vector<Text>;

// The splitter's result.
struct StatementList {
  std::vector<Statement> statements;
};

// Never yields an empty statement; tokens may be empty. Raises OpenGroupError
// when the text ends inside an open group. With a `trace` console, prints every
// character and every line end it sees there.
StatementList splitStatements(std::string_view text, Console* trace = nullptr);

// Whether splitting `text` would end inside an open group: what a terminal
// asks before it runs a typed line or waits for the rest of it.
bool endsInsideGroup(std::string_view text);

// Prints "testing parser.", splits a sample script with tracing on, prints
// "parsed." and then every statement as "<NS>" and its tokens each followed by
// "<NE>".
void runSplitterSelfTest(Console& console);

}  // namespace velk
