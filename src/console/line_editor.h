// Line editing and history at a terminal, with libedit when velk is built
// with it: cursor keys, Home/End, the Emacs control keys, Tab completion, a
// help key (F1 or Esc h) for the word under the cursor, ↑/↓ through the
// entries typed before (by the prefix typed so far), kept in a file in the
// home directory, pastes taken whole, and a redraw when the window changes
// size. Without libedit the same calls read plain lines.
#pragma once

#include <string>
#include <string_view>

#include "support/console.h"

namespace velk::line_editor {

enum class Outcome { Line, EndOfInput, Interrupted };

// True when velk was built with libedit.
bool editing();

// What the line being read belongs to, for Tab and the help key.
struct Context {
  // The lines of the same entry read before this one, each with its line
  // feed (a quote may have opened on one of them).
  std::string_view entrySoFar;
  // The variables in scope; empty when they are not known.
  NamesInScope names;
};

// Reads one line from the terminal after showing `prompt` (text that is
// already on the screen: the editor draws it again from the line's start, so
// that redrawing keeps it). The line comes without its line end; a pasted
// block comes whole, with line feeds inside. Interrupted when Ctrl-C was
// pressed while reading.
Outcome read(const std::string& prompt, std::string& line, const Context& context = {});

// Keeps an entry (one line, or a block of several joined by line feeds) in
// the history and appends it to its file. Never fails visibly.
void remember(const std::string& entry);

// Makes the editor now rather than at the first read, for a session that is
// about to be confined to a sandbox folder: its terminal's description and
// settings are read while they still can be, and its history is kept in
// memory only, never read from or written to a file outside the folder; Tab
// completes no file names.
void prepareConfined();

}  // namespace velk::line_editor
