// Where statements come from: the file (or other named source) and the line
// a statement starts on, for error reports and the statement trace.
//
// A place is found once per text, when the text is compiled into a program,
// and never while statements run. A named text (a script file, the -e text,
// standard input, a file loaded by `also`, a typed line, a text run by `exec`)
// starts at line 1 of its source. Compiling a text with a place gives each of
// its statements the line it starts on (the lines its earlier statements took,
// multi-line groups included, counted then) and gives each brace block among
// its tokens the line the block opens on, and so does the expression that
// such a token is (`f = { ... }`): so a function body, whose text is such a
// block, knows where it was written wherever its func Value is called from.
// A block written inside parentheses or in a call's arguments gets no place:
// an error in it is named by the statement that ran it. The place is kept beside the
// text's bytes (see parse_cache.h), with or without the parse cache. A text
// made at run time (a string joined piece by piece) has no place, and neither
// has the built-in REPL's own script: its statements are neither traced nor
// named in reports.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/ref.h"
#include "support/text.h"

namespace velk {

// A named source. `named` says whether an error report names its places
// ("at prog.VELK:3"); a typed line is named by its statement instead.
class SourceName : public RefCounted {
 public:
  SourceName(std::string n, bool inReports) : name(std::move(n)), named(inReports) {}
  const std::string name;  // as shown: control bytes escaped
  const bool named;
};
using SourceRef = Ref<const SourceName>;

// The source a text belongs to and the line its first byte stands on; no
// source for a text of no known place.
struct SourcePlace {
  SourceRef source;
  uint32_t line = 0;
  // The text holds no line end: every statement and block of it starts on
  // `line`, and nothing in it need be counted. Counting the line ends of a
  // text at every level that splits it would cost time in proportion to the
  // text times its depth. So a text's last token, whose line ends place
  // nothing, is never counted, and a text known to hold none is not read.
  bool flat = false;
  explicit operator bool() const { return static_cast<bool>(source); }
};

// A source for `name` (a path, "-e", "<stdin>", ...), its control bytes
// escaped so that a place stays one line.
SourceRef makeSource(std::string_view name, bool inReports = true);

// "prog.VELK:3".
std::string describePlace(const SourcePlace& place);

// The place kept beside `text`, or none.
SourcePlace placeOf(const Text& text);
// Keeps `place` beside `text` (not the empty text, which has nowhere to keep it).
void setPlace(const Text& text, SourcePlace place);
// The same for each brace block among `tokens`, the tokens of one statement or
// expression whose first token starts on `place`'s line; `place` ends on the
// line after the tokens' last byte (the tokens' line ends counted), unless
// the tokens are the `last` of their text, whose place nothing follows.
void placeBlocks(const std::vector<Text>& tokens, SourcePlace& place, bool last);

}  // namespace velk
