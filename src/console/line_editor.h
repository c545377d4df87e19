// Line editing and history at a terminal, with libedit when velk is built
// with it: cursor keys, Home/End, the Emacs control keys, ↑/↓ through the
// lines typed before, kept in a file in the home directory. Without libedit
// the same calls read plain lines.
#pragma once

#include <string>

namespace velk::line_editor {

enum class Outcome { Line, EndOfInput, Interrupted };

// True when velk was built with libedit.
bool editing();

// Reads one line from the terminal after showing `prompt` (text that is
// already on the screen: the editor draws it again from the line's start, so
// that redrawing keeps it). The line comes without its line end.
// Interrupted when Ctrl-C was pressed while reading.
Outcome read(const std::string& prompt, std::string& line);

// Keeps a line in the history (and its file). Never fails visibly.
void remember(const std::string& line);

// Makes the editor now rather than at the first read, for a session that is
// about to be confined to a sandbox folder: its terminal's description and
// settings are read while they still can be, and its history is kept in
// memory only, never read from or written to a file outside the folder.
void prepareConfined();

}  // namespace velk::line_editor
