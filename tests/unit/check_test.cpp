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
  for (const CheckWarning& w : ws) s += std::to_string(w.line) + ":" + std::to_string(w.column) + " " + w.message + "\n";
  return s;
}

void expectRows(const std::vector<Row>& rows, const CheckOptions& options = {}) {
  for (const Row& r : rows) {
    std::vector<CheckWarning> ws = checkText(r.text, options);
    std::string places, got = shown(ws);
    for (const CheckWarning& w : ws) places += (places.empty() ? "" : " ") + std::to_string(w.line) + ":" + std::to_string(w.column);
    EXPECT_EQ(places, r.where) << r.text << "\n" << got;
    EXPECT_NE(got.find(r.says), std::string::npos) << r.text << "\n" << got;
  }
}

TEST(CheckTest, EachFamilyOfTraps) {
  expectRows({
      // A target that reads as a literal.
      {"1 + 2", "1:1", "the target `1` reads as a number"},
      {"\"s\" = 4", "1:1", "the target `\"s\"` reads as a string"},
      // A first token near a keyword.
      {"compre (1) { x = 1 }", "1:1", "`compre` is no keyword, so this line is an assignment"},
      {"compre (1) { x = 1 }", "1:1", "and does nothing visible; did you mean `compare`?"},
      {"untill (x < 3) { x += 1 }", "1:1", "did you mean `until`?"},
      {"ad fruit \"kiwi\"", "1:1", "did you mean `add`?"},
      {"print \"hi\"", "1:1", "to call the builtin, write `$print$(...)`"},
      // An operator token that is none.
      {"x == 5", "1:3", "`==` is no assignment operator: `x` becomes unspecified; to compare, write `(x == 5)`"},
      {"x => 5", "1:3", "to compare, write `(x >= 5)`"},
      {"x + 5", "1:3", "so `x` gets `5`; did you mean `x += 5`?"},
      {"x <= 5", "1:3", "only the first character of `<=` counts: `x` gets `(x < 5)`"},
      {"x = (1 =< 2)", "1:8", "`=<` is no operator: this operation gives an unspecified value; did you mean `<=`?"},
      {"x = (a && b)", "1:8", "did you mean `and`?"},
      // Tokens after the value.
      {"x = 1 + 2", "1:7", "an assignment takes one value, so `x` gets `1`; write `x = (1 + 2)`"},
      {"end x + 1", "1:7", "`end` takes one value; write `end (x + 1)`"},
      {"$print$ (\"a\")", "1:9", "write `$print$(\"a\")`"},
      // A term that reads as a number but holds an operator.
      {"x = (1+2)", "1:6", "`1+2` reads as the number 1: an operator needs a blank on each side, as in `(1 + 2)`"},
      {"$print$(2.5*4)", "1:9", "reads as the number 2.5"},
      // Empty terms.
      {"x = ( 1 + 2)", "1:6", "an empty term"},
      {"x = (1  + 2)", "1:8", "two blanks in a row"},
      {"x = (1 + 2  )", "1:12", "two blanks in a row"},
      {"$print$(x )", "1:11", "an empty argument"},
      {"f = { end 1 }\n$f$()", "2:1", "passes one empty argument"},
      {"x = (1 +\n 2)", "2:2", "only the first line of an expression or argument list counts"},
      // Calls of names nothing binds.
      {"$prnt$(\"x\")", "1:1", "`$prnt` calls `prnt`, which is no builtin and is never assigned here; did you mean `print`?"},
      {"f = { $g }", "1:7", "`$g` calls `g`"},
      // Open groups, where they open, in a block too.
      {"x = 1\nf = {\n  y = 2\n", "2:5", "`{` opens a brace block that is never closed"},
      {"f = { x = \"a }", "1:11", "`\"` opens a double-quoted string that is never closed"},
      {"x = 1 + 2\ns = 'abc", "1:7 2:5", "`'` opens a single-quoted string"},
  });
}

TEST(CheckTest, WhatTheLanguageMeansStaysClean) {
  expectRows({
      {"x = 5\nx += 1\nx -= 1\nx *= 2\nx /= 2", "", ""},
      {"x = (1 + 2 )\nx = (not x == 1 and (x >= -1))\ny = ((x -> \"m\") + 1)", "", ""},
      {"ad = 5\nlast = ad\n$whereami$()\n$print$(\"a\" \"nah\")", "", ""},
      {"f = { end $g$(arg0) }\ng = { end $h }\nlist l\nindex l 0 h\neach (l) { $element }", "", ""},
      {"class c { n = 1 }\n(c n) += 1\ns = { $s }\n$(s)", "", ""},
      {"list names\nadd names \"fn\"\napply = { end $fn }", "", ""},
      {"#!/usr/bin/env velk\nx = 1", "", ""},
  }, CheckOptions{{}, nullptr, false, true});
  // Code that only running can tell may bind any name.
  expectRows({{"exec ($input)\n$made", "", ""}, {"also (name)\n$made", "", ""}, {"also (\"missing\")\n$made", "", ""}});
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

// What the texts of the project's own files are checked as: the library in
// lib/, and, for what is typed at the REPL or run there, the REPL's names.
struct Sweep {
  std::filesystem::path source = VELK_SOURCE_DIR;
  CheckOptions options;
  Sweep() {
    options.skipShebang = true;
    options.loadScript = [this](std::string_view name) -> std::optional<std::string> {
      std::filesystem::path p = source / "scripts" / (std::string(name) + ".VELK");
      if (!std::filesystem::exists(p)) return std::nullopt;
      return read(p);
    };
  }
  static std::string read(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }
  void expectClean(const std::string& text, const std::string& where) {
    EXPECT_EQ(shown(checkText(text, options)), "") << where;
  }
};

TEST(CheckTest, TheScriptsWorkloadsAndExamplesAreClean) {
  Sweep sweep;
  namespace fs = std::filesystem;
  for (const char* folder : {"scripts", "bench/workloads"})
    for (const fs::directory_entry& e : fs::directory_iterator(sweep.source / folder))
      if (e.path().extension() == ".VELK")
        sweep.expectClean(std::regex_replace(Sweep::read(e.path()), std::regex("@[A-Z]+@"), "7"), e.path());
  // The examples of the manual run at the REPL, so they know its names. A
  // session block marked `trap` is there to show one.
  sweep.options.knownNames = namesBoundBy(Sweep::read(sweep.source / "scripts/repl.VELK"));
  for (const fs::directory_entry& page : fs::directory_iterator(sweep.source / "docs")) {
    std::istringstream lines(Sweep::read(page.path()));
    std::string line, kind, text;
    std::vector<std::string> texts;  // the files before a session, then what it types
    bool trap = false, script = false;
    for (int n = 1; std::getline(lines, line); ++n) {
      std::smatch m;
      if (kind.empty() && std::regex_match(line, m, std::regex("```(velk-session|velk-file)(.*)"))) {
        kind = m[1], trap = m[2].str().find("trap") != std::string::npos, script = false, text.clear();
      } else if (!kind.empty() && line == "```") {
        texts.push_back(text);
        if (kind == "velk-session") {
          std::string found;
          for (const std::string& t : texts) found += shown(checkText(t, sweep.options));
          EXPECT_EQ(found.empty(), !trap) << page.path() << " before line " << n << (trap ? ": no trap found" : "")
                                         << "\n" << found;
          texts.clear();
        }
        kind.clear();
      } else if (kind == "velk-file") {
        text += line + "\n";
      } else if (kind == "velk-session") {
        // `$ velk FILE` runs the file, and the typed lines are its data.
        if (line.rfind("$ velk ", 0) == 0) script = line.size() > 5 && line.substr(line.size() - 5) == ".VELK";
        if (line.rfind("> ", 0) == 0 && !script) text += line.substr(2) + "\n";
      }
    }
  }
}

}  // namespace
}  // namespace velk
