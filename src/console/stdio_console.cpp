// Console streams on top of C stdio, and the terminal's way of reading.
#include "console/stdio_console.h"

#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "console/line_editor.h"
#include "parse/splitter.h"
#include "support/error.h"
#include "support/interrupt.h"
#include "support/whole_read.h"

namespace velk::console {
namespace {

// The state below is the process's: there is one standard input and one
// standard output, whichever interpreter writes to them.
bool inputEnded = false;
bool session = false;   // the REPL runs: its lines are typed lines
bool terminal = false;  // ... and standard input and output are terminals

// Output that cannot be written is an error that ends the run. Once it has
// been raised, later writes (the flush before the error line, the one at the
// end) are dropped, so that the error is reported once.
bool outputLost = false;

[[noreturn]] void outputFailed(int err) {
  outputLost = true;
  failSystem(describeFailure(err), "writing standard output");
}

void flushOrFail() {
  if (outputLost) return;
  if (std::fflush(stdout) != 0) outputFailed(errno);
}

// A standard stream that was closed before velk started would otherwise be
// the descriptor the next opened file gets, and output meant for the console
// would land in that file. Each closed one is held by /dev/null, opened the
// wrong way round, so that every use of it fails as it would have.
void holdClosedStreams() {
  for (int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    int held = ::open("/dev/null", fd == STDIN_FILENO ? O_WRONLY : O_RDONLY);
    if (held >= 0 && held != fd) {
      ::dup2(held, fd);
      ::close(held);
    }
  }
}

// The line the last read returned, until `exec` claims it.
std::string typedLine;
bool typedLinePending = false;

// At a terminal: what has been written since the last line end, which is what
// the prompt of the next read is made of. Only its end matters, so it is
// kept short.
std::string partialLine;
constexpr size_t kPromptLimit = 512;

void noteWritten(std::string_view bytes) {
  size_t cut = bytes.rfind('\n');
  if (cut != std::string_view::npos) {
    partialLine.assign(bytes.substr(cut + 1));
  } else {
    partialLine.append(bytes);
  }
  if (partialLine.size() > kPromptLimit) partialLine.erase(0, partialLine.size() - kPromptLimit);
}

// The prompt as the editor is to draw it: what follows the last carriage
// return, without control bytes (the beep has sounded already).
std::string promptOf(const std::string& written) {
  size_t cr = written.rfind('\r');
  std::string_view tail = cr == std::string::npos ? std::string_view(written) : std::string_view(written).substr(cr + 1);
  std::string prompt;
  for (unsigned char c : tail)
    if (c >= 0x20 && c != 0x7f) prompt += static_cast<char>(c);
  return prompt;
}

// How Ctrl-C is caught. While velk waits for a line, the signal must cut the
// read short (no restart), which is how the read tells it apart; while a
// typed line runs, the system calls it makes (writing to the terminal or a
// file) restart instead of failing, and the executor stops the line at its
// next statement; only a file builtin's wait on a FIFO or a slow device is
// cut short (InterruptibleWait).
void catchInterrupt(bool cutReads) {
  struct sigaction sa {};
  sa.sa_handler = requestInterrupt;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = cutReads ? 0 : SA_RESTART;
  sigaction(SIGINT, &sa, nullptr);
}

// Ctrl-C cuts reads short while it lives.
class WaitingForLine {
 public:
  WaitingForLine() { catchInterrupt(true); }
  ~WaitingForLine() { catchInterrupt(false); }
  WaitingForLine(const WaitingForLine&) = delete;
  WaitingForLine& operator=(const WaitingForLine&) = delete;
};

void rawWrite(const char* s) {
  std::fputs(s, stdout);
  std::fflush(stdout);
}

// A read that fails is an error, never the end of the input: a script must not
// stop short and report success.
[[noreturn]] void inputFailed(int err) {
  inputEnded = true;
  failSystem(describeFailure(err), "reading standard input");
}

bool readPiped(std::string& line) {
  static char* buffer = nullptr;  // getline's buffer, kept for the next line
  static size_t capacity = 0;
  errno = 0;
  ssize_t n = ::getline(&buffer, &capacity, stdin);
  if (n < 0) {
    // The end of the input leaves errno alone; a buffer that cannot grow
    // sets ENOMEM without marking the stream.
    if (std::ferror(stdin) || errno == ENOMEM) inputFailed(errno ? errno : EIO);
    return false;
  }
  if (n == 0) return false;
  // A last line without a line feed still counts as a line. A carriage return
  // right before the line feed belongs to the line end (CR LF).
  size_t length = static_cast<size_t>(n);
  if (buffer[length - 1] == '\n') {
    --length;
    if (length > 0 && buffer[length - 1] == '\r') --length;
  }
  line.assign(buffer, length);
  return true;
}

// What a lone `help`, `exit` or `quit` at the prompt gets: they are no VELK,
// and a newcomer tries them first.
bool asksForAWayOut(std::string_view line) {
  const size_t first = line.find_first_not_of(" \t");
  if (first == std::string_view::npos) return false;
  line = line.substr(first, line.find_last_not_of(" \t") + 1 - first);
  return line == "help" || line == "exit" || line == "quit";
}

std::string wayOutHint() {
  return line_editor::editing()
             ? "Ctrl-D leaves velk; Tab completes a name; F1 (or Esc h) on a name explains it; "
               "the manual is `man velk`.\n"
             : "Ctrl-D leaves velk; the manual is `man velk`.\n";
}

// One entry at the terminal. What the REPL reads between typed lines is
// code: it goes on over "... " lines while it ends inside an open quote,
// brace or parenthesis, at any level (`$print$("a` too), and runs as one
// text; a text that the splitter would still find open is reported here
// instead of being run. The REPL's start-up question (ending in "y/n ")
// takes only y or n. What a typed line reads (`$input`) is data, a line as
// it is. Ctrl-C drops what was typed and asks again; while a typed line runs
// it stops that line. Ctrl-D ends the input, and on a "... " line drops the
// unfinished entry instead.
bool readAtTerminal(std::string& line, const NamesInScope& names) {
  const std::string prompt = promptOf(partialLine);
  const bool code = interruptibleRuns == 0;
  const bool question = code && prompt.ends_with(" y/n ");
  WaitingForLine waiting;
  interruptRequested = 0;  // a Ctrl-C before the prompt showed has done its part
  const bool editing = line_editor::editing();
  std::string piece;
  bool continued = false;
  // Drops what was read and asks again, on a line of its own.
  auto again = [&] {
    line.clear();
    continued = false;
    if (!editing) rawWrite(prompt.c_str());
  };
  for (;;) {
    if (continued && !editing) rawWrite("... ");
    line_editor::Outcome got = line_editor::read(continued ? "... " : prompt, piece, {line, names});
    if (got == line_editor::Outcome::Interrupted) {
      if (interruptibleRuns > 0) {
        // A typed line was reading: it stops, and the line end comes with
        // the report.
        partialLine.clear();
        throw Interrupted();
      }
      rawWrite("\n");
      again();
      continue;
    }
    if (got == line_editor::Outcome::EndOfInput) {
      rawWrite("\n");
      if (continued) {
        again();
        continue;
      }
      partialLine.clear();
      inputEnded = true;
      return false;
    }
    line += piece;
    if (question) {
      if (line == "y" || line == "n") break;
      rawWrite("answer y or n\n");
      again();
      continue;
    }
    if (code && !groupsOpenAtEnd(line).empty()) {
      line += '\n';
      continued = true;
      continue;
    }
    line_editor::remember(line);
    if (!code) break;
    if (asksForAWayOut(line)) {
      rawWrite(wayOutHint().c_str());
      again();
      continue;
    }
    try {
      checkGroupsClosed(line);
    } catch (const OpenGroupError& e) {
      std::fprintf(stderr, "%s\n", reportLine(e).c_str());
      std::fflush(stderr);
      again();
      continue;
    }
    break;
  }
  partialLine.clear();
  return true;
}

}  // namespace

void setUp(bool repl) {
  holdClosedStreams();
  std::setvbuf(stdout, nullptr, _IOFBF, 1 << 16);
  session = repl;
  terminal = repl && ::isatty(STDIN_FILENO) && ::isatty(STDOUT_FILENO);
  if (terminal) catchInterrupt(false);
}

bool atTerminal() { return terminal; }

void write(std::string_view bytes) {
  if (outputLost) return;
  if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size()) outputFailed(errno);
  if (terminal) noteWritten(bytes);
}

void write(char c) {
  if (outputLost) return;
  if (std::fputc(static_cast<unsigned char>(c), stdout) == EOF) outputFailed(errno);
  if (terminal) noteWritten(std::string_view(&c, 1));
}

void lineEnd() {
  if (outputLost) return;
  if (std::fputc('\n', stdout) == EOF) outputFailed(errno);
  flushOrFail();
  partialLine.clear();
}

void flush() { flushOrFail(); }

int finish() {
  if (outputLost) return 0;
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    outputLost = true;
    return errno ? errno : EIO;
  }
  return 0;
}

void finishLine() {
  if (terminal && !partialLine.empty()) lineEnd();
  flush();
}

bool readLine(std::string& line, const NamesInScope& names) {
  flush();
  line.clear();
  typedLinePending = false;
  if (inputEnded) return false;
  bool got = terminal ? readAtTerminal(line, names) : readPiped(line);
  if (!got) {
    inputEnded = true;
    return false;
  }
  typedLine = line;
  typedLinePending = true;
  return true;
}

bool claimTypedLine(std::string_view code) {
  if (!session || !typedLinePending || code != typedLine) return false;
  typedLinePending = false;
  return true;
}

bool keepSession(const std::string& report, bool interrupted) {
  // Output that was lost stays lost: the session could show nothing more.
  if (!terminal || outputLost) return false;
  // The terminal echoes "^C" where the cursor stands, unseen by partialLine.
  if (interrupted)
    lineEnd();
  else
    finishLine();
  std::fprintf(stderr, "%s\n", report.c_str());
  std::fflush(stderr);
  return true;
}

void traceLine(const std::string& line) {
  flush();  // what the traced statements printed comes before what runs next
  std::fprintf(stderr, "%s\n", line.c_str());
  std::fflush(stderr);
}

void warnTypedLine(const std::string& message) {
  std::fprintf(stderr, "velk: warning: %s\n", message.c_str());
  std::fflush(stderr);
}

}  // namespace velk::console
