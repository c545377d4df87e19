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
// character and every line end it sees there. The tokens are slices of the
// text (see Text::slice), so splitting a text again and again, group inside
// group, costs memory in proportion to the text; and a long group is passed
// over without being read through (see group_ends.h), so it costs time in
// proportion to the text too.
StatementList splitStatements(const Text& text, Console* trace = nullptr);
// The same for bytes not yet held by a text: they are copied into one first.
StatementList splitStatements(std::string_view text, Console* trace = nullptr);

// Reading a text one statement at a time, for a text that runs once: its
// statements need not all be held at once. checkGroupsClosed raises the
// OpenGroupError that splitting the whole text would raise, so that a text
// ending inside an open group still fails before any of it runs.
// statementEnd gives where the statement starting at `from` (a statement
// start: 0 or just after a line end that closes one) ends: at the line end
// that closes it, or at the end of the text. Splitting that stretch alone
// yields the statement that splitting the whole text yields there, but for
// empty tokens where indentation stood.
void checkGroupsClosed(std::string_view text);
size_t statementEnd(std::string_view text, size_t from);

// The tokens of the first statement that splitStatements would make, as views
// into `text`, with the same error when the text (any of its statements) ends
// inside an open group. For readers that take only the first statement apart
// and keep no tokens. Given `owner`, a text whose bytes hold `text`, long
// groups are found as splitStatements finds them, without reading them
// through (see group_ends.h).
std::vector<std::string_view> firstStatementViews(std::string_view text, const Text* owner = nullptr);

// The groups left open at the end of `text` as a reader sees them who takes
// every group apart in turn, as the evaluator does: inside a brace block or a
// parenthesised group a quote, brace or parenthesis opens a group of its own
// (the splitter counts only the group's own delimiters there), and inside a
// quoted string nothing does. Outermost first, each with the offset of the
// byte that opened it. This is how a terminal tells a typed line that waits
// for more (`$print$("a` included) from one that is complete.
struct OpenGroup {
  char opener;
  size_t offset;
};
std::vector<OpenGroup> groupsOpenAtEnd(std::string_view text);

// Prints "testing parser.", splits a sample script with tracing on, prints
// "parsed." and then every statement as "<NS>" and its tokens each followed by
// "<NE>".
void runSplitterSelfTest(Console& console);

}  // namespace velk
