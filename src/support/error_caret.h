// The failing statement shown with a caret under the term that failed, for a
// person at a terminal: the lines that follow an error's one-line report.
#pragma once

#include <exception>
#include <string>

namespace velk {

// "\n    x = (nope + 1)\n         ^^^^" for an error that names its statement
// (the line of it that holds the term, cut around it when long; the carets
// run under the whole line when no term failed); empty for any other error.
std::string caretLines(const std::exception& e);

}  // namespace velk
