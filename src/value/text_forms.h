// The two text forms of a Value: the display form (what conversion to "string"
// gives, what `print` writes and every builtin reads) and the function-text
// form (what conversion to "func" gives).
//
// A list's form can grow far beyond the list (a list holding one list twice,
// nested, doubles its text at each level). `maxBytes`, when not 0, is the
// most one form may take: building beyond it raises "value too large".
#pragma once

#include "value/value.h"

namespace velk {

// "string" and "func": the text itself; "integer": decimal; "float": "%Lf";
// "list": `[1, "a b", [2.500000]]`; anything else: the empty text.
Text displayText(const Value& v, size_t maxBytes = 0);

// Appends the display form to `out`, without making a Text of it.
void appendDisplayText(std::string& out, const Value& v, size_t maxBytes = 0);

// As the display form, except that a list shows its elements unquoted and
// joined with " ," (`[1 ,a b]`), and a string is its text.
Text functionTextForm(const Value& v, size_t maxBytes = 0);

}  // namespace velk
