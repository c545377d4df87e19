// Parsed forms kept beside a text.
//
// The language splits source again whenever it runs: a block at every run, a
// parenthesised token at every evaluation, a call's argument list at every
// call. Each of these parses depends on nothing but the bytes of the text, and
// texts never change, so each is made once, attached to the text's shared
// representation, and found there by every later run: a function body is split
// at its first call and never again, however many copies of the func Value
// exist. The forms are immutable and reference-counted; whoever runs one holds
// a reference, so that the form outlives the run even if the text that carried
// it is dropped meanwhile (a function that reassigns its own variable).
//
// Parsing still happens exactly when the uncached interpreter would do it, so
// a text that ends inside an open group ends the process at the same moment.
#pragma once

#include <string_view>
#include <vector>

#include "builtins/registry.h"
#include "parse/splitter.h"
#include "value/value.h"

namespace velk {

// The binary operators. Anything else in an operator position is Unknown and
// gives an "unspecified" Value.
enum class Op { Unknown, And, Or, Eq, Ne, Gt, Ge, Lt, Le, Add, Sub, Mul, Div, Member };
Op opFromText(std::string_view token);

enum class Keyword { None, Compare, Each, Until, End, Add, Remove, List, Where, Index, Exec, Also, Class };

// What a statement is, decided by its first token.
enum class StatementKind { Empty, Keyword, Call, Assignment };

struct CompiledStatement {
  StatementKind kind = StatementKind::Empty;
  Keyword keyword = Keyword::None;
  std::vector<Text> tokens;  // the statement's tokens, empty ones removed
  // For an assignment with an operator token longer than one character: the
  // operator its first character names (`+=` adds).
  Op compoundOp = Op::Unknown;
  // The operand tokens: everything after the keyword, or the whole statement.
  size_t operandStart() const { return kind == StatementKind::Keyword ? 1 : 0; }
  std::string sourceText() const;  // for error reports
};

// A statement list ready to run.
class Program : public RefCounted {
 public:
  std::vector<CompiledStatement> statements;
};
using ProgramRef = Ref<const Program>;


// The token list of an expression: the first statement of its split, after
// "(" and the last byte were cut from a text that starts with "(".
class ExprForm : public RefCounted {
 public:
  std::vector<Text> tokens;
};
using ExprFormRef = Ref<const ExprForm>;

// What a term is when no variable bears its name.
// BadNumber: a number term that does not read; reading it again raises the
// error at the moment the term is evaluated.
enum class TermKind { Call, Group, Block, Literal, BadNumber };

struct TermForm {
  TermKind kind = TermKind::Literal;
  Value literal;  // a string, integer or float literal
};

// A call text taken apart. The argument and import parts of a user-function
// call are parsed only when the call gets that far (after its callee has been
// evaluated), as the uncached interpreter would.
class CallForm : public RefCounted {
 public:
  bool hasName = false;
  Text name;                         // the first piece: the callee term
  BuiltinHandler builtin = nullptr;  // set when the name is a builtin
  bool hasArgs = false;              // the call has an argument list
  std::vector<Text> args;            // builtin: raw argument tokens

  struct UserParts {
    bool hasArgs = false;
    std::vector<Text> args;
    bool restricted = false;  // the call has an import list
    std::vector<Text> imports;
  };
  const UserParts& userParts(const Text& callText) const;

 private:
  mutable bool userParsed_ = false;
  mutable UserParts user_;
};
using CallFormRef = Ref<const CallForm>;

// The forms of a text, made on first use.
ProgramRef wholeProgram(const Text& text);
// The text without its first and last byte, as blocks and bodies are run.
// `what` names the text in the error raised when it is shorter than two bytes.
ProgramRef innerProgram(const Text& text, const char* what);
ExprFormRef exprForm(const Text& text);
const TermForm& termForm(const Text& term);
Op opForm(const Text& token);
CallFormRef callForm(const Text& callText);
// The names of a member path `(a b c)`.
ExprFormRef memberPathForm(const Text& target);

ProgramRef compileProgram(const StatementList& list);

// The text cut at every "$": empty pieces between two "$" stay, a "$" at the
// very end adds no empty piece, and the empty text gives none.
std::vector<std::string_view> splitAtDollar(std::string_view text);

}  // namespace velk
