// Interrupting a running statement. At a terminal, Ctrl-C sets the request
// (from a signal handler); the executor looks at it before every statement,
// which every loop turn passes through, and stops the run with an Interrupted
// exception, which the typed line's run catches. Work that can take long
// within one statement looks at it too: every scan of text, at its start and
// every so many bytes, which includes the split of every level of a nested
// expression, block, call or encoded list as it is first read. Without a
// terminal nothing sets it.
#pragma once

#include <csignal>
#include <cstddef>
#include <exception>

namespace velk {

extern volatile std::sig_atomic_t interruptRequested;
// How many interruptible runs (lines typed at the prompt) are going on. A
// request made outside them (while the REPL's own code runs between two
// prompts) waits for the next read, which drops it.
extern int interruptibleRuns;

class Interrupted : public std::exception {
 public:
  Interrupted();
  const char* what() const noexcept override { return "interrupted"; }
};

// One interruptible run: a line typed at the prompt, while it runs.
class InterruptibleRun {
 public:
  InterruptibleRun() { ++interruptibleRuns; }
  ~InterruptibleRun() { --interruptibleRuns; }
  InterruptibleRun(const InterruptibleRun&) = delete;
  InterruptibleRun& operator=(const InterruptibleRun&) = delete;
};

// Ctrl-C's handler at a terminal: it sets the request.
void requestInterrupt(int);

// While one lives, Ctrl-C cuts short a system call that waits (opening a
// FIFO that no one holds at the other end, reading or writing one) instead of
// letting it restart: the call fails with EINTR, and the loop around it calls
// checkInterrupt, which stops a typed line. Outside these waits the calls
// restart, so that output is never cut by a Ctrl-C. Where Ctrl-C is not
// caught (no terminal) it changes nothing.
class InterruptibleWait {
 public:
  InterruptibleWait();
  ~InterruptibleWait();
  InterruptibleWait(const InterruptibleWait&) = delete;
  InterruptibleWait& operator=(const InterruptibleWait&) = delete;

 private:
  bool changed_ = false;
};

// Cheap enough for every statement: one load of a flag.
inline void checkInterrupt() {
  if (interruptRequested && interruptibleRuns > 0) [[unlikely]] {
    interruptRequested = 0;
    throw Interrupted();
  }
}

// For a scan of text: looks at the request at the start and then once every
// kBytes bytes, given the offset reached (which may jump ahead). Texts are
// scanned when they are parsed, and a kept parse spares the paths that run
// over and over, so this costs them nothing.
class InterruptPoll {
 public:
  static constexpr size_t kBytes = 64 * 1024;
  void at(size_t offset) {
    if (offset >= next_) [[unlikely]] {
      checkInterrupt();
      next_ = offset + kBytes;
    }
  }

 private:
  size_t next_ = 0;
};

}  // namespace velk
