// Reading the command line. Anything velk does not understand is refused with
// a message rather than ignored, so a mistyped option never starts the REPL.
#include "host/command_line.h"

#include "support/error.h"

#ifndef VELK_VERSION
#define VELK_VERSION "unknown"
#endif

namespace velk {

Invocation readCommandLine(const std::vector<std::string>& args) {
  Invocation inv;
  auto wrong = [&inv](std::string problem) {
    inv.mode = Invocation::Mode::Wrong;
    inv.problem = std::move(problem);
    return inv;
  };
  if (args.empty()) return inv;

  size_t next = 1;
  const std::string& first = args[0];
  if (first == "--help" || first == "-h") {
    inv.mode = Invocation::Mode::Help;
  } else if (first == "--version") {
    inv.mode = Invocation::Mode::Version;
  } else if (first == "-e") {
    if (args.size() < 2) return wrong("-e needs the text of a script to run");
    inv.mode = Invocation::Mode::Text;
    inv.operand = args[1];
    next = 2;
  } else if (first == "-") {
    inv.mode = Invocation::Mode::Stdin;
  } else if (first == "--") {
    if (args.size() < 2) return wrong("-- needs the script file to run");
    inv.mode = Invocation::Mode::File;
    inv.operand = args[1];
    next = 2;
  } else if (first.size() > 1 && first[0] == '-') {
    return wrong("unknown option " + quoteForReport(first));
  } else {
    inv.mode = Invocation::Mode::File;
    inv.operand = first;
  }
  // A script cannot read arguments, so any further one is a mistake.
  if (args.size() > next) return wrong("one script at a time: " + quoteForReport(args[next]) + " is one argument too many");
  return inv;
}

std::string usageText() {
  return "usage: velk [FILE | -e TEXT | - | --version | --help]\n"
         "  velk            start the interactive REPL\n"
         "  velk FILE       run the script FILE (a first line starting with #! is skipped)\n"
         "  velk -e TEXT    run TEXT as a script\n"
         "  velk -          run the script read from standard input\n"
         "  --version       print the version\n"
         "  --help          print this help\n"
         "Exit status: 0 when the script ends, 1 after an error, 51 for a text that ends\n"
         "inside an open quote, brace or parenthesis, 2 for a wrong command line.\n"
         "The language: docs/tour.md and docs/reference.md in the source tree, and velk(1).\n";
}

std::string versionText() { return std::string("velk ") + VELK_VERSION + "\n"; }

}  // namespace velk
