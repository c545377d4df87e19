// The large interpreter stack and the depth guard on it.
#include "support/stack_guard.h"

#include <pthread.h>
#include <signal.h>

#include <algorithm>
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

// The stack of the calling thread, as the system reports it: a quarter of it,
// at most 64 MiB, is kept free below the limit.
void armFromThreadStack() {
  limit = 0;
  pthread_attr_t attr;
  if (pthread_getattr_np(pthread_self(), &attr) != 0) return;
  void* low = nullptr;
  size_t size = 0;
  if (pthread_attr_getstack(&attr, &low, &size) == 0 && low && size) {
    size_t reserve = std::min(size / 4, size_t{64} << 20);
    limit = reinterpret_cast<uintptr_t>(low) + reserve;
    top = reinterpret_cast<uintptr_t>(low) + size;
  }
  pthread_attr_destroy(&attr);
}

}  // namespace

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

}  // namespace

int runOnLargeStack(const std::function<int()>& fn, size_t stackBytes, size_t reserveBytes) {
  Job job{&fn, stackBytes, reserveBytes, 0, nullptr, {}};
  sigset_t blocked = processSignals();
  pthread_sigmask(SIG_BLOCK, &blocked, &job.signalMask);
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_t thread;
  bool started = pthread_attr_setstacksize(&attr, stackBytes) == 0 &&
                 pthread_create(&thread, &attr, runJob, &job) == 0;
  pthread_attr_destroy(&attr);
  if (!started) {
    // No large stack to be had: run here, guarded by this thread's own stack.
    try {
      job.result = fn();
    } catch (...) {
      job.error = std::current_exception();
    }
  } else {
    pthread_join(thread, nullptr);
  }
  pthread_sigmask(SIG_SETMASK, &job.signalMask, nullptr);
  if (job.error) std::rethrow_exception(job.error);
  return job.result;
}

}  // namespace velk
