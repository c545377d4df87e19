// How deep code is nested. Every body, block and call being run, and every
// builtin call (whose arguments can call again), counts one level while it
// runs. Deep but finite nesting (a function recursing tens of thousands of
// times) works; endless nesting fails fast with "recursion too deep", long
// before the stack guard, which measures bytes and would let small frames
// nest millions deep first.
#pragma once

#include <cstddef>

namespace velk {

inline constexpr size_t kMaxNesting = 100000;

class NestingCount {
 public:
  NestingCount() {
    if (++depth_ > kMaxNesting) tooDeep();
  }
  ~NestingCount() { --depth_; }
  NestingCount(const NestingCount&) = delete;
  NestingCount& operator=(const NestingCount&) = delete;

 private:
  [[noreturn]] static void tooDeep();
  static inline size_t depth_ = 0;
};

}  // namespace velk
