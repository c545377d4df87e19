// Reading numbers from text, and writing them as text.
//
// Every number read from text (literals, conversions, decoded lists and bytes)
// is limited to the signed 32-bit range for integers and passes through single
// precision for floats; arithmetic on the results is not limited that way.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "support/text.h"

namespace velk {

// Optional white space, an optional sign, decimal digits as far as they go; the
// rest is ignored. Raises "stoi" (invalid argument) without a digit, "stoi"
// (out of range) outside -2147483648..2147483647.
int32_t readInteger(std::string_view text);
// Whether readInteger finds a digit, so does not raise the invalid-argument
// "stoi": for readers that only ask, without an error thrown and caught.
bool startsWithInteger(std::string_view text);

// Whether a term spelt `name` could read as a literal: a quoted string (it
// starts with a quote), a float (it holds a dot) or an integer
// (startsWithInteger). The literal grammar's first test, written once: the
// reader tells literals from other terms by it, and a variable map by it
// knows whether one of its names could hide a literal.
bool maySpellLiteral(std::string_view name);
// The same for a text, kept beside its bytes once asked: names and operators
// are shared texts, read again at every compile and every binding.
inline bool maySpellLiteral(const Text& name) {
  const TextRep* rep = name.rep();
  if (!rep) return false;
  if (rep->spellsLiteral == 0) rep->spellsLiteral = maySpellLiteral(rep->bytes()) ? 2 : 1;
  return rep->spellsLiteral == 2;
}
// Whether a term spelt `name` is anything but a plain name: a literal, or a
// group, a call or a block, which their first byte tells. A variable map
// asks it of every name it binds, to know whether a variable can hide such
// a term.
inline bool maySpellTerm(const Text& name) {
  if (name.empty()) return false;
  const char c = name.front();
  return c == '(' || c == '$' || c == '{' || maySpellLiteral(name);
}

// The platform's text-to-single-precision conversion: decimal, hexadecimal,
// inf and nan forms; the rest is ignored. Raises "stof" (invalid argument)
// when nothing converts, "stof" (out of range) on overflow or underflow.
float readFloat(const std::string& text);

// Decimal, as the display form writes integers.
std::string formatInteger(int64_t n);
// "%Lf": fixed point with six decimals, never an exponent.
std::string formatFloat(long double x);

}  // namespace velk
