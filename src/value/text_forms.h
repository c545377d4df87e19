// The two text forms of a Value: the display form (what conversion to "string"
// gives, what `print` writes and every builtin reads) and the function-text
// form (what conversion to "func" gives).
#pragma once

#include "value/value.h"

namespace velk {

// "string" and "func": the text itself; "integer": decimal; "float": "%Lf";
// "list": `[1, "a b", [2.500000]]`; anything else: the empty text.
Text displayText(const Value& v);

// Appends the display form to `out`, without making a Text of it.
void appendDisplayText(std::string& out, const Value& v);

// As the display form, except that a list shows its elements unquoted and
// joined with " ," (`[1 ,a b]`), and a string is its text.
Text functionTextForm(const Value& v);

}  // namespace velk
