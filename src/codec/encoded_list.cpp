// Encoding and decoding of the encoded-list form.
#include "codec/encoded_list.h"

#include "parse/literal.h"
#include "parse/splitter.h"
#include "support/error.h"
#include "value/numbers.h"
#include "support/run_limits.h"
#include "support/stack_guard.h"
#include "value/text_forms.h"

namespace velk {
namespace {

void appendEncoded(std::string& out, const Elements& elements) {
  NestingGuard guard;
  out += '(';
  bool first = true;
  for (const ValueRef& e : elements) {
    if (!first) out += ' ';
    first = false;
    if (e->typeName == kList) {
      appendEncoded(out, e->elements);
    } else if (e->typeName == kString) {
      out += '"';
      out += e->text.view();
      out += '"';
    } else {
      out += displayText(*e).view();
    }
    checkGrowth(out.size(), "an encoded list");
  }
  out += ')';
}

Value decodeItem(const Text& item) {
  if (item.empty()) readInteger("");  // an empty item is an integer without digits
  char first = item.front();
  if (first == '(') return Value::list(decodeList(item.view()));
  if (first == '$')
    fail("decoding an encoded list runs no code",
         "the item " + quoteForReport(item.view()) + " is a call");
  if (first == '{') return Value::func(item);
  return readLiteral(item);
}

}  // namespace

std::string encodeList(const Elements& elements) {
  std::string out;
  appendEncoded(out, elements);
  return out;
}

Elements decodeList(std::string_view text) {
  NestingGuard guard;
  if (text.size() < 2)
    fail("not an encoded list", "the text " + quoteForReport(text) + " is shorter than \"()\"");
  Elements result;
  std::string_view inner = withoutEnds(text);
  if (inner.empty()) return result;
  StatementList split = splitStatements(inner);
  for (const Text& item : split.statements.front()) result.push(newValue(decodeItem(item)));
  return result;
}

}  // namespace velk
