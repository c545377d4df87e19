// The checker's walk: a text taken apart as running it would take it apart
// (statements, then expressions, terms, calls and their arguments, and the
// statements of every block), with the rules that find the traps along the
// way.
#include "check/checker.h"

#include <algorithm>
#include <cassert>
#include <cctype>
#include <map>
#include <set>
#include <utility>

#include "builtins/registry.h"
#include "interp/evaluator_interface.h"
#include "parse/group_ends.h"
#include "parse/splitter.h"
#include "support/error.h"
#include "support/near_names.h"

namespace velk {
namespace {

// What each keyword takes, one letter per operand: `e` an expression, `b` a
// body (a block that runs), `n` the name of a variable that must exist, `o`
// a name that the statement binds.
struct Form {
  std::string_view keyword;
  std::string_view operands;
  const char* described;  // what the operands are, for the leftover warning
};
constexpr Form kForms[] = {
    {"compare", "eb", "a condition and a body"},
    {"each", "eb", "a collection and a body"},
    {"until", "eb", "a condition and a body"},
    {"end", "e", "one value"},
    {"add", "ne", "a list's name and one value"},
    {"remove", "ne", "a list's name and a position"},
    {"list", "o", "one name"},
    {"where", "neo", "a list's name, a value and a name for the position"},
    {"index", "neo", "a name, a position and a name for the element"},
    {"exec", "e", "one text"},
    {"also", "e", "one script name"},
    {"class", "ob", "a name and a block"},
};

constexpr std::string_view kOperators[] = {"and", "or", "==", "!=", ">", ">=", "<", "<=", "+", "-", "*", "/", "->"};

// What a token that is no operator was likely meant to be.
constexpr std::pair<std::string_view, std::string_view> kMeantOperators[] = {
    {"=", "=="},  {"===", "=="}, {"=<", "<="}, {"=>", ">="},  {"<>", "!="}, {"=!", "!="},
    {"!==", "!="}, {"&&", "and"}, {"&", "and"}, {"||", "or"}, {"|", "or"},  {"AND", "and"},
    {"And", "and"}, {"OR", "or"},  {"Or", "or"},  {"NOT", "not"}, {"Not", "not"},
};

std::string_view meantOperator(std::string_view token) {
  for (const auto& [written, meant] : kMeantOperators)
    if (token == written) return meant;
  return std::string_view();
}

// The assignment operators that do what they read as: an operator token
// longer than one byte counts by its first byte alone, and one of a single
// byte, whatever it is, assigns plainly.
constexpr std::string_view kAssignmentOperators[] = {"=", "+=", "-=", "*=", "/="};

// Texts nested deeper than this are not looked into: the walk's recursion
// stays bounded whatever the input, and no script nests so deep.
constexpr int kMaxDepth = 128;

const std::set<std::string, std::less<>>& builtinNames() {
  static const std::set<std::string, std::less<>> names = [] {
    BuiltinTable table;
    registerBuiltins(table);
    std::set<std::string, std::less<>> out;
    for (const auto& entry : table.entries()) out.insert(entry.first);
    return out;
  }();
  return names;
}

bool isBuiltin(std::string_view name) { return builtinNames().count(name) > 0; }

const Form* formOf(std::string_view token) {
  for (const Form& f : kForms)
    if (token == f.keyword) return &f;
  return nullptr;
}

bool isOperator(std::string_view token) {
  return std::find(std::begin(kOperators), std::end(kOperators), token) != std::end(kOperators);
}

// A binary operator's one-byte name: what an assignment operator's first
// byte applies.
bool isOperatorByte(char c) { return c == '+' || c == '-' || c == '*' || c == '/' || c == '<' || c == '>'; }

// Made of punctuation alone, as an operator is; a token with a letter, a
// digit, a quote or a group in it is a term.
bool looksLikeOperator(std::string_view token) {
  if (token.empty()) return false;
  for (unsigned char c : token)
    if (!std::ispunct(c) || c == '"' || c == '\'' || c == '(' || c == '{' || c == '$' || c == '_') return false;
  return true;
}

// What starts a comment in many languages; VELK has none.
bool opensComment(std::string_view token) { return token[0] == '#' || token.substr(0, 2) == "//"; }

// A name as a call names its callee: no group, quote or blank in it, and not
// a number.
bool isPlainName(std::string_view name) {
  if (name.empty() || std::isdigit(static_cast<unsigned char>(name[0]))) return false;
  return name.find_first_of("\"'(){} \t\n") == std::string_view::npos;
}

// Names that a run binds without any statement of the text: a call's
// arguments and the element of `each`.
bool isImplicitName(std::string_view name) {
  if (name == "element") return true;
  return name.size() > 3 && name.substr(0, 3) == "arg" &&
         name.find_first_not_of("0123456789", 3) == std::string_view::npos;
}

// The length of the number that a term reads as (a sign, digits and, in a
// term with a ".", a fraction), or 0 when it reads as none. `1+2` reads 1.
size_t numberPrefix(std::string_view term) {
  if (term.empty() || term[0] == '$' || term[0] == '(' || term[0] == '{' || term[0] == '"' || term[0] == '\'')
    return 0;
  const bool fraction = term.find('.') != std::string_view::npos;
  size_t i = term[0] == '+' || term[0] == '-' ? 1 : 0;
  auto digits = [&] {
    size_t from = i;
    while (i < term.size() && std::isdigit(static_cast<unsigned char>(term[i]))) ++i;
    return i > from;
  };
  bool whole = digits();
  bool part = false;
  if (fraction && i < term.size() && term[i] == '.') {
    ++i;
    part = digits();
  }
  return whole || part ? i : 0;
}

// A text short enough to quote in a message.
std::string shown(std::string_view text) {
  size_t end = text.find('\n');
  if (end == std::string_view::npos && text.size() <= 30) return std::string(text);
  return std::string(text.substr(0, std::min<size_t>({end, text.size(), 24}))) + "...";
}

std::string quoted(std::string_view text) { return "`" + shown(text) + "`"; }

// The nearest of `candidates` to `word`, or empty (see NearestName).
template <typename Names>
std::string nearest(std::string_view word, const Names& candidates) {
  NearestName near(word);
  for (std::string_view c : candidates) near.consider(c);
  return near.best();
}

std::string nearestKeyword(std::string_view word) {
  std::vector<std::string_view> keywords;
  for (const Form& f : kForms) keywords.push_back(f.keyword);
  return nearest(word, keywords);
}

using Line = std::vector<std::string_view>;

// The statements of `text` as views of it: the splitter's tokens, each found
// where it stands. A token is one stretch of the text; between two tokens of
// a statement stands the one blank that ended the first, and between two
// statements the line end and the indentation that the splitter skips.
std::vector<Line> locate(std::string_view text, const StatementList& list) {
  std::vector<Line> out;
  size_t at = 0;
  for (size_t s = 0; s < list.statements.size(); ++s) {
    if (s > 0)
      while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
    Line& line = out.emplace_back();
    for (const Text& token : list.statements[s]) {
      at = std::min(at, text.size());
      assert(text.substr(at, token.size()) == token.view());
      line.push_back(text.substr(at, token.size()));
      at += token.size() + 1;
    }
  }
  return out;
}

// What one walk learns, shared with the walks of the scripts it loads.
struct Learnt {
  std::set<std::string, std::less<>> bound;   // names some statement binds
  std::set<std::string, std::less<>> loaded;  // scripts walked for `also`
  std::set<std::string, std::less<>> mentioned;  // words of string literals
  bool anyName = false;  // computed code runs, and may bind any name
  struct Call {
    std::string_view name;
    const char* at;
  };
  std::vector<Call> calls;  // of names neither builtin nor implicit
};

struct Finding {
  const char* at;
  std::string message;
};

class Walk {
 public:
  // Without `findings`, the walk only learns the names (a loaded script).
  Walk(const CheckOptions& options, Learnt& learnt, std::vector<Finding>* findings)
      : options_(options), learnt_(learnt), findings_(findings) {}

  void statements(std::string_view text, int depth) {
    if (depth > kMaxDepth) return;
    for (const Line& line : split(text)) statement(line, depth);
  }

 private:
  void warn(std::string_view where, std::string message) {
    if (findings_) findings_->push_back({where.data(), std::move(message)});
  }

  // The statements of `text`. When a group is left open, that is reported
  // where it opens, and the statements before the one it opens in are
  // still walked.
  std::vector<Line> split(std::string_view text) {
    try {
      return locate(text, splitStatements(text));
    } catch (const OpenGroupError& e) {
      const size_t open = e.offset();
      static constexpr std::pair<char, const char*> kGroups[] = {
          {'"', "a double-quoted string"}, {'\'', "a single-quoted string"},
          {'{', "a brace block"}, {'(', "a parenthesis"}};
      const char* kind = "a group";
      for (const auto& [c, name] : kGroups)
        if (text[open] == c) kind = name;
      warn(text.substr(open), "`" + std::string(1, text[open]) + "` opens " + kind + " that is never closed: " +
                                  "the text ends inside it, and " +
                                  (options_.typedAtPrompt ? "the line stops there" : "velk stops there with status 51"));
      size_t start = 0;
      for (size_t end = statementEnd(text, 0); end < open; end = statementEnd(text, start)) start = end + 1;
      if (start == 0) return {};
      return split(text.substr(0, start - 1));
    }
  }

  void statement(const Line& raw, int depth) {
    Line t;
    for (std::string_view token : raw)
      if (!token.empty()) t.push_back(token);
    if (t.empty()) return;
    if (const Form* form = formOf(t[0])) return keywordStatement(*form, t, depth);
    if (t[0][0] == '$') {
      call(t[0], depth);
      if (t.size() > 1) {
        if (t[0].back() == '$' && t[1][0] == '(')
          warn(t[1], "a blank between a call and its arguments: they are left out of the call; write `" +
                         shown(std::string(t[0]) + std::string(t[1])) + "`");
        else
          leftover(t[1], "a call statement is the call alone");
      }
      return;
    }
    assignment(t, depth);
  }

  void keywordStatement(const Form& form, const Line& t, int depth) {
    const size_t given = std::min(t.size() - 1, form.operands.size());
    for (size_t i = 0; i < given; ++i) {
      std::string_view operand = t[i + 1];
      switch (form.operands[i]) {
        case 'e': expression(operand, depth + 1); break;
        case 'b':
          if (operand[0] == '{') statements(inner(operand), depth + 1);
          break;
        case 'o': learnt_.bound.insert(std::string(operand)); break;
        default: break;
      }
    }
    if (t.size() - 1 > form.operands.size()) {
      std::string why = "`" + std::string(form.keyword) + "` takes " + form.described;
      if (form.operands.back() == 'e') why += "; write `" + shown(rewritten(t, given)) + "`";
      leftover(t[given + 1], why);
    }
    if (form.keyword == "exec" && given == 1) {
      if (auto code = literalText(t[1]))
        statements(*code, depth + 1);
      else
        learnt_.anyName = true;
    }
    if (form.keyword == "also" && given == 1) load(t[1], depth);
  }

  // The statement with its tokens from `last` on joined in one group: what
  // was meant when the leftover tokens were to be part of the value.
  static std::string rewritten(const Line& t, size_t last) {
    std::string s;
    for (size_t i = 0; i < last; ++i) s += std::string(t[i]) + " ";
    s += "(";
    for (size_t i = last; i < t.size(); ++i) s += std::string(t[i]) + (i + 1 < t.size() ? " " : "");
    return s + ")";
  }

  // `also`: the names the script binds are the text's too.
  void load(std::string_view operand, int depth) {
    std::optional<std::string_view> name = literalText(operand);
    if (!name || !options_.loadScript) {
      learnt_.anyName = true;
      return;
    }
    if (!learnt_.loaded.insert(std::string(*name)).second) return;
    std::optional<std::string> script = options_.loadScript(*name);
    if (!script) {
      learnt_.anyName = true;
      return;
    }
    Walk(options_, learnt_, nullptr).statements(*script, depth + 1);
  }

  void assignment(const Line& t, int depth) {
    std::string_view target = t[0];
    if (opensComment(target)) {
      warn(target, "the language has no comments: this line is an assignment to a variable named " + quoted(target));
      return;
    }
    if (t.size() == 1) {
      if (options_.typedAtPrompt) {
        expression(target, depth + 1);
      } else if (std::string keyword = nearestKeyword(target); !keyword.empty()) {
        warn(target, quoted(target) + " is no keyword, and alone on its line it is no statement" + didYouMean(keyword));
      }
      return;
    }
    std::string_view op = t[1];
    if (!looksLikeOperator(op)) {
      std::string keyword = nearestKeyword(target);
      if (!keyword.empty()) {
        warn(target, quoted(target) + " is no keyword, so this line is an assignment to a variable named " +
                         quoted(target) + " and does nothing visible" + didYouMean(keyword));
        return;
      }
      if (isBuiltin(target)) {
        warn(target, "this line is an assignment to a variable named " + quoted(target) +
                         "; to call the builtin, write `$" + std::string(target) + "$(...)`");
        return;
      }
    }
    bool targetProblem = false;
    if (target[0] == '"' || target[0] == '\'' || numberPrefix(target) > 0) {
      const char* reads = target[0] == '"' || target[0] == '\'' ? "a string" : "a number";
      warn(target, "the target " + quoted(target) + " reads as " + reads +
                       ": this assigns to a variable of that name, which hides the literal from then on");
      targetProblem = true;
    }
    if (target[0] != '(' && target[0] != '{') learnt_.bound.insert(std::string(target));
    if (t.size() == 2) return;
    std::string_view value = t[2];
    if (!targetProblem) assignmentOperator(target, op, value);
    expression(value, depth + 1);
    if (t.size() > 3)
      leftover(t[3], "an assignment takes one value, so " + quoted(target) + " gets " + quoted(value) + "; write `" +
                         shown(rewritten(t, 2)) + "`");
  }

  // Tokens a statement ignores, from `token` on.
  void leftover(std::string_view token, const std::string& why) {
    warn(token, quoted(token) + " and what follows are ignored: " +
                    (opensComment(token) ? std::string("the language has no comments") : why));
  }

  void assignmentOperator(std::string_view target, std::string_view op, std::string_view value) {
    if (std::find(std::begin(kAssignmentOperators), std::end(kAssignmentOperators), op) !=
        std::end(kAssignmentOperators))
      return;
    const std::string name(target), v = shown(value);
    if (op.size() == 1) {
      std::string hint = isOperatorByte(op[0]) ? didYouMean(name + " " + std::string(op) + "= " + v) : std::string();
      warn(op, quoted(op) + " is no assignment operator: one of a single character assigns as `=` does, so `" + name +
                   "` gets `" + v + "`" + hint);
    } else if (isOperatorByte(op[0])) {
      warn(op, "only the first character of " + quoted(op) + " counts: `" + name + "` gets `(" + name + " " + op[0] +
                   " " + v + ")`");
    } else {
      std::string_view meant = isOperator(op) ? op : meantOperator(op);
      std::string hint;
      if (meant == "==" || meant == "!=" || meant == "<=" || meant == ">=")
        hint = "; to compare, write `(" + name + " " + std::string(meant) + " " + v + ")`";
      if (op == ":=") hint = didYouMean(name + " = " + v);
      warn(op, quoted(op) + " is no assignment operator: `" + name + "` becomes unspecified" + hint);
    }
  }

  // The text between a token's first and last byte, as a view of the token.
  static std::string_view inner(std::string_view token) {
    return token.substr(1, token.size() >= 2 ? token.size() - 2 : 0);
  }

  // The text of a string literal, alone or alone in a group, or nothing for
  // a value that only running can tell.
  std::optional<std::string_view> literalText(std::string_view token) {
    if (token.size() >= 2 && (token[0] == '"' || token[0] == '\'')) return inner(token);
    if (token[0] != '(') return std::nullopt;
    try {
      std::vector<std::string_view> terms = firstStatementViews(inner(token));
      if (terms.size() == 1 && terms[0].size() >= 2 && (terms[0][0] == '"' || terms[0][0] == '\''))
        return inner(terms[0]);
    } catch (const OpenGroupError&) {
    }
    return std::nullopt;
  }

  // Only the first line of an expression's or an argument list's text
  // counts.
  void laterLinesIgnored(const std::vector<Line>& lines) {
    for (size_t s = 1; s < lines.size(); ++s)
      for (std::string_view token : lines[s])
        if (!token.empty()) {
          warn(token, quoted(token) + " is ignored: only the first line of an expression or argument list counts");
          return;
        }
  }

  void expression(std::string_view token, int depth) {
    if (depth > kMaxDepth || token.empty()) return;
    if (token[0] != '(') return term(token, depth);
    const std::vector<Line> lines = split(inner(token));
    if (lines.empty()) return;
    laterLinesIgnored(lines);
    const Line& t = lines[0];
    bool wantTerm = true;
    for (size_t i = 0; i < t.size(); ++i) {
      std::string_view part = t[i];
      if (wantTerm) {
        if (part == "not" && i + 1 < t.size()) continue;
        if (part.empty()) {
          warn(part, "an empty term: a blank just inside the parenthesis, or two blanks in a row, make one, and it "
                      "reads as no number");
          return;
        }
        term(part, depth + 1);
      } else if (part.empty()) {
        if (i + 1 == t.size()) break;  // a blank before the closing parenthesis is harmless
        warn(part, "two blanks in a row: the empty token between them stands where an operator belongs, and "
                    "the terms and operators after it are out of step");
        return;
      } else if (!isOperator(part)) {
        warn(part, quoted(part) + " is no operator: this operation gives an unspecified value" +
                       didYouMean(meantOperator(part)));
      }
      wantTerm = !wantTerm;
    }
  }

  void term(std::string_view token, int depth) {
    switch (token[0]) {
      case '$': return call(token, depth);
      case '(': return expression(token, depth);
      case '{': return statements(inner(token), depth + 1);
      case '"':
      case '\'': return mention(inner(token));
      default: break;
    }
    const size_t number = numberPrefix(token);
    if (number == 0 || number == token.size()) return;
    const char after = token[number];
    if (!isOperatorByte(after) && after != '=' && after != '!') return;
    warn(token, quoted(token) + " reads as the number " + std::string(token.substr(0, number)) +
                    ": an operator needs a blank on each side" + spacedOut(token, number));
  }

  // The words of a string literal may become names (a function's
  // parameter names are given as strings), so a call of one is not
  // reported.
  void mention(std::string_view text) {
    static constexpr std::string_view kApart = " \t\n\"'(){}[],$";
    for (size_t i = text.find_first_not_of(kApart); i != std::string_view::npos;) {
      size_t end = std::min(text.find_first_of(kApart, i), text.size());
      learnt_.mentioned.insert(std::string(text.substr(i, end - i)));
      i = text.find_first_not_of(kApart, end);
    }
  }

  // `; write (1 + 2)` for `1+2`, when the term is numbers joined by
  // operators; empty otherwise.
  static std::string spacedOut(std::string_view term, size_t number) {
    std::string out(term.substr(0, number));
    size_t i = number;
    while (i < term.size()) {
      size_t opEnd = term.find_first_not_of("+-*/<>=!", i);
      std::string_view op = term.substr(i, opEnd - i);
      if (!isOperator(op) || opEnd == std::string_view::npos) return std::string();
      size_t next = numberPrefix(term.substr(opEnd));
      if (next == 0) return std::string();
      out += " " + std::string(op) + " " + std::string(term.substr(opEnd, next));
      i = opEnd + next;
    }
    return ", as in `(" + out + ")`";
  }

  void call(std::string_view token, int depth) {
    if (depth > kMaxDepth) return;
    const size_t nameEnd = std::min(token.find('$', 1), token.size());
    std::string_view name = token.substr(1, nameEnd - 1);
    if (name.empty()) return;
    const bool builtin = isBuiltin(name);
    if (name[0] == '(')
      expression(name, depth + 1);
    else if (!builtin && isPlainName(name) && !isImplicitName(name) && findings_)
      learnt_.calls.push_back({name, token.data()});
    if (nameEnd + 1 >= token.size() || token[nameEnd + 1] != '(') return;
    const size_t close = GroupEnds(nullptr, token).closeOf(nameEnd + 1);
    if (close == std::string_view::npos) return;
    const std::vector<Line> lines = split(token.substr(nameEnd + 2, close - nameEnd - 2));
    if (lines.empty()) return;
    laterLinesIgnored(lines);
    const Line& args = lines[0];
    if (args.size() == 1 && args[0].empty()) {
      if (!builtin)
        warn(token, quoted(token) + " passes one empty argument, which reads as no number; write `$" +
                        std::string(name) + "` to call without arguments");
      return;
    }
    for (std::string_view arg : args) {
      if (arg.empty())
        warn(arg, "an empty argument: a blank just inside the parenthesis, or two blanks in a row, make one");
      else
        expression(arg, depth + 1);
    }
  }

  const CheckOptions& options_;
  Learnt& learnt_;
  std::vector<Finding>* findings_;
};

// The text as `velk FILE` runs it: without a first line starting with "#!".
std::string_view scriptPart(std::string_view text, const CheckOptions& options) {
  if (!options.skipShebang || text.substr(0, 2) != "#!") return text;
  size_t end = text.find('\n');
  return end == std::string_view::npos ? text.substr(text.size()) : text.substr(end + 1);
}

}  // namespace

std::vector<CheckWarning> checkText(std::string_view text, const CheckOptions& options) {
  Learnt learnt;
  std::vector<Finding> findings;
  Walk(options, learnt, &findings).statements(scriptPart(text, options), 0);

  if (!learnt.anyName) {
    // Looking for a near name costs a comparison with every name; a text
    // that calls very many unknown names gets the suggestions from the
    // builtins alone once the budget is spent, so that checking it stays
    // quick.
    std::vector<std::string_view> everyName(builtinNames().begin(), builtinNames().end());
    everyName.insert(everyName.end(), learnt.bound.begin(), learnt.bound.end());
    everyName.insert(everyName.end(), options.knownNames.begin(), options.knownNames.end());
    const std::vector<std::string_view> builtins(builtinNames().begin(), builtinNames().end());
    const std::set<std::string_view> known(options.knownNames.begin(), options.knownNames.end());
    size_t budget = size_t{1} << 21;
    std::map<std::string_view, std::string> meant;  // per name called
    for (const Learnt::Call& c : learnt.calls) {
      if (learnt.bound.count(c.name) || learnt.mentioned.count(c.name) || known.count(c.name)) continue;
      auto [it, fresh] = meant.try_emplace(c.name);
      if (fresh) {
        const bool affordable = budget >= everyName.size();
        it->second = nearest(c.name, affordable ? everyName : builtins);
        if (affordable) budget -= everyName.size();
      }
      findings.push_back({c.at, "`$" + shown(c.name) + "` calls " + quoted(c.name) +
                                    ", which is no builtin and is never assigned here" + didYouMean(it->second)});
    }
  }

  std::stable_sort(findings.begin(), findings.end(), [](const Finding& a, const Finding& b) { return a.at < b.at; });
  std::vector<CheckWarning> warnings;
  size_t line = 1, lineStart = 0, scanned = 0;
  for (Finding& f : findings) {
    const size_t at = std::min(static_cast<size_t>(f.at - text.data()), text.size());
    for (; scanned < at; ++scanned)
      if (text[scanned] == '\n') ++line, lineStart = scanned + 1;
    warnings.push_back({line, at - lineStart + 1, std::move(f.message)});
  }
  return warnings;
}

std::vector<std::string> namesBoundBy(std::string_view text, const CheckOptions& options) {
  Learnt learnt;
  Walk(options, learnt, nullptr).statements(scriptPart(text, options), 0);
  return std::vector<std::string>(learnt.bound.begin(), learnt.bound.end());
}

}  // namespace velk
