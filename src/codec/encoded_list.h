// The encoded-list form: a parenthesised, blank-separated text of a list's
// elements, `(("a" "b") (1 2.500000))`, used for snapshots and data files.
#pragma once

#include <string>
#include <string_view>

#include "value/value.h"

namespace velk {

// Lists are encoded recursively, strings in double quotes (in single quotes
// when they hold a double quote), everything else in its display form.
// Nothing is escaped, so what the decoder could not read back as written is
// refused with "cannot encode the list": a string holding both kinds of
// quote, and an item of a nested list whose parentheses would end the list
// early or leave it open. `maxBytes`, when not 0, is the most the form may
// take: building beyond it raises "value too large".
std::string encodeList(const Elements& elements, size_t maxBytes = 0);

// Reads the form back into new Values. The first and last bytes are dropped
// unchecked; the rest is split, and its first statement's tokens are the
// items: a "(" item is a nested list, a quoted item a string, a brace block a
// func Value (not run), anything else a number by the reading rules ("stoi"
// for an empty item or a bare word). Decoding never runs code: an item that
// is a call is refused with an error. `()` decodes as the empty list, so that
// every list the encoder writes reads back. A nested list is read from a
// slice of the text, so a deep list costs memory in proportion to its text.
Elements decodeList(const Text& text);
Elements decodeList(std::string_view text);

}  // namespace velk
