// Making the parsed forms of texts, and keeping them beside the texts.
#include "interp/forms.h"

#include <memory>

#include "value/error.h"
#include "value/numbers.h"

namespace velk {
namespace {

// Everything known about one text. Each form is made the first time it is
// asked for.
class TextForms : public TextAttachment {
 public:
  ProgramRef whole;
  ProgramRef inner;
  ExprFormRef expr;
  ExprFormRef memberPath;
  CallFormRef call;
  bool hasTerm = false;
  TermForm term;
  bool hasOp = false;
  Op op = Op::Unknown;
};

// The forms of a non-empty text. The empty text has no representation to
// carry them; its forms are kept here instead.
TextForms& formsOf(const Text& text) {
  if (text.empty()) {
    static TextForms forEmpty;
    return forEmpty;
  }
  const TextRep* rep = text.rep();
  if (!rep->attachment) rep->attachment = std::make_unique<TextForms>();
  return static_cast<TextForms&>(*rep->attachment);
}

struct KeywordEntry {
  const char* word;
  Keyword keyword;
};
// The twelve reserved statement keywords; case matters.
constexpr KeywordEntry kKeywords[] = {
    {"compare", Keyword::Compare}, {"each", Keyword::Each},   {"until", Keyword::Until},
    {"end", Keyword::End},         {"add", Keyword::Add},     {"remove", Keyword::Remove},
    {"list", Keyword::List},       {"where", Keyword::Where}, {"index", Keyword::Index},
    {"exec", Keyword::Exec},       {"also", Keyword::Also},   {"class", Keyword::Class},
};

Keyword keywordOf(std::string_view token) {
  for (const KeywordEntry& k : kKeywords)
    if (token == k.word) return k.keyword;
  return Keyword::None;
}

std::string joinPieces(const std::vector<std::string_view>& pieces, size_t from, bool skipL) {
  std::string out;
  for (size_t i = from; i < pieces.size(); ++i) {
    if (skipL && !pieces[i].empty() && pieces[i][0] == 'L') continue;
    out += '$';
    out += pieces[i];
  }
  return out;
}

std::vector<Text> firstStatementTokens(std::string_view text) {
  StatementListRef split = splitStatements(text);
  return split->statements.front();
}

[[noreturn]] void malformedCall(const Text& callText, const char* what) {
  fail("malformed call", std::string(what) + " in " + quoteForReport(callText.view()));
}

// The argument text of a rejoined "$(...)" part: without "$(" and the last byte.
std::string_view cutArgumentPart(const std::string& rejoined, const Text& callText) {
  if (rejoined.size() < 3) malformedCall(callText, "the argument list is not written as $(...)");
  return std::string_view(rejoined).substr(2, rejoined.size() - 3);
}

// The import text of a rejoined "$L(...)" part: without "$L(" and the last byte.
std::string_view cutImportPart(std::string_view rejoined, const Text& callText) {
  if (rejoined.size() < 4) malformedCall(callText, "the import list is not written as $L(...)");
  return rejoined.substr(3, rejoined.size() - 4);
}

}  // namespace

std::string CompiledStatement::sourceText() const {
  std::string s;
  for (const Text& t : tokens) {
    if (!s.empty()) s += ' ';
    s += t.view();
  }
  return s;
}

ProgramRef compileProgram(const StatementList& list) {
  auto program = makeRef<Program>();
  program->statements.reserve(list.statements.size());
  for (const Statement& raw : list.statements) {
    CompiledStatement st;
    for (const Text& t : raw)
      if (!t.empty()) st.tokens.push_back(t);
    if (!st.tokens.empty()) {
      const Text& first = st.tokens.front();
      st.keyword = keywordOf(first.view());
      if (st.keyword != Keyword::None)
        st.kind = StatementKind::Keyword;
      else if (first.front() == '$')
        st.kind = StatementKind::Call;
      else
        st.kind = StatementKind::Assignment;
      if (st.kind == StatementKind::Assignment && st.tokens.size() > 1 && st.tokens[1].size() > 1)
        st.compoundOp = opFromText(st.tokens[1].view().substr(0, 1));
    }
    program->statements.push_back(std::move(st));
  }
  return program;
}

ProgramRef wholeProgram(const Text& text) {
  TextForms& f = formsOf(text);
  if (!f.whole) f.whole = compileProgram(*splitStatements(text.view()));
  return f.whole;
}

ProgramRef innerProgram(const Text& text, const char* what) {
  if (text.size() < 2)
    fail("malformed " + std::string(what),
         quoteForReport(text.view()) + " is too short to hold a block between two delimiters");
  TextForms& f = formsOf(text);
  if (!f.inner) f.inner = compileProgram(*splitStatements(text.view().substr(1, text.size() - 2)));
  return f.inner;
}

ExprFormRef exprForm(const Text& text) {
  TextForms& f = formsOf(text);
  if (!f.expr) {
    std::string_view body = text.view();
    if (!body.empty() && body.front() == '(') {
      // The first byte and the last, whatever it is; "(" alone leaves nothing.
      body = body.size() >= 2 ? body.substr(1, body.size() - 2) : std::string_view();
    }
    auto form = makeRef<ExprForm>();
    form->tokens = firstStatementTokens(body);
    f.expr = form;
  }
  return f.expr;
}

ExprFormRef memberPathForm(const Text& target) {
  TextForms& f = formsOf(target);
  if (!f.memberPath) {
    auto form = makeRef<ExprForm>();
    std::string_view v = target.view();
    form->tokens = firstStatementTokens(v.size() >= 2 ? v.substr(1, v.size() - 2) : std::string_view());
    f.memberPath = form;
  }
  return f.memberPath;
}

const TermForm& termForm(const Text& term) {
  TextForms& f = formsOf(term);
  if (!f.hasTerm) {
    TermForm t;
    char first = term.empty() ? '\0' : term.front();
    if (first == '$') {
      t.kind = TermKind::Call;
    } else if (first == '(') {
      t.kind = TermKind::Group;
    } else if (first == '{') {
      t.kind = TermKind::Block;
    } else if (first == '"' || first == '\'') {
      // No escapes, and no check that the last byte closes what the first opened.
      t.literal = Value::string(term.size() >= 2 ? term.sub(1, term.size() - 2) : Text());
    } else {
      try {
        if (term.view().find('.') != std::string_view::npos)
          t.literal = Value::floating(readFloat(term.str()));
        else
          t.literal = Value::integer(readInteger(term.view()));
      } catch (const VelkError&) {
        t.kind = TermKind::BadNumber;
      }
    }
    f.term = std::move(t);
    f.hasTerm = true;
  }
  return f.term;
}

Op opFromText(std::string_view token) {
  static const std::pair<std::string_view, Op> kOps[] = {
      {"and", Op::And}, {"or", Op::Or}, {"==", Op::Eq},  {"!=", Op::Ne},  {">", Op::Gt},
      {">=", Op::Ge},   {"<", Op::Lt},  {"<=", Op::Le},  {"+", Op::Add},  {"-", Op::Sub},
      {"*", Op::Mul},   {"/", Op::Div}, {"->", Op::Member},
  };
  for (const auto& [name, op] : kOps)
    if (token == name) return op;
  return Op::Unknown;
}

Op opForm(const Text& token) {
  TextForms& f = formsOf(token);
  if (!f.hasOp) {
    f.op = opFromText(token.view());
    f.hasOp = true;
  }
  return f.op;
}

CallFormRef callForm(const Text& callText) {
  TextForms& f = formsOf(callText);
  if (f.call) return f.call;
  auto form = makeRef<CallForm>();
  std::string_view whole = callText.view();
  std::vector<std::string_view> pieces = splitAtDollar(whole.substr(whole.empty() ? 0 : 1));
  if (!pieces.empty()) {
    form->hasName = true;
    form->name = Text(pieces.front());
    form->builtin = findBuiltin(pieces.front());
    if (form->builtin && pieces.size() > 1) {
      // A builtin's argument text is every later piece joined again, so a "$"
      // inside it (a nested call, a string) is harmless.
      form->hasArgs = true;
      std::string rejoined = joinPieces(pieces, 1, false);
      form->args = firstStatementTokens(cutArgumentPart(rejoined, callText));
    }
  }
  f.call = form;
  return f.call;
}

// The parts of a user-function call. The argument part is the group after the
// callee's "$(", the import part a final "$L(...)". Pieces cut at every "$"
// are joined back as the argument text, except pieces that begin with "L",
// which form the import list; that reading is kept for every call whose
// argument group holds no "$". When the group does hold one (a nested call, a
// "$" in a string), the group is taken whole by its parentheses instead, so
// that the nested call's pieces are not mistaken for an import list.
const CallForm::UserParts& CallForm::userParts(const Text& callText) const {
  if (userParsed_) return user_;
  UserParts parts;
  std::string_view whole = callText.view();
  size_t afterName = 1 + name.size();

  size_t close = std::string_view::npos;
  if (afterName + 1 < whole.size() && whole[afterName] == '$' && whole[afterName + 1] == '(') {
    size_t depth = 0;
    for (size_t i = afterName + 1; i < whole.size(); ++i) {
      if (whole[i] == '(') ++depth;
      else if (whole[i] == ')' && --depth == 0) {
        close = i;
        break;
      }
    }
  }
  std::string_view group;
  if (close != std::string_view::npos) group = whole.substr(afterName + 2, close - afterName - 2);

  if (close != std::string_view::npos && group.find('$') != std::string_view::npos) {
    parts.hasArgs = true;
    parts.args = firstStatementTokens(group);
    std::string_view rest = whole.substr(close + 1);
    if (!rest.empty() && rest != "$") {
      if (rest.size() < 2 || rest[0] != '$' || rest[1] != 'L')
        malformedCall(callText, "only an import list $L(...) may follow the argument list");
      parts.restricted = true;
      parts.imports = firstStatementTokens(cutImportPart(rest, callText));
    }
  } else {
    std::vector<std::string_view> pieces = splitAtDollar(whole.substr(1));
    std::vector<std::string_view> rest(pieces.begin() + 1, pieces.end());
    if (!rest.empty()) {
      std::string argPart = joinPieces(rest, 0, true);
      if (argPart.empty()) {
        // Only an import part (`$f$L(g)`): a call without arguments, restricted.
        parts.restricted = true;
        std::string importPart = joinPieces(rest, 0, false);
        parts.imports = firstStatementTokens(cutImportPart(importPart, callText));
      } else {
        parts.hasArgs = true;
        parts.args = firstStatementTokens(cutArgumentPart(argPart, callText));
        rest.erase(rest.begin());  // the argument piece
        if (!rest.empty()) {
          parts.restricted = true;
          std::string importPart = joinPieces(rest, 0, false);
          parts.imports = firstStatementTokens(cutImportPart(importPart, callText));
        }
      }
    }
  }
  user_ = std::move(parts);
  userParsed_ = true;
  return user_;
}

std::vector<std::string_view> splitAtDollar(std::string_view text) {
  std::vector<std::string_view> pieces;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '$') {
      pieces.push_back(text.substr(start, i - start));
      start = i + 1;
    }
  }
  if (start < text.size()) pieces.push_back(text.substr(start));
  return pieces;
}

}  // namespace velk
