// Compiled statements: a statement's tokens with its kind decided once, by its
// first token (a keyword, a call, or an assignment), and the operator and
// keyword tables that decide it.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "interp/call_syntax.h"
#include "interp/source_place.h"
#include "parse/splitter.h"
#include "support/ref.h"
#include "value/value.h"

namespace velk {

// The binary operators. Anything else in an operator position is Unknown and
// gives an "unspecified" Value.
enum class Op { Unknown, And, Or, Eq, Ne, Gt, Ge, Lt, Le, Add, Sub, Mul, Div, Member };
Op opFromText(std::string_view token);
// The operator's token ("+"), or empty for Unknown.
std::string_view opText(Op op);

enum class Keyword { None, Compare, Each, Until, End, Add, Remove, List, Where, Index, Exec, Also, Class };

// What a statement is, decided by its first token.
enum class StatementKind { Empty, Keyword, Call, Assignment };

class ExpressionForm;

class Program;
class Run;
struct CompiledStatement;

// What running a statement does, chosen once when it is compiled by its kind,
// keyword and shape (see statementHandler).
using StatementHandler = void (*)(Run& run, const CompiledStatement& st);

struct CompiledStatement {
  StatementKind kind = StatementKind::Empty;
  Keyword keyword = Keyword::None;
  StatementHandler handler = nullptr;
  std::vector<Text> tokens;  // the statement's tokens, empty ones removed
  // For an assignment with an operator token longer than one character: the
  // operator its first character names (`+=` adds).
  Op compoundOp = Op::Unknown;
  // The parsed form of the statement's expression operand (the value of an
  // assignment, the condition of `until` and `compare`, the value of `end`,
  // the collection of `each`, the value of `add` and `where`, the position
  // of `index` and `remove`),
  // remembered at its first run so that later runs need not look for it
  // beside the token. The form is kept beside the token, which this
  // statement holds, so it lives as long as the statement; null until then,
  // and always when forms are not kept.
  mutable const ExpressionForm* operandForm = nullptr;
  // The same for the body of `compare`: its statements, kept beside the body
  // token; null until its first run, and always when they are not kept.
  mutable const Program* bodyProgram = nullptr;
  // What looking an assignment's target (or the variable a list statement
  // names) up found in the outer and the local map of its last run.
  mutable LookupMemo targetMemos[2];
  // What looking the name a statement binds its output to (`index`'s and
  // `where`'s last operand, the name `list` and `class` bind) up in the
  // outer map found at its last run.
  mutable LookupMemo outputMemo;
  // A call statement's call syntax, remembered at its first run.
  mutable CallSyntaxRef callForm;
  // Where the statement starts, when its text has a place.
  SourcePlace place;
  std::string sourceText() const;  // for error reports
};

// A statement list ready to run. Shared: whoever runs one holds a reference,
// so that it outlives the run even if the text that carried it is dropped
// meanwhile (a function that reassigns its own variable).
class Program : public RefCounted {
 public:
  Program() = default;
  // Not copied: all, nonEmpty and loneEnd point into statements.
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;
  std::vector<CompiledStatement> statements;
  // The statements in order, and those that are not empty: an empty
  // statement does nothing but take a step, so a run that counts no steps
  // and writes no trace passes over them (see runStatements).
  std::span<const CompiledStatement* const> all, nonEmpty;
  // Both lists, one after the other, where the two spans lie.
  std::vector<const CompiledStatement*> order;
  // The first statement that is not empty, when it is an `end` with a value:
  // a body that does nothing but give that value (see loneValueEnd).
  const CompiledStatement* loneEnd = nullptr;
};
using ProgramRef = Ref<const Program>;

// `start` is where the text the list was split from starts, if it is known:
// each statement then gets the line it starts on, and each block among its
// tokens the line it opens on (see source_place.h).
ProgramRef compileProgram(const StatementList& list, SourcePlace start = {});

}  // namespace velk
