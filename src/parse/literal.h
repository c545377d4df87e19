// The literal rules, shared by expression terms and the encoded-list decoder:
// a quoted token is a string (its bytes between the quotes, no escapes, no
// check that the last byte closes what the first opened), a token holding a
// "." a float, anything else an integer.
#pragma once

#include "value/value.h"

namespace velk {

// Raises "stoi" or "stof" for a number that does not read.
Value readLiteral(const Text& token);

inline bool isQuoted(const Text& token) {
  return !token.empty() && (token.front() == '"' || token.front() == '\'');
}

}  // namespace velk
