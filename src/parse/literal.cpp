// Reading a literal token.
#include "parse/literal.h"

#include "value/numbers.h"

namespace velk {

Value readLiteral(const Text& token) {
  if (isQuoted(token)) return Value::string(textWithoutEnds(token));
  if (token.view().find('.') != std::string_view::npos) return Value::floating(readFloat(token.str()));
  return Value::integer(readInteger(token.view()));
}

}  // namespace velk
