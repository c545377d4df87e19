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
#include "host/command_line.h"
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

// Runs `body` in a fresh interpreter on the standard streams, with every
// builtin. Deep recursion in a script needs a deep stack; the guard keeps a
// reserve free so that endless recursion ends with an error instead of a crash.
int inInterpreter(const std::function<int(velk::Interpreter&)>& body) {
  constexpr size_t kStack = size_t{2} << 30;
  constexpr size_t kReserve = size_t{64} << 20;
  return velk::runOnLargeStack(
      [&body] {
        velk::StdioConsole console;
        velk::Interpreter interp(console);
        velk::registerBuiltins(interp.builtins());
        return body(interp);
      },
      kStack, kReserve);
}

int run(const velk::Invocation& inv) {
  using Mode = velk::Invocation::Mode;
  switch (inv.mode) {
    case Mode::Help: std::fputs(velk::usageText().c_str(), stdout); return 0;
    case Mode::Version: std::fputs(velk::versionText().c_str(), stdout); return 0;
    case Mode::Wrong: return refuse(inv.problem + "\nTry `velk --help`.", kExitUsage);
    case Mode::Repl:
      return inInterpreter([](velk::Interpreter& interp) {
        return velk::runTopLevel(interp, std::string_view(velk::kReplText, velk::kReplTextSize));
      });
    case Mode::Text:
      return inInterpreter(
          [&inv](velk::Interpreter& interp) { return velk::runScript(interp, inv.operand, "the -e text"); });
    case Mode::Stdin: {
      std::string text;
      if (int err = readScript(STDIN_FILENO, text))
        return refuse("cannot read the script from standard input: " + velk::describeFailure(err), velk::kExitError);
      return inInterpreter([&text](velk::Interpreter& interp) {
        return velk::runScript(interp, std::move(text), "standard input");
      });
    }
    case Mode::File: {
      std::error_code ec;
      if (std::filesystem::is_directory(inv.operand, ec))
        return refuse("cannot read the script " + velk::quoteForReport(inv.operand) + ": it is a directory",
                      velk::kExitError);
      std::string text;
      int fd = ::open(inv.operand.c_str(), O_RDONLY | O_CLOEXEC);
      int err = fd < 0 ? errno : readScript(fd, text);
      if (fd >= 0) ::close(fd);
      if (err)
        return refuse("cannot read the script " + velk::quoteForReport(inv.operand) + ": " + velk::describeFailure(err),
                      velk::kExitError);
      std::string place = velk::quoteForReport(inv.operand);
      return inInterpreter([&text, &place](velk::Interpreter& interp) {
        return velk::runScript(interp, std::move(text), place);
      });
    }
  }
  return velk::kExitError;
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
