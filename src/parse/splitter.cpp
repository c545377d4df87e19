// The splitter: a single pass over the bytes with one open group at a time.
#include "parse/splitter.h"

#include <cassert>
#include <string>

#include "parse/group_ends.h"
#include "support/error.h"
#include "support/interrupt.h"

namespace velk {
namespace {

// Inside a group only the group's own delimiters count.
enum class Group { None, DoubleQuote, SingleQuote, Brace, Paren };

const char* groupName(Group g) {
  switch (g) {
    case Group::DoubleQuote: return "double-quoted string";
    case Group::SingleQuote: return "single-quoted string";
    case Group::Brace: return "brace block";
    case Group::Paren: return "parenthesis";
    case Group::None: break;
  }
  return "group";
}

// One byte on: opens, nests or closes a group.
void step(Group& group, size_t& depth, char c) {
  switch (group) {
    case Group::None:
      if (c == '"') group = Group::DoubleQuote;
      else if (c == '\'') group = Group::SingleQuote;
      else if (c == '{') group = Group::Brace, depth = 1;
      else if (c == '(') group = Group::Paren, depth = 1;
      break;
    case Group::DoubleQuote:
      if (c == '"') group = Group::None;
      break;
    case Group::SingleQuote:
      if (c == '\'') group = Group::None;
      break;
    case Group::Brace:
      if (c == '{') ++depth;
      else if (c == '}' && --depth == 0) group = Group::None;
      break;
    case Group::Paren:
      if (c == '(') ++depth;
      else if (c == ')' && --depth == 0) group = Group::None;
      break;
  }
}

bool opensGroup(char c) { return c == '"' || c == '\'' || c == '{' || c == '('; }

// The group that `c` opens at the top level.
Group groupOpenedBy(char c) {
  Group group = Group::None;
  size_t depth = 0;
  step(group, depth, c);
  return group;
}

void traceLine(Console& console, std::string_view s) {
  console.write(s);
  console.write('\n');
}

}  // namespace

StatementList splitStatements(const Text& source, Console* trace) {
  std::string_view text = source.view();
  StatementList result;
  Group group = Group::None;
  size_t depth = 0;
  size_t groupStart = 0;
  // A token is always one stretch of the text: the blanks skipped after a
  // line end come before its first byte, and everything else up to the blank
  // or line end that closes it belongs to it. So it is kept as a slice.
  size_t tokenStart = 0;
  size_t tokenLength = 0;
  Statement statement;
  bool skipBlanks = false;
  auto closeToken = [&] {
    // Most statements have up to four tokens: room for them at once.
    if (statement.capacity() == 0) statement.reserve(4);
    statement.push_back(tokenLength ? source.slice(tokenStart, tokenLength) : Text());
    tokenLength = 0;
  };

  // Without a trace to print, a group is passed over at once: its bytes are
  // all the token's, and a long one is not read through again at every
  // level that splits it.
  GroupEnds groups(&source, text);
  InterruptPoll poll;
  if (trace) traceLine(*trace, "debugging mode is activated, printing debug information while parsing.");
  for (size_t i = 0; i < text.size(); ++i) {
    poll.at(i);
    char c = text[i];
    if (trace) {
      trace->write(std::to_string(i) + "/");
      trace->write(c);
      trace->write('\n');
    }
    if (c == '\n') {
      if (trace) traceLine(*trace, "detected newline, reset");
      if (group == Group::None) {
        closeToken();
        result.statements.push_back(std::move(statement));
        statement.clear();
        skipBlanks = true;
        continue;
      }
    }
    if (group == Group::None) {
      groupStart = i;
      if (!trace && opensGroup(c)) {
        const size_t close = groups.closeOf(i);
        if (close == std::string_view::npos) {
          group = groupOpenedBy(c);  // open to the end of the text
          break;
        }
        skipBlanks = false;
        if (tokenLength == 0) tokenStart = i;
        tokenLength += close - i + 1;
        i = close;
        continue;
      }
    }
    step(group, depth, c);
    bool blank = c == ' ' || c == '\t';
    if (blank && skipBlanks) continue;  // indentation after a line end
    skipBlanks = false;
    if (blank && group == Group::None) {
      closeToken();
      continue;
    }
    assert(tokenLength == 0 || tokenStart + tokenLength == i);
    if (tokenLength++ == 0) tokenStart = i;
  }
  closeToken();
  result.statements.push_back(std::move(statement));
  if (group != Group::None) throw OpenGroupError(groupName(group), groupStart);
  return result;
}

StatementList splitStatements(std::string_view text, Console* trace) { return splitStatements(Text(text), trace); }

void checkGroupsClosed(std::string_view text) {
  Group group = Group::None;
  size_t depth = 0;
  size_t groupStart = 0;
  InterruptPoll poll;
  for (size_t i = 0; i < text.size(); ++i) {
    poll.at(i);
    if (group == Group::None) groupStart = i;
    step(group, depth, text[i]);
  }
  if (group != Group::None) throw OpenGroupError(groupName(group), groupStart);
}

size_t statementEnd(std::string_view text, size_t from) {
  Group group = Group::None;
  size_t depth = 0;
  InterruptPoll poll;
  for (size_t i = from; i < text.size(); ++i) {
    poll.at(i - from);
    if (text[i] == '\n' && group == Group::None) return i;
    step(group, depth, text[i]);
  }
  return text.size();
}

std::vector<std::string_view> firstStatementViews(std::string_view text, const Text* owner) {
  std::vector<std::string_view> tokens;
  tokens.reserve(8);  // one allocation for the usual short line or list
  GroupEnds groups(owner, text);
  InterruptPoll poll;
  size_t start = 0;  // of the token being read
  bool first = true;
  // Always at the top level: a group is passed over whole.
  for (size_t i = 0; i < text.size(); ++i) {
    poll.at(i);
    char c = text[i];
    if (c == '\n') {
      if (first) tokens.push_back(text.substr(start, i - start));
      first = false;
      continue;
    }
    if (opensGroup(c)) {
      // Past the first line only the groups matter: an open one is an error.
      const size_t close = groups.closeOf(i);
      if (close == std::string_view::npos) throw OpenGroupError(groupName(groupOpenedBy(c)), i);
      i = close;
      continue;
    }
    // (Within the first line no indentation is skipped.)
    if (first && (c == ' ' || c == '\t')) {
      tokens.push_back(text.substr(start, i - start));
      start = i + 1;
    }
  }
  if (first) tokens.push_back(text.substr(start));
  return tokens;
}

std::vector<OpenGroup> groupsOpenAtEnd(std::string_view text) {
  std::vector<OpenGroup> open;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const char inner = open.empty() ? '\0' : open.back().opener;
    if (inner == '"' || inner == '\'') {
      if (c == inner) open.pop_back();
    } else if (opensGroup(c)) {
      open.push_back({c, i});
    } else if ((c == '}' && inner == '{') || (c == ')' && inner == '(')) {
      open.pop_back();
    }
  }
  return open;
}

void runSplitterSelfTest(Console& console) {
  static constexpr std::string_view kSample =
      "x = 5\n"
      "f = {\n"
      "    end (arg0 + 1)\n"
      "}\n"
      "$print$(\"a b\" 'c')\n";
  traceLine(console, "testing parser.");
  StatementList list = splitStatements(kSample, &console);
  traceLine(console, "parsed.");
  for (const Statement& s : list.statements) {
    traceLine(console, "<NS>");
    for (const Text& t : s) {
      console.write(t.view());
      traceLine(console, "<NE>");
    }
  }
  console.flush();
}

}  // namespace velk
