// Guarding recursion. The interpreter recurses for every nested body, call,
// group and nested list, and a script can nest without end (`f = { $f }`).
// Every recursive entry point checks how much of the thread's stack is used
// and raises "recursion too deep" well before it runs out, so that deep but
// finite recursion works and endless recursion ends the run cleanly instead of
// overflowing the stack. The executable runs the interpreter on a large stack
// of its own (runOnLargeStack); on any other thread the guard arms itself from
// the thread's real stack at its first check.
//
// The limits are thread_local, not interpreter state: they describe the stack
// of the thread that runs, whichever interpreter runs on it, and the data
// walks that check them (display form, encoded lists) hold no interpreter.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace velk {

namespace stack_detail {
inline constexpr uintptr_t kUnarmed = UINTPTR_MAX;
// Lowest frame address allowed; kUnarmed until the first check on this
// thread, 0 when the thread's stack cannot be told (then unguarded).
extern thread_local constinit uintptr_t limit;
extern thread_local constinit uintptr_t top;  // where the guarded stack starts
// Arms the guard on first use, else raises "recursion too deep".
void belowLimit(uintptr_t here);
[[noreturn]] void tooDeep();
// The soft stack limit, and how much address space the process may still
// map; SIZE_MAX where there is no limit.
size_t stackLimitBytes();
size_t addressSpaceLeft();
}  // namespace stack_detail

// Called where an error is about to be thrown. The address sanitizer cleans
// the stack up for an exception only while less than 64 MiB of it are in use;
// deeper down it leaves stale marks that it then reports as false errors.
// In a sanitizer build this clears the marks of the frames being unwound; in
// any other build it does nothing.
void prepareStackForThrow();

inline void checkStack() {
  auto here = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
  if (here < stack_detail::limit) stack_detail::belowLimit(here);
}

// Nesting of data (a list inside a list, ...) is limited on its own: a list
// can hold itself, and walking such a cycle should fail fast, long before the
// stack is used up. A NestingGuard lives in each level of a recursive walk;
// like the stack limits, the count belongs to the thread whose stack the walk
// uses.
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
  static inline thread_local constinit size_t depth_ = 0;
};

// Runs fn on a fresh thread whose stack holds `stackBytes`, with the guard set
// to leave `reserveBytes` of it unused, and returns fn's result. Under a
// limit on the address space the stack takes at most a quarter of what is
// left; where a stack that large cannot be had, smaller ones are tried (the
// reserve at most a quarter of each), and where none can, fn runs on the
// calling thread, guarded as far as that thread's stack can really grow.
int runOnLargeStack(const std::function<int()>& fn, size_t stackBytes, size_t reserveBytes);

}  // namespace velk
