// The velk executable: reads the command line, then runs the built-in REPL or
// the script it names.
#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "builtins/registry.h"
#include "builtins/word_usage.h"
#include "host/check_files.h"
#include "host/command_line.h"
#include "host/memory_count.h"
#include "host/sandbox.h"
#include "console/line_editor.h"
#include "console/prompt_words.h"
#include "console/stdio_console.h"
#include "host/startup.h"
#include "support/error.h"
#include "support/stack_guard.h"
#include "support/whole_read.h"

namespace {

constexpr int kExitUsage = 2;

// A script file or standard input, read whole before anything runs, with
// CR LF line ends read as line feeds. Returns 0 or the errno of the failure.
int readScript(int fd, std::string& text) {
  try {
    int err = velk::readToEnd(fd, text);
    if (err) return err;
    velk::dropCarriageReturnsBeforeLineFeeds(text);
    return 0;
  } catch (const std::bad_alloc&) {
    text = std::string();
    return ENOMEM;
  }
}

int refuse(const std::string& problem, int status) {
  std::fprintf(stderr, "velk: %s\n", problem.c_str());
  std::fflush(stderr);
  return status;
}

// The builtins and keywords, for Tab and the help key at a terminal.
void teachPromptWords() {
  std::vector<velk::prompt_words::Word> words;
  for (const velk::WordUsage& w : velk::wordUsages()) {
    const bool takesArguments = w.form.find("$(") != std::string_view::npos;
    std::string usage = std::string(w.form) + ": " + std::string(w.meaning);
    words.push_back({std::string(w.word), w.keyword, takesArguments, std::move(usage)});
  }
  velk::prompt_words::learn(std::move(words));
}

// Runs `body` in a fresh interpreter on the standard streams, with every
// builtin, under `limits`; with a sandbox, on a thread the kernel confines
// to it where it can. Deep recursion in a script needs a deep stack; the
// guard keeps a reserve free so that endless recursion ends with an error
// instead of a crash.
int inInterpreter(const velk::RunLimits& limits, const std::function<int(velk::Interpreter&)>& body) {
  constexpr size_t kStack = size_t{2} << 30;
  constexpr size_t kReserve = size_t{64} << 20;
  return velk::runOnLargeStack(
      [&] {
        if (!limits.confineTo.empty()) {
          if (velk::console::atTerminal()) velk::line_editor::prepareConfined();
          // The second wall; where the kernel has none, the checks stand alone.
          velk::confineThreadTo(limits.confineTo);
        }
        velk::StdioConsole console;
        velk::Interpreter interp(console);
        velk::registerBuiltins(interp.builtins());
        interp.setLimits(limits);
        return body(interp);
      },
      kStack, kReserve);
}

// The --sandbox folder checked and made canonical: empty, or what is wrong
// with it (a problem of the command line).
std::string findSandbox(velk::RunLimits& limits) {
  if (limits.confineTo.empty()) return std::string();
  std::error_code ec;
  std::filesystem::path folder = std::filesystem::canonical(limits.confineTo, ec);
  if (ec || !std::filesystem::is_directory(folder, ec))
    return "--sandbox: " + velk::quoteForReport(limits.confineTo) + " is no folder" +
           (ec ? ": " + ec.message() : std::string());
  limits.confineTo = folder.string();
  return std::string();
}

// Ready to run under `limits`: in the sandbox folder, which becomes the
// current one, and with memory counted when it is bounded. Empty, or what
// went wrong.
std::string enterLimits(velk::RunLimits& limits) {
  if (!limits.confineTo.empty() && ::chdir(limits.confineTo.c_str()) != 0)
    return "--sandbox: cannot enter " + velk::quoteForReport(limits.confineTo) + ": " + velk::describeFailure(errno);
  if (limits.maxMemoryBytes) {
    velk::memory_count::start();
    limits.memoryInUse = velk::memory_count::inUse;
  }
  return std::string();
}

int run(const velk::Invocation& inv) {
  using Mode = velk::Invocation::Mode;
  switch (inv.mode) {
    case Mode::Help: std::fputs(velk::usageText().c_str(), stdout); return 0;
    case Mode::Version: std::fputs(velk::versionText().c_str(), stdout); return 0;
    case Mode::Check: return velk::checkScripts(inv.checked);
    case Mode::Wrong: return refuse(inv.problem + "\nTry `velk --help`.", kExitUsage);
    default: break;
  }
  // The script is read where velk was started, before it enters a sandbox:
  // the caller chose it, and the bounds are for what it does.
  velk::RunLimits limits = inv.limits;
  if (std::string problem = findSandbox(limits); !problem.empty())
    return refuse(problem + "\nTry `velk --help`.", kExitUsage);
  std::string text, place, source;
  switch (inv.mode) {
    case Mode::Text:
      text = inv.operand;
      place = "the -e text";
      source = "-e";
      break;
    case Mode::Stdin:
      if (int err = readScript(STDIN_FILENO, text))
        return refuse("cannot read the script from standard input: " + velk::describeFailure(err), velk::kExitError);
      place = "standard input";
      source = "<stdin>";
      break;
    case Mode::File: {
      std::error_code ec;
      if (std::filesystem::is_directory(inv.operand, ec))
        return refuse("cannot read the script " + velk::quoteForReport(inv.operand) + ": it is a directory",
                      velk::kExitError);
      int fd = ::open(inv.operand.c_str(), O_RDONLY | O_CLOEXEC);
      int err = fd < 0 ? errno : readScript(fd, text);
      if (fd >= 0) ::close(fd);
      if (err)
        return refuse("cannot read the script " + velk::quoteForReport(inv.operand) + ": " + velk::describeFailure(err),
                      velk::kExitError);
      place = velk::quoteForReport(inv.operand);
      source = inv.operand;
      break;
    }
    default: break;
  }
  if (std::string problem = enterLimits(limits); !problem.empty()) return refuse(problem, kExitUsage);
  if (inv.mode == Mode::Repl) {
    if (velk::console::atTerminal()) teachPromptWords();
    return inInterpreter(limits, [&inv](velk::Interpreter& interp) {
      interp.setTracing(inv.trace);
      return velk::runTopLevel(interp, std::string_view(velk::kReplText, velk::kReplTextSize));
    });
  }
  return inInterpreter(limits, [&](velk::Interpreter& interp) {
    interp.setTracing(inv.trace);
    return velk::runScript(interp, std::move(text), place, source);
  });
}

}  // namespace

int main(int argc, char** argv) {
  // One thread allocates at a time (the interpreter's; this one only waits
  // for it), so one heap serves: a second one would reserve 64 MiB of address
  // space, which under a memory limit is taken from the run itself.
  mallopt(M_ARENA_MAX, 1);
  int status = 0;
  {
    std::vector<std::string> args(argv + 1, argv + argc);
    velk::Invocation inv = velk::readCommandLine(args);
    velk::console::setUp(inv.mode == velk::Invocation::Mode::Repl);
    status = run(inv);
  }
  // Output still buffered, or written straight to stdout (help, version),
  // may be lost only now: that is a failed run too.
  if (int err = velk::console::finish()) {
    std::fprintf(stderr, "velk: error: %s: writing standard output\n", velk::describeFailure(err).c_str());
    std::fflush(stderr);
    if (status == 0) status = velk::kExitError;
  }
#if defined(VELK_SANITIZE)
  // The sanitizer build ends normally, so that the leak check runs at exit.
  return status;
#else
  // Nothing is left to clean up that the system does not reclaim itself.
  std::_Exit(status);
#endif
}
