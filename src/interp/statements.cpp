// Compiling split statements: keywords, calls and assignments told apart once.
#include "interp/statements.h"

#include <string_view>
#include <utility>

#include "interp/executor.h"

namespace velk {
namespace {

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

constexpr std::pair<std::string_view, Op> kOps[] = {
    {"and", Op::And}, {"or", Op::Or}, {"==", Op::Eq},  {"!=", Op::Ne},  {">", Op::Gt},
    {">=", Op::Ge},   {"<", Op::Lt},  {"<=", Op::Le},  {"+", Op::Add},  {"-", Op::Sub},
    {"*", Op::Mul},   {"/", Op::Div}, {"->", Op::Member},
};

}  // namespace

Op opFromText(std::string_view token) {
  for (const auto& [name, op] : kOps)
    if (token == name) return op;
  return Op::Unknown;
}

std::string_view opText(Op op) {
  for (const auto& [name, o] : kOps)
    if (o == op) return name;
  return {};
}

std::string CompiledStatement::sourceText() const {
  std::string s;
  for (const Text& t : tokens) {
    if (!s.empty()) s += ' ';
    s += t.view();
  }
  return s;
}

ProgramRef compileProgram(const StatementList& list, SourcePlace start) {
  auto program = makeRef<Program>();
  program->statements.reserve(list.statements.size());
  for (const Statement& raw : list.statements) {
    CompiledStatement st;
    st.tokens.reserve(raw.size());
    for (const Text& t : raw)
      if (!t.empty()) st.tokens.push_back(internName(t));
    if (start) {
      // Each statement ends at a line end of its own, after those its groups
      // hold (a flat text has one statement). The tokens are read shared,
      // as names and operators are between compiles.
      st.place = start;
      placeBlocks(st.tokens, start, &raw == &list.statements.back());
      ++start.line;
    }
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
    st.handler = statementHandler(st);
    program->statements.push_back(std::move(st));
  }
  size_t busy = 0;
  for (const CompiledStatement& st : program->statements) busy += st.kind != StatementKind::Empty;
  std::vector<const CompiledStatement*>& order = program->order;
  order.reserve(program->statements.size() + busy);
  for (const CompiledStatement& st : program->statements) order.push_back(&st);
  for (const CompiledStatement& st : program->statements)
    if (st.kind != StatementKind::Empty) order.push_back(&st);
  program->all = std::span(order).first(program->statements.size());
  program->nonEmpty = std::span(order).last(busy);
  if (busy > 0) {
    const CompiledStatement& first = *program->nonEmpty.front();
    if (first.kind == StatementKind::Keyword && first.keyword == Keyword::End && first.tokens.size() > 1)
      program->loneEnd = &first;
  }
  return program;
}

}  // namespace velk
