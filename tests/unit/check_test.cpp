// The checker: one table per family of warnings, the texts that must stay
// clean, and the sweep over every script and example the project ships.
#include "check/checker.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

namespace velk {
namespace {

struct Row {
  const char* text;
  const char* where;  // "LINE:COL" of each warning, or "" for a clean text
  const char* says;   // a part of one's message
};

std::string shown(const std::vector<CheckWarning>& ws) {
  std::string s;
  for (const CheckWarning& w : ws)
    s += std::to_string(w.line) + ":" + std::to_string(w.column) + " " + w.message + "\n";
  return s;
}

void expectRows(const std::vector<Row>& rows, const CheckOptions& options = {}) {
  for (const Row& r : rows) {
    std::vector<CheckWarning> ws = checkText(r.text, options);
    std::string places;
    for (const CheckWarning& w : ws) places += " " + std::to_string(w.line) + ":" + std::to_string(w.column);
    EXPECT_EQ(places, *r.where ? " " + std::string(r.where) : "") << r.text << "\n" << shown(ws);
    EXPECT_NE(shown(ws).find(r.says), std::string::npos) << r.text << "\n" << shown(ws);
  }
}

TEST(CheckTest, EachFamilyOfTraps) {
  expectRows({
      // A target that reads as a literal.
      {"1 + 2", "1:1", "the target `1` reads as a number"},
      {"\"s\" = 4", "1:1", "the target `\"s\"` reads as a string"},
      // A first token near a keyword.
      {"compre (1) { x = 1 }", "1:1", "`compre` is no keyword, so this line is an assignment to a variable named"},
      {"untill (x < 3) { x += 1 }", "1:1", "did you mean `until`?"},
      {"ad fruit \"kiwi\"", "1:1", "did you mean `add`?"},
      {"print \"hi\"", "1:1", "to call the builtin, write `$print$(...)`"},
      // An operator token that is none.
      {"x == 5", "1:3", "`==` is no assignment operator: `x` becomes unspecified; to compare, write `(x == 5)`"},
      {"x + 5", "1:3", "so `x` gets `5`; did you mean `x += 5`?"},
      {"x <= 5", "1:3", "only the first character of `<=` counts: `x` gets `(x < 5)`"},
      {"x = (1 =< 2)", "1:8", "`=<` is no operator: this operation gives an unspecified value; did you mean `<=`?"},
      // Tokens after the value.
      {"x = 1 + 2", "1:7", "an assignment takes one value, so `x` gets `1`; write `x = (1 + 2)`"},
      {"end x + 1", "1:7", "`end` takes one value; write `end (x + 1)`"},
      {"$print$ (\"a\")", "1:9", "write `$print$(\"a\")`"},
      {"x = 5 # five\n# a note", "1:7 2:1", "and what follows are ignored: the language has no comments"},
      // A term that reads as a number but holds an operator.
      {"x = (1+2)", "1:6", "`1+2` reads as the number 1: an operator needs a blank on each side, as in `(1 + 2)`"},
      // Empty terms.
      {"x = ( 1 + 2)", "1:6", "an empty term"},
      {"x = (1  + 2)", "1:8", "two blanks in a row"},
      {"x = (1 + 2  )", "1:12", "two blanks in a row"},
      {"$print$(x )", "1:11", "an empty argument"},
      {"f = { end 1 }\n$f$()", "2:1", "passes one empty argument"},
      {"x = (1 +\n 2)", "2:2", "only the first line of an expression or argument list counts"},
      // Calls of names nothing binds.
      {"$prnt$(\"x\")", "1:1", "`$prnt` calls `prnt`, which is no builtin and is never assigned here; did you mean"},
      {"f = { $g }", "1:7", "`$g` calls `g`"},
      // Open groups, where they open, in a block too.
      {"x = 1\nf = {\n  y = 2\n", "2:5", "`{` opens a brace block that is never closed"},
      {"f = { x = \"a }", "1:11", "`\"` opens a double-quoted string that is never closed"},
      {"x = 1 + 2\ns = 'abc", "1:7 2:5", "`'` opens a single-quoted string"},
  });
}

TEST(CheckTest, WhatTheLanguageMeansStaysClean) {
  expectRows({
      {"x = 5\nx += 1\nx -= 1\nx *= 2\nx /= 2\nx = (1 + 2 )\nx = (not x == 1 and (x >= -1))", "", ""},
      {"ad = 5\nlast = ad\n$whereami$()\n$print$(\"a\" \"nah\")", "", ""},
      {"f = { end $g$(arg0) }\ng = { end $h }\nlist l\nindex l 0 h\neach (l) { $element }", "", ""},
      {"class c { n = 1 }\n(c n) += 1\ns = { $s }\n$(s)\nlist names\nadd names \"fn\"\napply = { end $fn }", "", ""},
      {"#!/usr/bin/env velk\nx = 1", "", ""},
  }, CheckOptions{{}, nullptr, false, true});
  // Code that only running can tell may bind any name.
  expectRows({{"exec ($input)\n$made", "", ""}, {"also (name)\n$made", "", ""}, {"also \"gone\"\n$made", "", ""}});
  CheckOptions options;
  options.loadScript = [](std::string_view name) -> std::optional<std::string> {
    if (name == "lib") return "fromlib = { end 1 }\nalso (\"lib\")";
    return std::nullopt;
  };
  expectRows({{"also (\"lib\")\n$fromlib", "", ""}, {"also \"lib\"\n$fromlab", "2:1", "did you mean `fromlib`?"}},
             options);
  // At a prompt: the names in scope are known, and a lone term is a value.
  options.typedAtPrompt = true;
  options.knownNames = {"range"};
  expectRows({{"$range$(3)", "", ""}, {"x", "", ""}, {"(1+2)", "1:2", "reads as the number 1"}}, options);
  EXPECT_EQ(namesBoundBy("x = 1\nlist l\nclass c { m = 1 }\nalso (\"lib\")", options),
            (std::vector<std::string>{"c", "fromlib", "l", "m", "x"}));
}

std::string read(const std::filesystem::path& path) {
  std::ostringstream s;
  s << std::ifstream(path, std::ios::binary).rdbuf();
  return s.str();
}

TEST(CheckTest, TheScriptsWorkloadsAndExamplesAreClean) {
  namespace fs = std::filesystem;
  const fs::path source = VELK_SOURCE_DIR;
  CheckOptions options;
  options.skipShebang = true;
  options.loadScript = [&](std::string_view name) -> std::optional<std::string> {
    fs::path path = source / "scripts" / (std::string(name) + ".VELK");
    return fs::exists(path) ? std::optional(read(path)) : std::nullopt;
  };
  for (const char* folder : {"scripts", "bench/workloads"})
    for (const fs::directory_entry& e : fs::directory_iterator(source / folder))
      if (e.path().extension() == ".VELK") {
        EXPECT_EQ(shown(checkText(std::regex_replace(read(e.path()), std::regex("@[A-Z]+@"), "7"), options)), "")
            << e.path();
      }
  // The manual's examples run at the REPL, so they know its names. A session
  // marked `trap` shows one, in what it types or in the files before it.
  options.knownNames = namesBoundBy(read(source / "scripts/repl.VELK"));
  for (const fs::directory_entry& page : fs::directory_iterator(source / "docs")) {
    std::istringstream lines(read(page.path()));
    std::string line, text, found;
    enum { Outside, File, Session } in = Outside;
    bool trap = false, typed = true;
    for (int n = 1; std::getline(lines, line); ++n) {
      if (in == Outside && line.rfind("```velk-", 0) == 0) {
        in = line.rfind("```velk-file", 0) == 0 ? File : Session;
        trap = line.find(" trap") != std::string::npos, typed = true, text.clear();
      } else if (in != Outside && line == "```") {
        found += shown(checkText(text, options));
        if (in == Session) {
          EXPECT_EQ(found.empty(), !trap) << page.path() << ":" << n << "\n" << found;
          found.clear();
        }
        in = Outside;
      } else if (in == File) {
        text += line + "\n";
      } else if (line.rfind("$ velk ", 0) == 0) {
        typed = !line.ends_with(".VELK");  // after `$ velk FILE` the typed lines are the file's data
      } else if (in == Session && typed && line.rfind("> ", 0) == 0) {
        text += line.substr(2) + "\n";
      }
    }
  }
}

}  // namespace
}  // namespace velk
