// Reading the command line. Anything velk does not understand is refused with
// a message rather than ignored, so a mistyped option never starts the REPL
// and a mistyped bound never runs a script unbounded.
#include "host/command_line.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdint>
#include <iterator>

#include "support/error.h"

#ifndef VELK_VERSION
#define VELK_VERSION "unknown"
#endif

namespace velk {

namespace {

// A whole number of at least 1, times 1024 once per step of the optional
// suffix K, M, G or T when `sized`; false for anything else or an overflow.
bool readCount(const std::string& text, bool sized, uint64_t& out) {
  size_t digits = 0;
  uint64_t n = 0;
  for (; digits < text.size() && text[digits] >= '0' && text[digits] <= '9'; ++digits) {
    if (n > (UINT64_MAX - 9) / 10) return false;
    n = n * 10 + static_cast<uint64_t>(text[digits] - '0');
  }
  if (digits == 0) return false;
  std::string rest = text.substr(digits);
  if (!rest.empty()) {
    static const std::string units = "KMGT";
    size_t unit = rest.size() == 1 && sized ? units.find(static_cast<char>(std::toupper(rest[0]))) : std::string::npos;
    if (unit == std::string::npos) return false;
    for (size_t i = 0; i <= unit; ++i) {
      if (n > UINT64_MAX / 1024) return false;
      n *= 1024;
    }
  }
  out = n;
  return n > 0 && n <= SIZE_MAX;
}

// Seconds with up to three decimals ("2", "0.5"), as milliseconds, at least 1.
bool readSeconds(const std::string& text, std::chrono::milliseconds& out) {
  auto digitsOnly = [](const std::string& t) { return t.find_first_not_of("0123456789") == std::string::npos; };
  size_t point = text.find('.');
  std::string whole = text.substr(0, point);
  std::string frac = point == std::string::npos ? std::string() : text.substr(point + 1);
  if ((whole.empty() && frac.empty()) || !digitsOnly(whole) || !digitsOnly(frac) || frac.size() > 3 ||
      whole.size() > 9)
    return false;
  frac.resize(3, '0');
  out = std::chrono::milliseconds(std::stoull("0" + whole) * 1000 + std::stoull(frac));
  return out.count() > 0;
}

// Reads a bound's option at args[i] ("--max-steps N" or "--max-steps=N"),
// moving i past its value. False when args[i] is no such option; a value that
// is missing or wrong sets `problem`.
bool readBound(const std::vector<std::string>& args, size_t& i, RunLimits& limits, std::string& problem) {
  static const char* const names[] = {"--sandbox", "--max-steps", "--max-time", "--max-memory", "--max-value"};
  const std::string& arg = args[i];
  std::string name = arg.substr(0, arg.find('='));
  if (std::find(std::begin(names), std::end(names), name) == std::end(names)) return false;
  std::string value;
  if (name.size() < arg.size()) {
    value = arg.substr(name.size() + 1);
  } else if (i + 1 < args.size()) {
    value = args[++i];
  } else {
    problem = name + " needs a value";
    return true;
  }
  uint64_t n = 0;
  const char* want = nullptr;  // what the value should have been
  if (name == "--sandbox") {
    if (value.empty()) want = "a folder";
    limits.confineTo = value;
  } else if (name == "--max-steps") {
    if (!readCount(value, false, n)) want = "a whole number of steps, 1 or more";
    limits.maxSteps = n;
  } else if (name == "--max-time") {
    if (!readSeconds(value, limits.maxTime)) want = "a number of seconds (like 2 or 0.5), at least 0.001";
  } else {
    if (!readCount(value, true, n)) want = "a size in bytes, 1 or more, with K, M, G or T for 1024s";
    (name == "--max-memory" ? limits.maxMemoryBytes : limits.maxValueBytes) = static_cast<size_t>(n);
  }
  if (want) problem = name + ": " + quoteForReport(value) + " is not " + want;
  return true;
}

}  // namespace

Invocation readCommandLine(const std::vector<std::string>& args) {
  Invocation inv;
  auto wrong = [&inv](std::string problem) {
    inv.mode = Invocation::Mode::Wrong;
    inv.problem = std::move(problem);
    return inv;
  };
  // The bounds may come before or after what is to run; anything after the
  // script (or after `--` and its file) is one argument too many, since a
  // script cannot read arguments.
  bool chosen = false;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string problem;
    if (readBound(args, i, inv.limits, problem)) {
      if (!problem.empty()) return wrong(problem);
      continue;
    }
    const std::string& arg = args[i];
    if (arg == "--trace") {
      inv.trace = true;
      continue;
    }
    if (chosen) return wrong("one script at a time: " + quoteForReport(arg) + " is one argument too many");
    chosen = true;
    if (arg == "--help" || arg == "-h") {
      inv.mode = Invocation::Mode::Help;
    } else if (arg == "--version") {
      inv.mode = Invocation::Mode::Version;
    } else if (arg == "-e") {
      if (i + 1 >= args.size()) return wrong("-e needs the text of a script to run");
      inv.mode = Invocation::Mode::Text;
      inv.operand = args[++i];
    } else if (arg == "-") {
      inv.mode = Invocation::Mode::Stdin;
    } else if (arg == "--check") {
      // Every later argument names a script; after `--`, even one that
      // starts with "-".
      inv.mode = Invocation::Mode::Check;
      bool options = true;
      while (++i < args.size()) {
        if (options && args[i] == "--") {
          options = false;
        } else if (options && args[i].size() > 1 && args[i][0] == '-') {
          return wrong("unknown option " + quoteForReport(args[i]) + " among the scripts to check");
        } else {
          inv.checked.push_back(args[i]);
        }
      }
      if (inv.checked.empty()) return wrong("--check needs the scripts to check (- for standard input)");
    } else if (arg == "--") {
      if (i + 1 >= args.size()) return wrong("-- needs the script file to run");
      inv.mode = Invocation::Mode::File;
      inv.operand = args[++i];
      if (i + 1 < args.size())
        return wrong("one script at a time: " + quoteForReport(args[i + 1]) + " is one argument too many");
    } else if (arg.size() > 1 && arg[0] == '-') {
      return wrong("unknown option " + quoteForReport(arg));
    } else {
      inv.mode = Invocation::Mode::File;
      inv.operand = arg;
    }
  }
  return inv;
}

std::string usageText() {
  return "usage: velk [OPTIONS] [FILE | -e TEXT | - | --check FILE... | --version | --help]\n"
         "  velk            start the interactive REPL\n"
         "  velk FILE       run the script FILE (a first line starting with #! is skipped)\n"
         "  velk -e TEXT    run TEXT as a script\n"
         "  velk -          run the script read from standard input\n"
         "  --check FILE... check the scripts (- for standard input) without running\n"
         "                  them: one FILE:LINE:COL: warning: line for each trap found;\n"
         "                  status 0 when none is, 1 when some are, 2 when a script\n"
         "                  cannot be read\n"
         "  --trace         with a script or the REPL: write each statement of the\n"
         "                  script, typed line or script file it loads to standard\n"
         "                  error before it runs, as + FILE:LINE: statement\n"
         "  --version       print the version\n"
         "  --help          print this help\n"
         "Options to run a script you do not trust (with any of the above):\n"
         "  --sandbox DIR         start in DIR; files, cd and also stay inside it\n"
         "  --max-steps N         stop after N steps (statements and runs)\n"
         "  --max-time SECONDS    stop after SECONDS (like 2 or 0.5)\n"
         "  --max-memory SIZE     stop when memory in use passes SIZE (like 64M or 2G)\n"
         "  --max-value SIZE      refuse to build one string, bytes or list text over SIZE\n"
         "In the REPL each typed line has the steps and time afresh.\n"
         "Exit status: 0 when the script ends, 1 after an error, 3 when a --max limit\n"
         "is reached, 51 for a text that ends inside an open quote, brace or\n"
         "parenthesis, 2 for a wrong command line.\n"
         "The language: docs/tour.md and docs/reference.md in the source tree, and velk(1).\n";
}

std::string versionText() { return std::string("velk ") + VELK_VERSION + "\n"; }

}  // namespace velk
