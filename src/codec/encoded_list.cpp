// Encoding and decoding of the encoded-list form.
#include "codec/encoded_list.h"

#include <algorithm>
#include <cassert>

#include "parse/literal.h"
#include "parse/splitter.h"
#include "support/error.h"
#include "support/interrupt.h"
#include "value/numbers.h"
#include "support/run_limits.h"
#include "support/stack_guard.h"
#include "value/text_forms.h"

namespace velk {
namespace {

// Nothing is escaped in the form, so the encoder writes an item only where the
// decoder's splitter will cut exactly that item back out: where the item,
// split from the top level, is one token of just its bytes. Strings choose
// their quotes by this rule, and nested lists are checked by it.

// What the splitter's parenthesis count does over a piece of text when only
// parentheses count, as inside a parenthesised group: the change over the
// piece, and the lowest point relative to its start.
struct ParenBalance {
  long net = 0;
  long low = 0;
  bool even() const { return net == 0 && low >= 0; }
  void append(ParenBalance next) {
    low = std::min(low, net + next.low);
    net += next.net;
  }
};

ParenBalance balanceOf(std::string_view text) {
  ParenBalance b;
  for (size_t at = text.find_first_of("()"); at != std::string_view::npos; at = text.find_first_of("()", at + 1)) {
    if (text[at] == '(') {
      ++b.net;
    } else if (--b.net < b.low) {
      b.low = b.net;
    }
  }
  return b;
}

// The splitter's rules, from a given group on: whether the text ends with
// that group closed, without a blank or a line end at the top level on the
// way (where the token or the statement would end).
bool staysOneToken(std::string_view text, char open, int depth) {
  for (char c : text) {
    if (open == '"' || open == '\'') {
      if (c == open) open = 0;
    } else if (open == '{' || open == '(') {
      if (c == open) ++depth;
      if (c == (open == '{' ? '}' : ')') && --depth == 0) open = 0;
    } else if (c == ' ' || c == '\t' || c == '\n') {
      return false;
    } else if (c == '"' || c == '\'' || c == '{' || c == '(') {
      open = c;
      depth = 1;
    }
  }
  return open == 0;
}

// Whether the text in `quote`s reads back as itself. A text without that quote
// always does; one holding it does when its quotes pair up without a blank, a
// line end or an open group between the pairs (`"a"` in double quotes).
bool readsBackIn(std::string_view text, char quote) {
  if (text.find(quote) == std::string_view::npos) return true;
  std::string quoted = quote + std::string(text) + quote;
  return staysOneToken(std::string_view(quoted).substr(1), quote, 1);
}

// A string in double quotes where they read back (so that everything written
// before stays as it was), else in single quotes. A string that neither kind
// brings back (it holds both) is refused.
void appendString(std::string& out, std::string_view text) {
  char quote = '"';
  if (!readsBackIn(text, '"')) {
    quote = '\'';
    if (!readsBackIn(text, '\''))
      fail("cannot encode the list", "the string " + quoteForReport(text) + " holds both kinds of quote");
  }
  out += quote;
  out += text;
  out += quote;
}

ParenBalance appendEncoded(std::string& out, const Elements& elements, bool nested, size_t maxBytes);

// Names the first item, searching nested lists, whose own parentheses do not
// pair up: the one that makes a nested list unreadable.
[[noreturn]] void failUneven(const Elements& elements, std::string_view listText, size_t maxBytes) {
  for (const auto& e : elements) {
    if (e->typeName == kList) {
      std::string inner;
      if (!appendEncoded(inner, e->elements, true, maxBytes).even()) failUneven(e->elements, listText, maxBytes);
      continue;
    }
    Text shown = displayText(*e);
    if (!balanceOf(shown.view()).even())
      fail("cannot encode the list", std::string(e->typeName == kString ? "the string " : "the item ") +
                                         quoteForReport(shown.view()) +
                                         " has a parenthesis without its pair inside a nested list");
  }
  fail("cannot encode the list", "the nested list " + quoteForReport(listText) + " would not read back");
}

// Appends the encoded form and returns its parenthesis balance. A nested list
// is read back as one token only if it is, split from the top level; when its
// parentheses keep the group open to its own ")" that is plain, otherwise the
// splitter's rules are followed through its text.
ParenBalance appendEncoded(std::string& out, const Elements& elements, bool nested, size_t maxBytes) {
  NestingGuard guard;
  size_t start = out.size();
  out += '(';
  ParenBalance items;
  bool first = true;
  for (const auto& e : elements) {
    if (!first) out += ' ';
    first = false;
    size_t itemStart = out.size();
    if (e->typeName == kList) {
      items.append(appendEncoded(out, e->elements, true, maxBytes));
    } else {
      if (e->typeName == kString)
        appendString(out, e->text.view());
      else
        appendDisplayText(out, *e);
      items.append(balanceOf(std::string_view(out).substr(itemStart)));
    }
    checkGrowth(out.size(), maxBytes, "an encoded list");
  }
  out += ')';
  if (nested && !items.even()) {
    std::string_view text = std::string_view(out).substr(start);
    if (items.low >= 0 || !staysOneToken(text.substr(1), '(', 1)) failUneven(elements, text, maxBytes);
  }
  ParenBalance whole{1, 0};
  whole.append(items);
  whole.append(ParenBalance{-1, -1});
  whole.low = std::min(whole.low, 0L);
  return whole;
}

}  // namespace

namespace {

// An item of `whole` (a view into its bytes): lists, funcs and strings are
// slices of it, so a deep list is read without copying each level.
Value decodeItem(const Text& whole, std::string_view item) {
  const size_t pos = static_cast<size_t>(item.data() - whole.view().data());
  // An empty item is read as an integer without digits, which fails.
  if (item.empty())
    throw VelkError("stoi", ErrorKind::InvalidArgument,
                    "an empty item (two blanks in a row, or a blank next to a parenthesis) is not a number");
  char first = item.front();
  if (first == '(') return Value::list(decodeList(whole.slice(pos, item.size())));
  if (first == '$')
    fail("decoding an encoded list runs no code",
         "the item " + quoteForReport(item) + " is a call");
  if (first == '{') return Value::func(whole.slice(pos, item.size()));
  if (isQuoted(item)) return Value::string(item.size() >= 2 ? whole.slice(pos + 1, item.size() - 2) : Text());
  return readLiteral(item);
}

}  // namespace

std::string encodeList(const Elements& elements, size_t maxBytes) {
  std::string out;
  appendEncoded(out, elements, false, maxBytes);
  return out;
}

Elements decodeList(const Text& text) {
  NestingGuard guard;
  if (text.size() < 2)
    fail("not an encoded list", "the text " + quoteForReport(text.view()) + " is shorter than \"()\"");
  std::string_view inner = withoutEnds(text.view());
  if (inner.empty()) return Elements();
  // One pass over the bytes finds the items (and any open group); only then
  // are they read, in order, as the splitter's tokens would be. A nested
  // list's end is found without reading it through, so that a deep list is
  // read once, not once for every level around each byte.
  std::vector<std::string_view> items = firstStatementViews(inner, &text);
  std::vector<ElementCell> result;
  result.reserve(items.size());
  InterruptPoll poll;  // a long list is read an item at a time
  for (std::string_view item : items) {
    poll.at(static_cast<size_t>(item.data() - inner.data()));
    result.emplace_back(decodeItem(text, item));
  }
  return Elements(std::move(result));
}

Elements decodeList(std::string_view text) { return decodeList(Text(text)); }

}  // namespace velk
