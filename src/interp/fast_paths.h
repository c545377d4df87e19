// The evaluator's fast paths: the few shortcuts kept in front of the general
// path, each named here, each with a build switch, and each checked against
// the general path in a check build.
//
// A fast path gives what the general path gives, only sooner; switched off
// (-DVELK_FAST_<NAME>=0), velk takes the general path there and runs every
// program alike. Built with VELK_CHECK_FAST_PATHS, each fast path that
// answers also computes the general path's answer and aborts, naming the
// path, when the two differ, so that the end-to-end suite in that build tests
// every shortcut against the rule it stands for.
//
//   REMEMBERED_TERM     a lone variable or literal read through the lookup
//                       remembered beside it, before anything is set up
//   QUIET_BINARY        `a op b` of two variables or literals, both read
//                       where they lie
//   UNHIDDEN_TERM       a literal, group, call or block evaluated without
//                       looking it up as a name first, in a map that binds
//                       no name spelt like one of those
//   NUMBER_STEP         two integers joined by an operator that gives an
//                       integer, or two numbers (one a float) by an
//                       arithmetic operator or an ordering, made without a
//                       call to applyOperator
//   QUICK_INTEGER       an integer expression that runs no code (variables,
//                       literals and groups of them, joined by operators
//                       that give integers or compare texts) computed
//                       without a Value for any step
//   IN_PLACE_STEP       `x += 1`, `s += "t"`, `f *= 0.5` changing the target
//                       in place
//   PRECOMPUTED_ARGUMENT  a call argument `(n - 1)` of two quiet integer
//                       terms made in the argument's slot at once
//   CALLEE_NAME         a user call's callee that is a lone name, looked up
//                       at once instead of evaluated as an expression
//   LONE_END            a `compare` body that is one `end` with a value:
//                       the value made in the caller's result, with no run
//                       set up for the body
//   REBIND_ITEM         `each` binding its element where the previous one
//                       lies (and reusing a byte's string Value nothing else
//                       holds), so that remembered lookups stay good
//   CALLER_ARGUMENT     a builtin's argument that runs no code and reads no
//                       argument name, read in the caller's map instead of
//                       a call map made for it, and read once by a builtin
//                       that evaluates it twice
//
// Each earns its place by callgrind: switched off alone, it costs at least
// one workload of bench/ several percent of its instructions.
#pragma once

#include <string_view>

#ifndef VELK_CHECK_FAST_PATHS
#define VELK_CHECK_FAST_PATHS 0
#endif
#ifndef VELK_FAST_REMEMBERED_TERM
#define VELK_FAST_REMEMBERED_TERM 1
#endif
#ifndef VELK_FAST_QUIET_BINARY
#define VELK_FAST_QUIET_BINARY 1
#endif
#ifndef VELK_FAST_UNHIDDEN_TERM
#define VELK_FAST_UNHIDDEN_TERM 1
#endif
#ifndef VELK_FAST_NUMBER_STEP
#define VELK_FAST_NUMBER_STEP 1
#endif
#ifndef VELK_FAST_QUICK_INTEGER
#define VELK_FAST_QUICK_INTEGER 1
#endif
#ifndef VELK_FAST_IN_PLACE_STEP
#define VELK_FAST_IN_PLACE_STEP 1
#endif
#ifndef VELK_FAST_PRECOMPUTED_ARGUMENT
#define VELK_FAST_PRECOMPUTED_ARGUMENT 1
#endif

#ifndef VELK_FAST_LONE_END
#define VELK_FAST_LONE_END 1
#endif
#ifndef VELK_FAST_CALLEE_NAME
#define VELK_FAST_CALLEE_NAME 1
#endif
#ifndef VELK_FAST_REBIND_ITEM
#define VELK_FAST_REBIND_ITEM 1
#endif
#ifndef VELK_FAST_CALLER_ARGUMENT
#define VELK_FAST_CALLER_ARGUMENT 1
#endif

namespace velk {

class Value;

namespace fast_path {

inline constexpr bool kCheck = VELK_CHECK_FAST_PATHS;
inline constexpr bool kRememberedTerm = VELK_FAST_REMEMBERED_TERM;
inline constexpr bool kQuietBinary = VELK_FAST_QUIET_BINARY;
inline constexpr bool kUnhiddenTerm = VELK_FAST_UNHIDDEN_TERM;
inline constexpr bool kNumberStep = VELK_FAST_NUMBER_STEP;
inline constexpr bool kQuickInteger = VELK_FAST_QUICK_INTEGER;
inline constexpr bool kInPlaceStep = VELK_FAST_IN_PLACE_STEP;
inline constexpr bool kPrecomputedArgument = VELK_FAST_PRECOMPUTED_ARGUMENT;
inline constexpr bool kLoneEnd = VELK_FAST_LONE_END;
inline constexpr bool kCalleeName = VELK_FAST_CALLEE_NAME;
inline constexpr bool kRebindItem = VELK_FAST_REBIND_ITEM;
inline constexpr bool kCallerArgument = VELK_FAST_CALLER_ARGUMENT;

// Aborts, naming the fast path and what it gave against the general path.
[[noreturn]] void disagree(const char* path, std::string_view fast, std::string_view general);
// Check builds: aborts unless the two Values are alike in every field (type,
// integer, float, text, the very same elements, bytes, argument names and
// members).
void checkSame(const char* path, const Value& fast, const Value& general);
void checkSame(const char* path, bool fast, bool general);

}  // namespace fast_path
}  // namespace velk
