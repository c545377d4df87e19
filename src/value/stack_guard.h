// Guarding recursion. The interpreter recurses for every nested body, call,
// group and nested list, and a script can nest without end (`f = { $f }`).
// The interpreter runs on a large stack of its own; every recursive entry point
// checks how much of it is used and raises "recursion too deep" well before it
// runs out, so that deep but finite recursion works and endless recursion ends
// the run cleanly instead of overflowing the stack.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace velk {

namespace stack_detail {
extern uintptr_t limit;  // lowest frame address allowed; 0 when unguarded
extern uintptr_t top;    // where the guarded stack starts
[[noreturn]] void tooDeep();
}  // namespace stack_detail

// Called where an error is about to be thrown. The address sanitizer cleans
// the stack up for an exception only while less than 64 MiB of it are in use;
// deeper down it leaves stale marks that it then reports as false errors.
// In a sanitizer build this clears the marks of the frames being unwound; in
// any other build it does nothing.
void prepareStackForThrow();

inline void checkStack() {
  auto here = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
  if (here < stack_detail::limit) stack_detail::tooDeep();
}

// Nesting of data (a list inside a list, ...) is limited on its own: a list
// can hold itself, and walking such a cycle should fail fast, long before the
// stack is used up. A NestingGuard lives in each level of a recursive walk.
inline constexpr size_t kMaxDataNesting = 1000000;
class NestingGuard {
 public:
  NestingGuard() {
    if (++depth_ > kMaxDataNesting) {
      --depth_;
      stack_detail::tooDeep();
    }
    checkStack();
  }
  ~NestingGuard() { --depth_; }
  NestingGuard(const NestingGuard&) = delete;
  NestingGuard& operator=(const NestingGuard&) = delete;

 private:
  static inline size_t depth_ = 0;
};

// Runs fn on a fresh thread whose stack holds `stackBytes`, with the guard set
// to leave `reserveBytes` of it unused, and returns fn's result.
int runOnLargeStack(const std::function<int()>& fn, size_t stackBytes, size_t reserveBytes);

}  // namespace velk
