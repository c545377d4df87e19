// The syntax of a `$` call: a call text taken apart into its callee name, the
// argument tokens of a builtin call, and the argument and import lists of a
// user-function call. The parts are parsed when the call gets that far (a
// user call's parts after its callee has been evaluated), each at most once
// per CallSyntax.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "interp/evaluator_interface.h"
#include "support/ref.h"
#include "support/text.h"
#include "value/varmap.h"

namespace velk {

class ExpressionForm;

class CallSyntax : public RefCounted {
 public:
  explicit CallSyntax(const Text& callText);

  bool hasName = false;
  Text name;  // the first piece: the callee term

  // Whether the callee term is one name whose value is the variable of that
  // name where one is bound (so `vars.find(name)` reads it), as learnt from
  // its expression form the first time the callee was evaluated.
  enum class Callee : uint8_t { Unknown, Name, Other };
  mutable Callee callee = Callee::Unknown;
  // The callee's lookup as a name, remembered (see LookupMemo).
  mutable LookupMemo calleeMemo;

  // The builtin `name` is registered as in `table`, or null. The binding is
  // kept, and looked up again whenever the table has changed since, so that a
  // call parsed before the builtins were registered (or under another
  // interpreter) is never stuck with a stale answer.
  BuiltinHandler builtinIn(const BuiltinTable& table) const {
    if (boundGeneration_ != table.generation()) {
      builtin_ = table.find(name.view());
      builtinReadsOnlyArguments_ = table.readsOnlyArguments(name.view());
      boundGeneration_ = table.generation();
    }
    return builtin_;
  }
  // Whether the builtin that builtinIn() last gave reads only its arguments.
  bool builtinReadsOnlyArguments() const { return builtinReadsOnlyArguments_; }

  // A builtin's raw argument tokens.
  const std::vector<Text>& builtinArgs(const Text& callText) const {
    if (builtinParsed_) [[likely]]
      return builtinArgs_;
    return parseBuiltinArgs(callText);
  }
  // The expression form of builtin argument i, remembered once it has been
  // evaluated through its token, as a statement remembers its operand's
  // (CompiledStatement::operandForm); when the call's text holds no argument
  // i, null. Only once builtinArgs has parsed the arguments.
  const ExpressionForm** builtinArgForm(const Text& raw, size_t i) const {
    return i < builtinArgs_.size() && raw.rep() == builtinArgs_[i].rep() ? &builtinArgForms_[i] : nullptr;
  }
  // A string Value of builtin argument i's token, for a call map to bind:
  // the one an earlier call bound, when nothing else holds it any more and it
  // still holds just the token (then nobody can tell it from a new one).
  ValueRef builtinArgValue(size_t i) const {
    ValueRef& v = builtinArgValues_[i];
    if (!v || !v.unique() || !v->isPlainString() || v->text.rep() != builtinArgs_[i].rep()) [[unlikely]]
      v = newValue(Value::string(builtinArgs_[i]));
    return v;
  }

  struct UserParts {
    std::vector<Text> args;
    // One per argument: its expression form once the argument has run, as a
    // statement remembers its operand's (CompiledStatement::operandForm).
    mutable std::vector<const ExpressionForm*> argForms;
    bool restricted = false;  // the call has an import list
    std::vector<Text> imports;
  };
  const UserParts& userParts(const Text& callText) const {
    if (userParsed_) [[likely]]
      return user_;
    return parseUserParts(callText);
  }

 private:
  mutable uint64_t boundGeneration_ = 0;  // no table has generation 0
  mutable BuiltinHandler builtin_ = nullptr;
  mutable bool builtinReadsOnlyArguments_ = false;
  mutable bool builtinParsed_ = false;
  mutable std::vector<Text> builtinArgs_;
  mutable std::vector<const ExpressionForm*> builtinArgForms_;
  mutable std::vector<ValueRef> builtinArgValues_;
  const std::vector<Text>& parseBuiltinArgs(const Text& callText) const;
  const UserParts& parseUserParts(const Text& callText) const;
  mutable bool userParsed_ = false;
  mutable UserParts user_;
};
using CallSyntaxRef = Ref<const CallSyntax>;

// The text cut at every "$": empty pieces between two "$" stay, a "$" at the
// very end adds no empty piece, and the empty text gives none.
std::vector<std::string_view> splitAtDollar(std::string_view text);

}  // namespace velk
