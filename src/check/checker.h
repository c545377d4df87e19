// The checker: reads VELK text without running it and warns about the
// language's quiet traps, the statements that run without a word but do not
// do what they seem to (`x = 1 + 2` sets x to 1, `x == 5` leaves x
// unspecified, `compre (1) { ... }` is an assignment).
//
// It takes the text apart with the splitter, exactly as running it would,
// down through blocks, groups and call arguments, and looks at each
// statement, expression and term by the rules the interpreter applies to
// them. It warns only where those rules give an outcome that no one writes
// on purpose; a script in the language's own style stays clean.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velk {

struct CheckWarning {
  size_t line = 0;    // from 1
  size_t column = 0;  // from 1, in bytes
  std::string message;
};

struct CheckOptions {
  // Names bound before the text runs: at a prompt, the variables in scope.
  // A call of one of them is never reported as a call of an unknown name.
  std::vector<std::string> knownNames;
  // The text of the script that `also NAME` loads, or nothing when it cannot
  // be found. A text that loads a script the checker cannot read (or one
  // named by a computed value, or that runs computed text with `exec`) may
  // bind any name, so calls of unknown names are then not reported.
  std::function<std::optional<std::string>(std::string_view name)> loadScript;
  // A line typed at a prompt: a lone term there is a value to show, not an
  // assignment that lacks its operator and value.
  bool typedAtPrompt = false;
  // A script given to `velk FILE`: a first line starting with "#!" is no
  // part of it.
  bool skipShebang = false;
};

// The warnings for `text`, in the order of their places.
std::vector<CheckWarning> checkText(std::string_view text, const CheckOptions& options = {});

// Every name that running `text` may bind (assignment targets, `list`,
// `index`, `where` and `class` names, and what the scripts it loads with
// `also` bind), in byte order: what a prompt that ran it knows afterwards.
std::vector<std::string> namesBoundBy(std::string_view text, const CheckOptions& options = {});

}  // namespace velk
