// The parse cache: parsed forms kept beside a text.
//
// The language splits source again whenever it runs: a block at every run, a
// parenthesised token at every evaluation, a call's argument list at every
// call. Each of these parses depends on nothing but the bytes of the text, and
// texts never change, so each is made once, attached to the text's shared
// representation, and found there by every later run: a function body is split
// at its first call and never again, however many copies of the func Value
// exist. The forms are immutable and reference-counted; whoever runs one holds
// a reference, so that it outlives the run even if the text is dropped.
//
// Parsing happens exactly when the uncached interpreter would do it, so a text
// that ends inside an open group ends the process at the same moment. Built
// with VELK_PARSE_CACHE off, nothing is kept and every lookup parses afresh:
// the two builds run every script alike, only at different speeds.
#pragma once

#include <vector>

#include "interp/call_syntax.h"
#include "interp/statements.h"
#include "value/value.h"

namespace velk {

// The token list of an expression (the first statement of its split, after
// "(" and the last byte were cut from a text that starts with "("), or the
// names of a member path `(a b c)`.
class TokenList : public RefCounted {
 public:
  std::vector<Text> tokens;
};
using TokenListRef = Ref<const TokenList>;

// What a term is when no variable bears its name.
// BadNumber: a number term that does not read; reading it again raises the
// error at the moment the term is evaluated.
enum class TermKind { Call, Group, Block, Literal, BadNumber };

struct TermSyntax {
  TermKind kind = TermKind::Literal;
  Value literal;  // a string, integer or float literal
  // Remembered at the term's first evaluation, so that later ones need not
  // look for them beside the term: a call term's syntax, and a group term's
  // expression form (kept beside the term, which whoever holds this syntax
  // holds too; null while unknown and always when forms are not kept).
  mutable CallSyntaxRef call;
  mutable const ExpressionForm* group = nullptr;
};

// An expression's token list with every token resolved once: its syntax as a
// term and the operator it names, whichever position it will stand in (both
// are pure functions of its bytes, so deciding them early is unseen).
class ExpressionForm : public TokenList {
 public:
  std::vector<TermSyntax> terms;
  std::vector<Op> ops;
  // Kept beside its text, so that it outlives an evaluation and its literals
  // can be read where they lie.
  bool kept = false;
  // `a op b` of two terms that are variables or literals (neither a call, a
  // group nor a block, and no leading `not`): reading them runs no code, so
  // both can be read where they lie before the operator applies.
  bool quietBinary = false;
  // One term, and not `not`: the expression is that term's value.
  bool singleTerm = false;
  // Every term a variable or a literal (evaluating it runs no code), and no
  // token spelt like a call's argument name ("arg" and more).
  bool readsNoArgument = false;
  // The lone token is spelt like the whole text, and the text is the shared
  // name object of that spelling, which the form cannot hold (see
  // expressionForm): the text is looked up in the token's place, so that a
  // map's binding of that very object answers at once.
  bool tokenIsText = false;
  // One per token: what looking the token up as a variable found last.
  mutable std::vector<LookupMemo> memos;
  // How often in a row it did not give a quick integer (see quickInteger).
  mutable uint32_t quickMisses = 0;
  static constexpr uint32_t kQuickGiveUp = 4;
  static constexpr uint32_t kQuickRetryEvery = 64;
};
using ExpressionFormRef = Ref<const ExpressionForm>;

// The text as a whole program.
ProgramRef wholeProgram(const Text& text);
// The text without its first and last byte, as blocks and bodies are run.
// `what` names the text in the error raised when it is shorter than two bytes.
ProgramRef innerProgram(const Text& text, const char* what);
// The program innerProgram gives, when it has been made already and is kept
// beside the text; else null (nothing is parsed).
const Program* keptInnerProgram(const Text& text);
ExpressionFormRef expressionForm(const Text& text);
TokenListRef memberPath(const Text& target);
// The term's syntax as kept beside it, or null when nothing is kept (then
// parseTerm makes it afresh).
const TermSyntax* cachedTermSyntax(const Text& term);
TermSyntax parseTerm(const Text& term);
CallSyntaxRef callSyntax(const Text& callText);

}  // namespace velk
