// The interpreter's stack under limits: how large a stack is taken when the
// address space is limited, and that the guard stays armed wherever the run
// ends up. Each test limits a child process, never the test runner itself.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <functional>

#include "test_support.h"
#include "support/error.h"
#include "support/stack_guard.h"

namespace velk {
namespace {

constexpr size_t kMiB = size_t{1} << 20;

// Runs `body` in a child whose address space may grow by `headroom` bytes
// from what it uses now; the child's exit status is body's result.
int inLimitedChild(size_t headroom, const std::function<int()>& body) {
  pid_t pid = ::fork();
  if (pid == 0) {
    size_t left = stack_detail::addressSpaceLeft();
    if (left != SIZE_MAX) ::_exit(90);  // the runner itself must not be limited
    // Find what is in use by setting the limit from the current size.
    struct rlimit rl {};
    rl.rlim_cur = rl.rlim_max = RLIM_INFINITY;
    ::setrlimit(RLIMIT_AS, &rl);
    FILE* f = std::fopen("/proc/self/statm", "r");
    size_t pages = 0;
    if (!f || std::fscanf(f, "%zu", &pages) != 1) ::_exit(91);
    std::fclose(f);
    size_t used = pages * static_cast<size_t>(::sysconf(_SC_PAGESIZE));
    rl.rlim_cur = rl.rlim_max = used + headroom;
    if (::setrlimit(RLIMIT_AS, &rl) != 0) ::_exit(92);
    ::_exit(body());
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return WEXITSTATUS(status);
}

// Recurses until the guard stops it (or far deeper than any stack here).
int recurse(size_t depth) {
  volatile char frame[512];
  frame[0] = static_cast<char>(depth);
  checkStack();
  if (depth > 100000000) return 0;
  return recurse(depth + 1) + frame[0];
}

// 0 when the guard stopped the recursion with "recursion too deep".
int recursesUntilGuarded() {
  try {
    recurse(0);
  } catch (const VelkError& e) {
    return std::string(e.what()) == "recursion too deep" ? 0 : 2;
  }
  return 3;
}

#if defined(VELK_SANITIZE)
constexpr bool kSanitized = true;  // it cannot run in a limited address space
#else
constexpr bool kSanitized = false;
#endif

TEST(StackUnderMemoryLimit, TakesAtMostAQuarterOfTheAddressSpaceLeft) {
  if (kSanitized) GTEST_SKIP();
  int status = inLimitedChild(400 * kMiB, [] {
    return runOnLargeStack(
        [] {
          size_t guarded = stack_detail::top - stack_detail::limit;
          // About 100 MiB, less its reserve of a quarter.
          if (guarded > 100 * kMiB || guarded < 50 * kMiB) return 10;
          return recursesUntilGuarded();
        },
        size_t{2} << 30, size_t{64} << 20);
  });
  EXPECT_EQ(status, 0);
}

TEST(StackUnderMemoryLimit, WithoutAStackOfItsOwnTheCallingThreadIsGuarded) {
  if (kSanitized) GTEST_SKIP();
  // Too little room for even the smallest stack of its own: the run stays on
  // the calling thread, whose stack may grow only into what is left.
  struct rlimit rl {};
  rl.rlim_cur = rl.rlim_max = RLIM_INFINITY;
  int status = inLimitedChild(768 * 1024, [&rl] {
    ::setrlimit(RLIMIT_STACK, &rl);  // an unlimited stack reports a huge size
    return runOnLargeStack(recursesUntilGuarded, size_t{2} << 30, size_t{64} << 20);
  });
  EXPECT_EQ(status, 0);
}

TEST(StackLimits, ReportNoLimitAsTheLargestSize) {
  struct rlimit rl {};
  ASSERT_EQ(::getrlimit(RLIMIT_AS, &rl), 0);
  if (rl.rlim_cur == RLIM_INFINITY) {
    EXPECT_EQ(stack_detail::addressSpaceLeft(), SIZE_MAX);
  }
  ASSERT_EQ(::getrlimit(RLIMIT_STACK, &rl), 0);
  if (rl.rlim_cur != RLIM_INFINITY) {
    EXPECT_EQ(stack_detail::stackLimitBytes(), rl.rlim_cur);
  }
}

}  // namespace
}  // namespace velk
