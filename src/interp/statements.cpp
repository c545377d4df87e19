// Compiling split statements: keywords, calls and assignments told apart once.
#include "interp/statements.h"

#include <string_view>
#include <unordered_map>
#include <utility>

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

// Short, and not a literal of a known first byte, a group, a block or a call:
// those are never bound as names in practice, and the long ones are rare.
constexpr size_t kMaxInternedBytes = 32;
// How many names the table holds at most. When it is full, the names that
// nothing but the table holds any more are dropped; if it is still full, new
// names come back as they are (unshared, which costs speed, never a result).
constexpr size_t kMaxInterned = 1 << 14;

bool mayName(const Text& token) {
  if (token.empty() || token.size() > kMaxInternedBytes) return false;
  char c = token.front();
  return c != '"' && c != '\'' && c != '(' && c != '{' && c != '$';
}

}  // namespace

Text internName(const Text& token) {
  if (!mayName(token)) return token;
  // Per thread, not per interpreter: programs are compiled where no
  // interpreter is at hand (a parsed form is kept beside its text, and any
  // interpreter on the thread may run it), and a Text's count is not atomic,
  // so the table cannot be the process's. What it holds changes no result,
  // only which equal names are one object. The keys view the bytes of the
  // Texts that the table holds.
  static thread_local std::unordered_map<std::string_view, Text> table;
  auto it = table.find(token.view());
  if (it != table.end()) return it->second;
  if (table.size() >= kMaxInterned) {
    // A sweep walks the whole table, so after one that left it nearly full
    // (a script binding very many names holds them all), the next quarter of
    // a table of new names comes back unshared before the table is swept
    // again: sweeping costs a few steps per name, never a table per name.
    static thread_local size_t refuseBeforeSweep = 0;
    if (refuseBeforeSweep > 0) {
      --refuseBeforeSweep;
      return token;
    }
    std::erase_if(table, [](const auto& entry) { return entry.second.soleHolder(); });
    if (table.size() >= kMaxInterned - kMaxInterned / 4) refuseBeforeSweep = kMaxInterned / 4;
    if (table.size() >= kMaxInterned) return token;
  }
  table.emplace(token.view(), token);
  return token;
}

namespace {

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
    program->statements.push_back(std::move(st));
  }
  return program;
}

}  // namespace velk
