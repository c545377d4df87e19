// Reading a literal token.
#include "parse/literal.h"

#include "value/numbers.h"

namespace velk {

Value readLiteral(const Text& token) {
  if (isQuoted(token)) return Value::string(textWithoutEnds(token));
  return readLiteral(token.view());
}

Value readLiteral(std::string_view token) {
  if (isQuoted(token)) return Value::string(Text(withoutEnds(token)));
  if (token.find('.') != std::string_view::npos) return Value::floating(readFloat(std::string(token)));
  return Value::integer(readInteger(token));
}

}  // namespace velk
