// What the prompt knows of the words typed at it: Tab completes the word
// before the cursor (a builtin after `$`, a keyword where a statement starts,
// a variable in scope, a file name inside quotes), and the help key explains
// the word under it. Plain text in, plain text out: the line editor does the
// keys and the screen.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "support/console.h"

namespace velk::prompt_words {

// A word of the language.
struct Word {
  std::string name;
  bool keyword = false;         // else a builtin, called with `$`
  bool takesArguments = false;  // a builtin written `$name$( ... )`
  std::string usage;            // one line: its form and what it does
};

// The words, given once at start-up.
void learn(std::vector<Word> words);

// Where the text before the cursor asks for completion.
struct Completion {
  // How many bytes before the cursor the candidates complete: each candidate
  // starts with them.
  size_t stemLength = 0;
  std::vector<std::string> candidates;  // sorted, each once
  std::vector<std::string> shown;       // the same as a list shows them
};

// `before` is the entry's text up to the cursor, its earlier lines included
// (an open quote may have begun on one). `names` may be empty; `files` says
// whether file names may be listed.
Completion complete(std::string_view before, const NamesInScope& names, bool files);

// The longest start that all candidates share, cut back to a whole UTF-8
// character.
std::string sharedStart(const std::vector<std::string>& candidates);

// One line on the word around the cursor (between `before` and `after`).
std::string explain(std::string_view before, std::string_view after, const NamesInScope& names);

}  // namespace velk::prompt_words
