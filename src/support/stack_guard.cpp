// The large interpreter stack and the depth guard on it.
#include "support/stack_guard.h"

#include <pthread.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <exception>

#include "support/error.h"

namespace velk {

#if defined(__SANITIZE_ADDRESS__)
extern "C" void __asan_unpoison_memory_region(void const volatile* addr, size_t size);
#endif

namespace stack_detail {
thread_local constinit uintptr_t limit = kUnarmed;
thread_local constinit uintptr_t top = 0;

void tooDeep() { fail("recursion too deep", "the nesting of calls, blocks or lists exceeds the interpreter's stack"); }

namespace {

// A quarter of a stack, at most 64 MiB, is kept free below the limit.
size_t reserveFor(size_t stackBytes) { return std::min(stackBytes / 4, size_t{64} << 20); }

// The stack of the calling thread, as the system reports it. A stack that
// grows on demand (the main thread's) can grow only as far as the stack
// limit and the address space left allow, whatever size is reported: an
// unlimited stack under a memory limit would otherwise overflow into a
// signal before the guard sees it.
void armFromThreadStack() {
  limit = 0;
  pthread_attr_t attr;
  if (pthread_getattr_np(pthread_self(), &attr) != 0) return;
  void* low = nullptr;
  size_t size = 0;
  if (pthread_attr_getstack(&attr, &low, &size) == 0 && low && size) {
    uintptr_t high = reinterpret_cast<uintptr_t>(low) + size;
    auto here = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
    // What is in use already stays counted; only the growth below is capped.
    size_t used = here < high ? high - here : 0;
    size_t left = addressSpaceLeft();
    size_t growable = left > SIZE_MAX - used ? SIZE_MAX : used + left;
    size_t usable = std::min({size, stackLimitBytes(), growable});
    limit = high - usable + reserveFor(usable);
    top = high;
  }
  pthread_attr_destroy(&attr);
}

}  // namespace

size_t stackLimitBytes() {
  struct rlimit rl {};
  if (getrlimit(RLIMIT_STACK, &rl) != 0 || rl.rlim_cur == RLIM_INFINITY) return SIZE_MAX;
  return static_cast<size_t>(rl.rlim_cur);
}

size_t addressSpaceLeft() {
  struct rlimit rl {};
  if (getrlimit(RLIMIT_AS, &rl) != 0 || rl.rlim_cur == RLIM_INFINITY) return SIZE_MAX;
  size_t limitBytes = static_cast<size_t>(rl.rlim_cur);
  // The first figure of statm is the size of the address space in use, in pages.
  size_t pages = 0;
  if (FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%zu", &pages) != 1) pages = 0;
    std::fclose(f);
  }
  size_t used = pages * static_cast<size_t>(::sysconf(_SC_PAGESIZE));
  return used < limitBytes ? limitBytes - used : 0;
}

void belowLimit(uintptr_t here) {
  if (limit == kUnarmed) {
    armFromThreadStack();
    if (here >= limit) return;
  }
  tooDeep();
}
}  // namespace stack_detail

void prepareStackForThrow() {
#if defined(__SANITIZE_ADDRESS__)
  auto here = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
  if (stack_detail::top > here)
    __asan_unpoison_memory_region(reinterpret_cast<void*>(here), stack_detail::top - here);
#endif
}

namespace {

struct Job {
  const std::function<int()>* fn;
  size_t stackBytes;
  size_t reserveBytes;
  int result = 0;
  std::exception_ptr error;
  sigset_t signalMask;  // the starting thread's, before it blocked the signals below
};

// The signals a terminal or another process sends to velk as a whole. The
// thread that only waits for the interpreter blocks them, so that they all
// reach the interpreter's thread: a Ctrl-C then cuts short the read that the
// interpreter is waiting in, and the line editor sees every signal it handles.
sigset_t processSignals() {
  sigset_t set;
  sigemptyset(&set);
  for (int sig : {SIGINT, SIGQUIT, SIGTSTP, SIGCONT, SIGWINCH, SIGTERM, SIGHUP, SIGTTIN, SIGTTOU, SIGALRM})
    sigaddset(&set, sig);
  return set;
}

void* runJob(void* p) {
  auto* job = static_cast<Job*>(p);
  pthread_sigmask(SIG_SETMASK, &job->signalMask, nullptr);
  auto top = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
  uintptr_t savedLimit = stack_detail::limit, savedTop = stack_detail::top;
  // The stack grows downwards from about `top`; keep the reserve free below.
  stack_detail::limit = top - (job->stackBytes - job->reserveBytes);
  stack_detail::top = top;
  try {
    job->result = (*job->fn)();
  } catch (...) {
    job->error = std::current_exception();
  }
  stack_detail::limit = savedLimit;
  stack_detail::top = savedTop;
  return nullptr;
}

// A thread's stack is mapped whole when the thread starts. Under a limit on
// the address space, the stack takes at most a quarter of what is left, so
// that the values of the run have the rest.
constexpr size_t kSmallestStack = size_t{1} << 20;

bool startThread(pthread_t& thread, Job& job) {
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  bool started = pthread_attr_setstacksize(&attr, job.stackBytes) == 0 &&
                 pthread_create(&thread, &attr, runJob, &job) == 0;
  pthread_attr_destroy(&attr);
  return started;
}

}  // namespace

int runOnLargeStack(const std::function<int()>& fn, size_t stackBytes, size_t reserveBytes) {
  Job job{&fn, stackBytes, reserveBytes, 0, nullptr, {}};
  sigset_t blocked = processSignals();
  pthread_sigmask(SIG_BLOCK, &blocked, &job.signalMask);
  size_t left = stack_detail::addressSpaceLeft();
  if (left != SIZE_MAX) job.stackBytes = std::min(stackBytes, left / 4);
  // Smaller and smaller stacks, each with its reserve in proportion, until
  // one can be had.
  pthread_t thread;
  bool started = false;
  for (; job.stackBytes >= kSmallestStack; job.stackBytes /= 2) {
    job.reserveBytes = std::min(reserveBytes, job.stackBytes / 4);
    if ((started = startThread(thread, job))) break;
  }
  if (!started) {
    // No stack of its own to be had: run here, guarded by this thread's own
    // stack as far as it can really grow, measured at the first check.
    uintptr_t savedLimit = stack_detail::limit, savedTop = stack_detail::top;
    stack_detail::limit = stack_detail::kUnarmed;
    try {
      job.result = fn();
    } catch (...) {
      job.error = std::current_exception();
    }
    stack_detail::limit = savedLimit;
    stack_detail::top = savedTop;
  } else {
    pthread_join(thread, nullptr);
  }
  pthread_sigmask(SIG_SETMASK, &job.signalMask, nullptr);
  if (job.error) std::rethrow_exception(job.error);
  return job.result;
}

}  // namespace velk
