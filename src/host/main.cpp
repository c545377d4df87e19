// The velk executable: reads the command line, then runs the built-in REPL or
// the script it names.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "builtins/registry.h"
#include "host/command_line.h"
#include "host/console.h"
#include "host/startup.h"
#include "support/error.h"
#include "support/stack_guard.h"

namespace {

constexpr int kExitUsage = 2;

// A script file or standard input, read whole before anything runs.
bool readWhole(std::istream& in, std::string& text) {
  std::ostringstream s;
  s << in.rdbuf();
  text = s.str();
  return !in.bad();
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
      if (!readWhole(std::cin, text)) return refuse("cannot read the script from standard input", velk::kExitError);
      return inInterpreter([&text](velk::Interpreter& interp) {
        return velk::runScript(interp, std::move(text), "standard input");
      });
    }
    case Mode::File: {
      std::error_code ec;
      if (std::filesystem::is_directory(inv.operand, ec))
        return refuse("cannot read the script " + velk::quoteForReport(inv.operand) + ": it is a directory",
                      velk::kExitError);
      std::ifstream in(inv.operand, std::ios::binary);
      std::string text;
      if (!in || !readWhole(in, text)) {
        std::string why = errno ? std::strerror(errno) : "unreadable";
        return refuse("cannot read the script " + velk::quoteForReport(inv.operand) + ": " + why, velk::kExitError);
      }
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
  std::vector<std::string> args(argv + 1, argv + argc);
  velk::Invocation inv = velk::readCommandLine(args);
  velk::console::setUp(inv.mode == velk::Invocation::Mode::Repl);
  int status = run(inv);
  velk::console::flush();
  std::fflush(stdout);
  // Nothing is left to clean up that the system does not reclaim itself.
  std::_Exit(status);
}
