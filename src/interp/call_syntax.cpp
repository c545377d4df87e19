// Taking call texts apart: the callee, a builtin's argument tokens, and the
// two rules for the argument and import lists of a user-function call.
#include "interp/call_syntax.h"

#include <string>

#include "interp/statements.h"
#include "parse/group_ends.h"
#include "parse/splitter.h"
#include "support/error.h"

namespace velk {
namespace {

// Which pieces a rejoined text keeps: all, or all but those that begin with
// "L" (the import list of a user call).
enum class Pieces { All, WithoutImports };

std::string joinPieces(const std::vector<std::string_view>& pieces, size_t from, Pieces which) {
  std::string out;
  for (size_t i = from; i < pieces.size(); ++i) {
    if (which == Pieces::WithoutImports && !pieces[i].empty() && pieces[i][0] == 'L') continue;
    out += '$';
    out += pieces[i];
  }
  return out;
}

std::vector<Text> firstStatementTokens(const Text& text) {
  return std::move(splitStatements(text).statements.front());
}
std::vector<Text> firstStatementTokens(std::string_view text) { return firstStatementTokens(Text(text)); }

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

std::vector<std::string_view> piecesAfterDollar(const Text& callText) {
  std::string_view whole = callText.view();
  return splitAtDollar(whole.substr(whole.empty() ? 0 : 1));
}

// Where the callee's name ends in the call text: at the "$" after it, where
// splitAtDollar would make its first cut, or at the end of the text.
size_t calleeEnd(std::string_view whole) {
  if (whole.empty()) return 0;
  size_t at = whole.find('$', 1);
  return at == std::string_view::npos ? whole.size() : at;
}

// Where the group opened by "$(" right after the callee closes, or npos.
// Found as the splitter finds a group's end, so that calls nested in calls
// do not read the text around them through again at every level.
size_t argumentGroupEnd(const Text& callText, size_t afterName) {
  std::string_view whole = callText.view();
  if (afterName + 1 >= whole.size() || whole[afterName] != '$' || whole[afterName + 1] != '(')
    return std::string_view::npos;
  return GroupEnds(&callText, whole).closeOf(afterName + 1);
}

// First rule, for an argument group that holds a "$" (a nested call, a "$" in
// a string): the group is taken whole by its parentheses, so that the nested
// call's pieces are not mistaken for an import list; only "$L(...)" may
// follow it.
// The group and the import text are read from slices of the call text, so
// that calls nested in calls cost memory in proportion to the text.
CallSyntax::UserParts partsByGroup(const Text& callText, size_t groupStart, size_t groupEnd) {
  CallSyntax::UserParts parts;
  parts.args = firstStatementTokens(callText.slice(groupStart, groupEnd - groupStart));
  std::string_view rest = callText.view().substr(groupEnd + 1);
  if (!rest.empty() && rest != "$") {
    if (rest.size() < 2 || rest[0] != '$' || rest[1] != 'L')
      malformedCall(callText, "only an import list $L(...) may follow the argument list");
    std::string_view imports = cutImportPart(rest, callText);
    parts.restricted = true;
    parts.imports = firstStatementTokens(callText.slice(imports.data() - callText.view().data(), imports.size()));
  }
  return parts;
}

// Second rule, for every other call: the pieces cut at every "$" are joined
// back as the argument text, except pieces that begin with "L", which form
// the import list.
CallSyntax::UserParts partsByPieces(const Text& callText) {
  CallSyntax::UserParts parts;
  std::vector<std::string_view> pieces = piecesAfterDollar(callText);
  std::vector<std::string_view> rest(pieces.begin() + 1, pieces.end());
  if (rest.empty()) return parts;
  std::string argPart = joinPieces(rest, 0, Pieces::WithoutImports);
  if (argPart.empty()) {
    // Only an import part (`$f$L(g)`): a call without arguments, restricted.
    parts.restricted = true;
    std::string importPart = joinPieces(rest, 0, Pieces::All);
    parts.imports = firstStatementTokens(cutImportPart(importPart, callText));
    return parts;
  }
  parts.args = firstStatementTokens(cutArgumentPart(argPart, callText));
  rest.erase(rest.begin());  // the argument piece
  if (!rest.empty()) {
    parts.restricted = true;
    std::string importPart = joinPieces(rest, 0, Pieces::All);
    parts.imports = firstStatementTokens(cutImportPart(importPart, callText));
  }
  return parts;
}

}  // namespace

// The name is the first of the pieces that splitAtDollar cuts the text after
// the leading "$" into; there is one whenever that text is not empty. Only
// the first cut is looked for, so that a call's text is not read through.
CallSyntax::CallSyntax(const Text& callText) {
  std::string_view whole = callText.view();
  if (whole.size() > 1) {
    hasName = true;
    // Shared with the tokens of the same spelling, so that looking the
    // callee up compares the names at once.
    name = internName(Text(whole.substr(1, calleeEnd(whole) - 1)));
  }
}

const std::vector<Text>& CallSyntax::parseBuiltinArgs(const Text& callText) const {
  std::string_view whole = callText.view();
  const size_t from = calleeEnd(whole);
  // A second piece is there when something follows the "$" after the name.
  if (from + 1 < whole.size()) {
    // A builtin's argument text is every later piece joined again, so a "$"
    // inside it (a nested call, a string) is harmless. Joined again, the
    // pieces are the call text from the "$" after the name, less one "$"
    // at the very end (which makes no piece): that stretch is read as a
    // slice, so that calls nested in calls cost memory in proportion to
    // the text.
    size_t length = whole.size() - from - (whole.back() == '$' ? 1 : 0);
    if (length < 3) malformedCall(callText, "the argument list is not written as $(...)");
    builtinArgs_ = firstStatementTokens(callText.slice(from + 2, length - 3));
    builtinArgForms_.assign(builtinArgs_.size(), nullptr);
    builtinArgValues_.resize(builtinArgs_.size());
  }
  builtinParsed_ = true;
  return builtinArgs_;
}

const CallSyntax::UserParts& CallSyntax::parseUserParts(const Text& callText) const {
  std::string_view whole = callText.view();
  size_t afterName = 1 + name.size();
  size_t close = argumentGroupEnd(callText, afterName);
  std::string_view group;
  if (close != std::string_view::npos) group = whole.substr(afterName + 2, close - afterName - 2);
  if (close != std::string_view::npos && group.find('$') != std::string_view::npos)
    user_ = partsByGroup(callText, afterName + 2, close);
  else
    user_ = partsByPieces(callText);
  user_.argForms.assign(user_.args.size(), nullptr);
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
