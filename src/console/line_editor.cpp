// The terminal line reader: libedit when available, plain reads otherwise.
//
// Signals. Ctrl-C and Ctrl-Z reach velk as signals. While libedit reads it
// catches them itself (EL_SIGNAL): it puts the terminal back to normal, lets
// the signal take its course (the process stops for Ctrl-Z; velk's handler
// sets the interrupt request for Ctrl-C) and takes the terminal again when
// it returns. The read is cut short by Ctrl-C, which is how this file tells
// an interrupt apart from the end of input.
#include "console/line_editor.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "support/interrupt.h"

#ifdef VELK_HAVE_LIBEDIT
#include <histedit.h>

#include <clocale>
#endif

namespace velk::line_editor {
namespace {

#ifdef VELK_HAVE_LIBEDIT
constexpr int kHistorySize = 1000;

struct Editor {
  EditLine* el = nullptr;
  History* history = nullptr;
  HistEvent event{};
  std::string prompt;
  std::string historyFile;  // empty when there is no home directory
};

// One terminal per process, so one editor (libedit's callbacks find it here).
Editor* editor = nullptr;
// Set for a session confined to a sandbox folder: no history file.
bool confined = false;

char* currentPrompt(EditLine*) { return editor->prompt.data(); }

// Ctrl-D: on an empty line it ends the input without writing "^D" there (the
// console ends the line); elsewhere it deletes the character under the cursor.
unsigned char deleteOrEnd(EditLine* el, int) {
  const LineInfo* line = el_line(el);
  if (line->buffer == line->lastchar) return CC_EOF;
  if (line->cursor == line->lastchar) return CC_NORM;
  el_cursor(el, 1);
  el_deletestr(el, 1);
  return CC_REFRESH;
}

Editor& theEditor() {
  if (editor) return *editor;
  // Multibyte input (UTF-8 names and texts) needs the terminal's character
  // set; only the classification of characters changes, never numbers.
  std::setlocale(LC_CTYPE, "");
  editor = new Editor;
  editor->el = el_init("velk", stdin, stdout, stderr);
  editor->history = history_init();
  history(editor->history, &editor->event, H_SETSIZE, kHistorySize);
  history(editor->history, &editor->event, H_SETUNIQUE, 1);
  EditLine* el = editor->el;
  el_set(el, EL_EDITOR, "emacs");
  el_set(el, EL_SIGNAL, 1);
  el_set(el, EL_PROMPT, currentPrompt);
  el_set(el, EL_HIST, history, editor->history);
  // The keys a readline user expects, whatever the terminal's description
  // says: Home and End in their common forms, Ctrl-W deleting the word
  // before the cursor and Ctrl-U the text before it.
  const char* const bindings[][2] = {
      {"\\e[H", "ed-move-to-beg"}, {"\\e[F", "ed-move-to-end"}, {"\\e[1~", "ed-move-to-beg"},
      {"\\e[4~", "ed-move-to-end"}, {"\\eOH", "ed-move-to-beg"}, {"\\eOF", "ed-move-to-end"},
      {"\\e[3~", "ed-delete-next-char"}, {"^W", "ed-delete-prev-word"}, {"^U", "vi-kill-line-prev"},
  };
  for (const auto& b : bindings) el_set(el, EL_BIND, b[0], b[1], nullptr);
  el_set(el, EL_ADDFN, "velk-delete-or-end", "delete the next character, or end the input on an empty line",
         deleteOrEnd);
  el_set(el, EL_BIND, "^D", "velk-delete-or-end", nullptr);
  el_source(el, nullptr);  // the user's ~/.editrc, if any
  if (const char* home = std::getenv("HOME"); home && *home && !confined) {
    editor->historyFile = std::string(home) + "/.velk_history";
    history(editor->history, &editor->event, H_LOAD, editor->historyFile.c_str());  // a missing file is fine
  }
  return *editor;
}
#endif

}  // namespace

#ifdef VELK_HAVE_LIBEDIT
bool editing() { return true; }

Outcome read(const std::string& prompt, std::string& line) {
  Editor& ed = theEditor();
  ed.prompt = prompt;
  // The prompt is on the screen already; the editor draws it again in place.
  if (!prompt.empty()) {
    std::fputs("\r", stdout);
    std::fflush(stdout);
  }
  int count = 0;
  const char* got = el_gets(ed.el, &count);
  // A whole line wins over an interrupt request: a Ctrl-C pressed just
  // before the editor began to wait cut nothing short, and the line was
  // typed after it.
  if (got && count > 0) {
    interruptRequested = 0;
    line.assign(got, static_cast<size_t>(count));
    if (!line.empty() && line.back() == '\n') line.pop_back();
    return Outcome::Line;
  }
  if (interruptRequested) {
    interruptRequested = 0;
    return Outcome::Interrupted;
  }
  return Outcome::EndOfInput;
}

void prepareConfined() {
  confined = true;
  theEditor();
}

void remember(const std::string& line) {
  if (line.find_first_not_of(" \t") == std::string::npos) return;
  Editor& ed = theEditor();
  history(ed.history, &ed.event, H_ENTER, line.c_str());
  if (!ed.historyFile.empty()) history(ed.history, &ed.event, H_SAVE, ed.historyFile.c_str());
}
#else
namespace {
// Without libedit: the line as the terminal's own line discipline edits it.
Outcome readPlain(std::string& line) {
  line.clear();
  for (;;) {
    char c;
    ssize_t n = ::read(STDIN_FILENO, &c, 1);
    if (n == 1) {
      if (c == '\n') {
        interruptRequested = 0;  // pressed before the read began: it cut nothing short
        return Outcome::Line;
      }
      line += c;
      continue;
    }
    if (n < 0 && errno == EINTR) {
      if (interruptRequested) {
        interruptRequested = 0;
        return Outcome::Interrupted;
      }
      continue;
    }
    return line.empty() ? Outcome::EndOfInput : Outcome::Line;
  }
}

}  // namespace

bool editing() { return false; }

Outcome read(const std::string&, std::string& line) { return readPlain(line); }

void remember(const std::string&) {}

void prepareConfined() {}
#endif

}  // namespace velk::line_editor
