// The literal rules, shared by expression terms and the encoded-list decoder:
// a quoted token is a string (its bytes between the quotes, no escapes, no
// check that the last byte closes what the first opened), a token holding a
// "." a float, anything else an integer.
#pragma once

#include "value/value.h"

namespace velk {

// Raises "stoi" or "stof" for a number that does not read.
Value readLiteral(std::string_view token);
// The same for a token held by a text: a long string shares its bytes.
Value readLiteral(const Text& token);

inline bool isQuoted(std::string_view token) {
  return !token.empty() && (token.front() == '"' || token.front() == '\'');
}
inline bool isQuoted(const Text& token) { return isQuoted(token.view()); }

}  // namespace velk
