// Encoding and decoding of the encoded-list form.
#include "value/encoded_list.h"

#include "parse/splitter.h"
#include "value/error.h"
#include "value/numbers.h"
#include "value/run_limits.h"
#include "value/stack_guard.h"
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
  if (first == '(') {
    Value list;
    list.typeName = kList;
    list.elements = decodeList(item.view());
    return list;
  }
  if (first == '$')
    fail("decoding an encoded list runs no code",
         "the item " + quoteForReport(item.view()) + " is a call");
  if (first == '{') {
    Value func;
    func.typeName = kFunc;
    func.text = item;
    return func;
  }
  if (first == '"' || first == '\'') return Value::string(item.sub(1, item.size() - 2));
  if (item.view().find('.') != std::string_view::npos)
    return Value::floating(readFloat(item.str()));
  return Value::integer(readInteger(item.view()));
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
  std::string_view inner = text.substr(1, text.size() - 2);
  if (inner.empty()) return result;
  StatementListRef split = splitStatements(inner);
  for (const Text& item : split->statements.front()) result.push(newValue(decodeItem(item)));
  return result;
}

}  // namespace velk
