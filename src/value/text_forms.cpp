// Display form and function-text form. Both are built without any escaping.
#include "value/text_forms.h"

#include "value/numbers.h"
#include "support/run_limits.h"
#include "support/stack_guard.h"

namespace velk {
namespace {

void appendDisplay(std::string& out, const Value& v, size_t maxBytes);

void appendListDisplay(std::string& out, const Elements& elements, size_t maxBytes) {
  NestingGuard guard;  // a list can nest, or even hold itself, without end
  out += '[';
  bool first = true;
  const size_t count = elements.size();
  for (size_t i = 0; i < count; ++i) {
    if (!first) out += ", ";
    first = false;
    // Compact cells are shown where they lie, without a Value made for them.
    const ElementCell& c = elements.cell(i);
    const Value* e = c.boxed();
    if (!e && c.isInteger()) {
      out += formatInteger(c.integer());
    } else if (!e || e->typeName == kString) {
      out += '"';
      out += e ? e->text.view() : c.textBytes();
      out += '"';
    } else {
      appendDisplay(out, *e, maxBytes);
    }
    checkGrowth(out.size(), maxBytes, "the text of a list");
  }
  out += ']';
}

void appendDisplay(std::string& out, const Value& v, size_t maxBytes) {
  if (v.typeName == kString || v.typeName == kFunc)
    out += v.text.view();
  else if (v.typeName == kInteger)
    out += formatInteger(v.intValue);
  else if (v.typeName == kFloat)
    out += formatFloat(v.floatValue);
  else if (v.typeName == kList)
    appendListDisplay(out, v.elements, maxBytes);
}

}  // namespace

void appendDisplayText(std::string& out, const Value& v, size_t maxBytes) { appendDisplay(out, v, maxBytes); }

Text displayText(const Value& v, size_t maxBytes) {
  if (v.typeName == kString || v.typeName == kFunc) return v.text;
  if (v.typeName == kInteger) return Text(formatInteger(v.intValue));
  if (v.typeName == kFloat) return Text(formatFloat(v.floatValue));
  if (v.typeName == kList) {
    std::string out;
    appendListDisplay(out, v.elements, maxBytes);
    return Text(std::move(out));
  }
  return Text();  // "bytes", "scaffold", "unspecified"
}

Text functionTextForm(const Value& v, size_t maxBytes) {
  if (v.typeName != kList) return displayText(v, maxBytes);
  std::string out = "[";
  bool first = true;
  for (const auto& e : v.elements) {
    if (!first) out += " ,";
    first = false;
    appendDisplay(out, *e, maxBytes);
    checkGrowth(out.size(), maxBytes, "the text of a list");
  }
  out += ']';
  return Text(std::move(out));
}

}  // namespace velk
