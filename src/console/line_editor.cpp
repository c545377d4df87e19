// The terminal line reader: libedit when available, plain reads otherwise.
//
// Keys and signals. libedit edits the line; the keys velk adds (Tab, the help
// key, ↑/↓ by prefix, the start of a paste) are functions bound here. The
// characters come through readKey below rather than libedit's own reader, so
// that what happens between two keys is velk's: Ctrl-C ends the read (the
// console tells an interrupt from the end of input that way), a change of
// the window's size redraws the line at once, and a stop (Ctrl-Z) gives the
// terminal back as it was before the read and takes it again on `fg`.
// libedit's own signal handling stays off: it could not be told about these.
#include "console/line_editor.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "support/interrupt.h"

#ifdef VELK_HAVE_LIBEDIT
#include <histedit.h>
#include <poll.h>
#include <signal.h>
#include <termios.h>

#include <algorithm>
#include <climits>
#include <clocale>
#include <cwchar>
#include <vector>

#include "console/history_file.h"
#include "console/prompt_words.h"
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
  const Context* context = nullptr;  // of the read going on
  // Taken at the read's first key, once libedit has set the terminal up.
  bool started = false;
  struct termios editingModes {};
  int width = 80;
  // The buffer and cursor after a Tab that found several candidates and
  // nothing to add: a second Tab then lists them.
  std::string lastTab;
  // ↑/↓ by prefix: the text typed before the first step, the entry shown
  // (counted from the newest, 0 for the typed text) and its text.
  bool stepping = false;
  std::string typed;
  size_t shownIndex = 0;
  std::string shown;
};

// One terminal per process, so one editor (libedit's callbacks find it here).
Editor* editor = nullptr;
// Set for a session confined to a sandbox folder: no history file and no
// file names completed.
bool confined = false;

// ---- the terminal around a read --------------------------------------------

// What the signal handlers below see: the terminal's modes before the read,
// and what happened while it waited.
struct termios shellModes;
volatile sig_atomic_t shellModesKnown = 0;
volatile sig_atomic_t pasteMarked = 0;  // the terminal marks pastes now
volatile sig_atomic_t resized = 0;
volatile sig_atomic_t resumed = 0;

constexpr char kMarkPastes[] = "\x1b[?2004h";
constexpr char kStopMarkingPastes[] = "\x1b[?2004l";

// A terminal that can be asked to mark pastes: any but a dumb one.
bool canMarkPastes() {
  const char* term = std::getenv("TERM");
  return term && *term && std::strcmp(term, "dumb") != 0;
}

// Async-signal-safe: puts the terminal back as the read found it.
void restoreTerminal() {
  if (pasteMarked) (void)!::write(STDOUT_FILENO, kStopMarkingPastes, sizeof kStopMarkingPastes - 1);
  if (shellModesKnown) ::tcsetattr(STDIN_FILENO, TCSADRAIN, &shellModes);
}

void unblock(int sig) {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, sig);
  pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

constexpr int kEndingSignals[] = {SIGTERM, SIGHUP, SIGQUIT};
struct sigaction actionsBefore[std::size(kEndingSignals)];

void noteResize(int) { resized = 1; }
void noteResume(int) { resumed = 1; }

// Ctrl-Z: the terminal as it was, then the stop itself. When velk goes on,
// the read takes the terminal again (see readKey).
void stopReading(int sig) {
  const int saved = errno;
  restoreTerminal();
  struct sigaction stop {};
  stop.sa_handler = SIG_DFL;
  sigemptyset(&stop.sa_mask);
  struct sigaction self {};
  ::sigaction(sig, &stop, &self);
  unblock(sig);
  ::raise(sig);  // stops here until continued
  ::sigaction(sig, &self, nullptr);
  errno = saved;
}

// A signal that ends velk: the terminal as it was, then the action from
// before the read (the default, or velk's own that ends after cleaning up).
void endReading(int sig) {
  restoreTerminal();
  for (size_t i = 0; i < std::size(kEndingSignals); ++i)
    if (kEndingSignals[i] == sig) ::sigaction(sig, &actionsBefore[i], nullptr);
  unblock(sig);
  ::raise(sig);
}

// The handlers above, while one lives; what was there before comes back.
class SignalsWhileReading {
 public:
  SignalsWhileReading() {
    resized = 0;
    resumed = 0;
    take(SIGWINCH, noteResize, winch_);
    take(SIGCONT, noteResume, cont_);
    take(SIGTSTP, stopReading, tstp_);
    for (size_t i = 0; i < std::size(kEndingSignals); ++i) {
      ::sigaction(kEndingSignals[i], nullptr, &actionsBefore[i]);
      // One that is ignored (nohup) stays ignored.
      ending_[i] = actionsBefore[i].sa_handler != SIG_IGN;
      if (ending_[i]) take(kEndingSignals[i], endReading, actionsBefore[i]);
    }
  }
  ~SignalsWhileReading() {
    ::sigaction(SIGWINCH, &winch_, nullptr);
    ::sigaction(SIGCONT, &cont_, nullptr);
    ::sigaction(SIGTSTP, &tstp_, nullptr);
    for (size_t i = 0; i < std::size(kEndingSignals); ++i)
      if (ending_[i]) ::sigaction(kEndingSignals[i], &actionsBefore[i], nullptr);
  }
  SignalsWhileReading(const SignalsWhileReading&) = delete;
  SignalsWhileReading& operator=(const SignalsWhileReading&) = delete;

 private:
  // No SA_RESTART: the signal cuts the wait for a key short, so that
  // readKey acts on it at once.
  static void take(int sig, void (*handler)(int), struct sigaction& before) {
    struct sigaction sa {};
    sa.sa_handler = handler;
    sigemptyset(&sa.sa_mask);
    ::sigaction(sig, &sa, &before);
  }
  struct sigaction winch_ {}, cont_ {}, tstp_ {};
  bool ending_[std::size(kEndingSignals)] = {};
};

void markPastes(bool on) {
  if (!canMarkPastes()) return;
  std::fputs(on ? kMarkPastes : kStopMarkingPastes, stdout);
  std::fflush(stdout);
  pasteMarked = on;
}

// ---- text between libedit's wide characters and velk's bytes ----------------

std::string narrow(const wchar_t* from, const wchar_t* to) {
  std::string out;
  char bytes[MB_LEN_MAX];
  for (; from < to; ++from) {
    std::mbstate_t state{};
    size_t n = std::wcrtomb(bytes, *from, &state);
    if (n != static_cast<size_t>(-1))
      out.append(bytes, n);
    else if (*from >= 0 && *from < 256)
      out += static_cast<char>(*from);
  }
  return out;
}

std::wstring widen(std::string_view text) {
  std::wstring out;
  std::mbstate_t state{};
  while (!text.empty()) {
    wchar_t c;
    size_t n = std::mbrtowc(&c, text.data(), text.size(), &state);
    if (n == static_cast<size_t>(-1) || n == static_cast<size_t>(-2)) {
      // A byte that is no character of the terminal's set stands for itself.
      out += static_cast<wchar_t>(static_cast<unsigned char>(text.front()));
      text.remove_prefix(1);
      state = std::mbstate_t{};
      continue;
    }
    out += c;
    text.remove_prefix(n == 0 ? 1 : n);
  }
  return out;
}

std::string wholeLine(EditLine* el) {
  const LineInfoW* line = el_wline(el);
  return narrow(line->buffer, line->lastchar);
}

std::string beforeCursor(EditLine* el) {
  const LineInfoW* line = el_wline(el);
  return narrow(line->buffer, line->cursor);
}

void insert(EditLine* el, std::string_view text) {
  if (!text.empty()) el_winsertstr(el, widen(text).c_str());
}

void replaceLine(EditLine* el, const std::string& text) {
  const LineInfoW* line = el_wline(el);
  el_cursor(el, static_cast<int>(line->lastchar - line->cursor));
  el_wdeletestr(el, static_cast<int>(line->lastchar - line->buffer));
  insert(el, text);
}

// ---- the screen ----------------------------------------------------------------

int terminalWidth(EditLine* el) {
  int columns = 0;
  if (el_get(el, EL_GETTC, "co", &columns) != 0 || columns <= 0) return 80;
  return columns;
}

// The rows from the prompt's first to the one where `text` (written after
// the prompt) leaves the cursor, on a screen `width` columns wide, as the
// editor lays them out.
int rowsDown(const std::string& prompt, std::string_view text, int width) {
  int row = 0, column = 0;
  auto place = [&](int w) {
    if (column + w > width) ++row, column = 0;
    column += w;
  };
  for (wchar_t c : widen(prompt + std::string(text))) {
    if (c == L'\n') {
      ++row, column = 0;
    } else if (c == L'\t') {
      place(8 - column % 8);
    } else {
      int w = ::wcwidth(c);
      place(w < 0 ? 2 : w);  // a control character shows as ^X
    }
  }
  return row;
}

// Writes `text` on lines of its own below the line being edited, and draws
// the prompt and the line again under it.
void showBelow(EditLine* el, const std::string& text) {
  Editor& ed = *editor;
  const std::string whole = wholeLine(el);
  const int below = rowsDown(ed.prompt, whole, ed.width) - rowsDown(ed.prompt, beforeCursor(el), ed.width);
  std::string out;
  if (below > 0) out += "\x1b[" + std::to_string(below) + "B";
  out += "\r\n";
  for (char c : text) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
  out += "\r\n";
  std::fputs(out.c_str(), stdout);
  std::fflush(stdout);
  el_set(el, EL_REFRESH);  // draws from where the cursor now stands
}

// The window changed size: back to the prompt's first row, clear what is
// below, and draw everything again for the new width.
void redrawResized(EditLine* el) {
  Editor& ed = *editor;
  const int rows = rowsDown(ed.prompt, beforeCursor(el), ed.width);
  el_resize(el);
  ed.width = terminalWidth(el);
  std::string out = "\r";
  if (rows > 0) out += "\x1b[" + std::to_string(rows) + "A";
  out += "\x1b[J";
  std::fputs(out.c_str(), stdout);
  std::fflush(stdout);
  el_set(el, EL_REFRESH);
}

// velk goes on after a stop: the editor's modes again, and the line drawn
// again on the line the shell left the cursor at.
void takeTerminalBack(EditLine* el) {
  Editor& ed = *editor;
  ::tcsetattr(STDIN_FILENO, TCSADRAIN, &ed.editingModes);
  markPastes(true);
  el_resize(el);
  ed.width = terminalWidth(el);
  el_set(el, EL_REFRESH);
}

char* currentPrompt(EditLine*) { return editor->prompt.data(); }

// ---- keys --------------------------------------------------------------------------

// Whether more input is waiting already: a key that arrives with more right
// behind it was not typed by hand.
bool inputWaiting() {
  struct pollfd p {STDIN_FILENO, POLLIN, 0};
  return ::poll(&p, 1, 0) > 0 && (p.revents & POLLIN);
}

// libedit's way to a character: one byte at a time (a key read ahead would
// be lost to whoever reads next), decoded by the terminal's character set,
// with the signals that came meanwhile acted on.
int readKey(EditLine* el, wchar_t* key) {
  Editor& ed = *editor;
  if (!ed.started) {
    ed.started = true;
    ::tcgetattr(STDIN_FILENO, &ed.editingModes);
    ed.width = terminalWidth(el);
  }
  char bytes[MB_LEN_MAX];
  size_t have = 0;
  for (;;) {
    if (interruptRequested) {
      errno = EINTR;
      return -1;
    }
    if (resumed) {
      resumed = 0;
      takeTerminalBack(el);
    }
    if (resized) {
      resized = 0;
      redrawResized(el);
    }
    char c;
    ssize_t n = ::read(STDIN_FILENO, &c, 1);
    if (n == 0) return 0;
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    bytes[have++] = c;
    for (;;) {
      std::mbstate_t state{};
      size_t got = std::mbrtowc(key, bytes, have, &state);
      if (got == static_cast<size_t>(-2) && have < sizeof bytes) break;  // more bytes to come
      if (got != static_cast<size_t>(-1) && got != static_cast<size_t>(-2)) {
        if (got == 0) *key = L'\0';
        return 1;
      }
      // Not a character: dropped, but a last byte that may start one is kept.
      if (have == 1) {
        have = 0;
        break;
      }
      bytes[0] = bytes[have - 1];
      have = 1;
    }
  }
}

// Ctrl-D: on an empty line it ends the input without writing "^D" there (the
// console ends the line); elsewhere it deletes the character under the cursor.
unsigned char deleteOrEnd(EditLine* el, int) {
  const LineInfoW* line = el_wline(el);
  if (line->buffer == line->lastchar) return CC_EOF;
  if (line->cursor == line->lastchar) return CC_NORM;
  el_cursor(el, 1);
  el_wdeletestr(el, 1);
  return CC_REFRESH;
}

// The names in rows and columns, as wide as the screen, down each column.
std::string inColumns(const std::vector<std::string>& names, int width) {
  constexpr size_t kMostShown = 300;
  const size_t count = std::min(names.size(), kMostShown);
  size_t widest = 0;
  for (size_t i = 0; i < count; ++i) widest = std::max(widest, widen(names[i]).size());
  const size_t cell = widest + 2;
  const size_t columns = std::max<size_t>(1, static_cast<size_t>(width) / cell);
  const size_t rows = (count + columns - 1) / columns;
  std::string out;
  for (size_t r = 0; r < rows; ++r) {
    if (r > 0) out += '\n';
    for (size_t c = 0; c < columns && c * rows + r < count; ++c) {
      const std::string& name = names[c * rows + r];
      out += name;
      if ((c + 1) * rows + r < count) out.append(cell - widen(name).size(), ' ');
    }
  }
  if (names.size() > count) out += "\n... and " + std::to_string(names.size() - count) + " more";
  return out;
}

// Tab: completes the word before the cursor as far as its candidates agree;
// a second Tab where they part lists them. A Tab at the start of a line
// indents it, and one that comes with more input right behind it (a paste
// that the terminal did not mark) stays a Tab.
unsigned char completeWord(EditLine* el, int) {
  Editor& ed = *editor;
  const std::string before = beforeCursor(el);
  const size_t lineStart = before.rfind('\n') + 1;  // 0 without one
  if (inputWaiting() || before.find_first_not_of(" \t", lineStart) == std::string::npos) {
    insert(el, "\t");
    return CC_REFRESH;
  }
  const std::string entry = std::string(ed.context->entrySoFar) + before;
  const prompt_words::Completion found = prompt_words::complete(entry, ed.context->names, !confined);
  if (found.candidates.empty()) return CC_ERROR;
  const std::string shared = prompt_words::sharedStart(found.candidates);
  const std::string state = wholeLine(el) + '\0' + std::to_string(before.size());
  if (shared.size() > found.stemLength) {
    insert(el, std::string_view(shared).substr(found.stemLength));
    ed.lastTab = found.candidates.size() > 1 ? wholeLine(el) + '\0' + std::to_string(beforeCursor(el).size()) : "";
    return found.candidates.size() > 1 ? CC_REFRESH_BEEP : CC_REFRESH;
  }
  if (found.candidates.size() == 1) return CC_NORM;
  if (state != ed.lastTab) {
    ed.lastTab = state;
    return CC_ERROR;
  }
  ed.lastTab.clear();
  showBelow(el, inColumns(found.shown, ed.width));
  return CC_NORM;
}

// F1 or Esc h: one line on the builtin or keyword under the cursor.
unsigned char explainWord(EditLine* el, int) {
  Editor& ed = *editor;
  const LineInfoW* line = el_wline(el);
  const std::string after = narrow(line->cursor, line->lastchar);
  const std::string before = std::string(ed.context->entrySoFar) + beforeCursor(el);
  showBelow(el, prompt_words::explain(before, after, ed.context->names));
  return CC_NORM;
}

// The history, newest entry first.
std::vector<std::string> historyEntries() {
  Editor& ed = *editor;
  std::vector<std::string> entries;
  for (int r = history(ed.history, &ed.event, H_FIRST); r != -1; r = history(ed.history, &ed.event, H_NEXT))
    entries.emplace_back(ed.event.str);
  return entries;
}

// ↑ and ↓: the entries that start with the text typed before the first
// step, older or newer; with nothing typed, every entry. Past the newest,
// the typed text comes back.
unsigned char stepThroughHistory(EditLine* el, bool older) {
  Editor& ed = *editor;
  const std::string now = wholeLine(el);
  if (!ed.stepping || now != ed.shown) {
    ed.stepping = true;
    ed.typed = now;
    ed.shownIndex = 0;
  }
  const std::vector<std::string> entries = historyEntries();
  auto fits = [&](size_t i) { return entries[i - 1].starts_with(ed.typed) && entries[i - 1] != now; };
  size_t next = 0;
  if (older) {
    for (size_t i = ed.shownIndex + 1; i <= entries.size() && !next; ++i)
      if (fits(i)) next = i;
  } else {
    for (size_t i = ed.shownIndex; i > 1 && !next; --i)
      if (fits(i - 1)) next = i - 1;
  }
  if (!next && (older || ed.shownIndex == 0)) return CC_ERROR;
  ed.shownIndex = next;
  ed.shown = next ? entries[next - 1] : ed.typed;
  replaceLine(el, ed.shown);
  return CC_REFRESH;
}

unsigned char olderEntry(EditLine* el, int) { return stepThroughHistory(el, true); }
unsigned char newerEntry(EditLine* el, int) { return stepThroughHistory(el, false); }

// The start of a paste, in a terminal that marks pastes: the text up to the
// closing mark goes into the line as it is, Tabs included. Line breaks
// come as carriage returns; a paste that ends with one is entered at once,
// whole, and any other waits in the line for Enter.
unsigned char pasteText(EditLine* el, int) {
  static const std::wstring kEnd = L"\x1b[201~";
  std::wstring text;
  wchar_t c;
  while (el_wgetc(el, &c) == 1) {
    text += c;
    if (text.ends_with(kEnd)) {
      text.resize(text.size() - kEnd.size());
      break;
    }
  }
  std::wstring lines;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') continue;
    lines += text[i] == L'\r' ? L'\n' : text[i];
  }
  const bool enter = !lines.empty() && lines.back() == L'\n';
  if (enter) lines.pop_back();
  if (!lines.empty()) el_winsertstr(el, lines.c_str());
  if (enter) el_wpush(el, L"\n");
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
  el_set(el, EL_SIGNAL, 0);
  el_set(el, EL_GETCFN, readKey);
  el_set(el, EL_PROMPT, currentPrompt);
  el_set(el, EL_HIST, history, editor->history);
  const struct {
    const char* name;
    const char* help;
    unsigned char (*fn)(EditLine*, int);
  } functions[] = {
      {"velk-delete-or-end", "delete the next character, or end the input on an empty line", deleteOrEnd},
      {"velk-complete", "complete the word before the cursor; list the choices on a second Tab", completeWord},
      {"velk-explain", "explain the builtin or keyword under the cursor", explainWord},
      {"velk-older", "the previous entry that starts as the typed text does", olderEntry},
      {"velk-newer", "the next entry that starts as the typed text does", newerEntry},
      {"velk-paste", "take a pasted text whole", pasteText},
  };
  for (const auto& f : functions) el_set(el, EL_ADDFN, f.name, f.help, f.fn);
  // The keys a readline user expects, whatever the terminal's description
  // says: Home and End in their common forms, Ctrl-W deleting the word
  // before the cursor and Ctrl-U the text before it; then velk's own. F1
  // comes as ESC O P, ESC [ 1 1 ~ or ESC [ [ A, by terminal.
  const char* const bindings[][2] = {
      {"\\e[H", "ed-move-to-beg"},  {"\\e[F", "ed-move-to-end"},    {"\\e[1~", "ed-move-to-beg"},
      {"\\e[4~", "ed-move-to-end"}, {"\\eOH", "ed-move-to-beg"},    {"\\eOF", "ed-move-to-end"},
      {"\\e[3~", "ed-delete-next-char"}, {"^W", "ed-delete-prev-word"}, {"^U", "vi-kill-line-prev"},
      {"^D", "velk-delete-or-end"}, {"^I", "velk-complete"},       {"\\eOP", "velk-explain"},
      {"\\e[11~", "velk-explain"},  {"\\e[[A", "velk-explain"},    {"\\eh", "velk-explain"},
      {"\\e[A", "velk-older"},      {"\\eOA", "velk-older"},       {"\\e[B", "velk-newer"},
      {"\\eOB", "velk-newer"},      {"\\e[200~", "velk-paste"},
  };
  for (const auto& b : bindings) el_set(el, EL_BIND, b[0], b[1], nullptr);
  el_source(el, nullptr);  // the user's ~/.editrc, if any
  if (const char* home = std::getenv("HOME"); home && *home && !confined) {
    editor->historyFile = std::string(home) + "/.velk_history";
    history(editor->history, &editor->event, H_LOAD, editor->historyFile.c_str());  // a missing file is fine
    // Entries are appended as they come; now and then the file is written
    // afresh with the newest ones only, so that it does not grow for ever.
    if (history_file::lineCount(editor->historyFile) > 2 * kHistorySize) {
      const std::string fresh = editor->historyFile + ".new" + std::to_string(::getpid());
      if (history(editor->history, &editor->event, H_SAVE, fresh.c_str()) != -1)
        std::rename(fresh.c_str(), editor->historyFile.c_str());
      std::remove(fresh.c_str());
    }
  }
  return *editor;
}
#endif

}  // namespace

#ifdef VELK_HAVE_LIBEDIT
bool editing() { return true; }

Outcome read(const std::string& prompt, std::string& line, const Context& context) {
  Editor& ed = theEditor();
  ed.prompt = prompt;
  ed.context = &context;
  ed.started = false;
  ed.lastTab.clear();
  ed.stepping = false;
  shellModesKnown = ::tcgetattr(STDIN_FILENO, &shellModes) == 0;
  markPastes(true);
  // The prompt is on the screen already; the editor draws it again in place.
  if (!prompt.empty()) {
    std::fputs("\r", stdout);
    std::fflush(stdout);
  }
  int count = 0;
  const char* got = nullptr;
  {
    SignalsWhileReading signals;
    got = el_gets(ed.el, &count);
  }
  markPastes(false);
  ed.context = nullptr;
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

void remember(const std::string& entry) {
  // A huge paste is not worth keeping: the history would hold it a thousand times over.
  constexpr size_t kLongestKept = 64 * 1024;
  if (entry.size() > kLongestKept || entry.find_first_not_of(" \t\n") == std::string::npos) return;
  Editor& ed = theEditor();
  // The same entry twice in a row is kept once, in the file too.
  if (history(ed.history, &ed.event, H_FIRST) != -1 && entry == ed.event.str) return;
  history(ed.history, &ed.event, H_ENTER, entry.c_str());
  if (!ed.historyFile.empty()) history_file::append(ed.historyFile, entry);
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

Outcome read(const std::string&, std::string& line, const Context&) { return readPlain(line); }

void remember(const std::string&) {}

void prepareConfined() {}
#endif

}  // namespace velk::line_editor
