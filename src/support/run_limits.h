// Bounds for running untrusted programs: a folder that files and `cd` are
// confined to, a budget of steps and of time, and caps on the size of one
// value and on the memory in use. Every bound is off unless set, and the velk
// executable sets none; a harness that runs hostile programs (the fuzz targets)
// gives an interpreter its bounds before a run. Each interpreter keeps its own
// bounds and budget; the checks here are handed the bounds they enforce.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace velk {

struct RunLimits {
  // When not empty (an absolute, canonical folder), every path a builtin or
  // `also` uses must lie inside it, links resolved, and `rm` may not remove
  // the folder itself.
  std::string confineTo;
  // Statements and runs allowed in one run; 0 for no bound.
  uint64_t maxSteps = 0;
  // Wall-clock time allowed in one run; zero for no bound.
  std::chrono::milliseconds maxTime{0};
  // Largest text, byte array or list display one operation may build; 0 for
  // no bound beyond the ones the operations have themselves.
  size_t maxValueBytes = 0;
  // Memory in use, as the harness measures it, and the most allowed; both
  // must be set to bound it.
  size_t (*memoryInUse)() = nullptr;
  size_t maxMemoryBytes = 0;
};

// The steps and time one run has taken against its bounds.
class RunBudget {
 public:
  // Starts counting steps and time afresh under `limits`.
  void start(const RunLimits& limits);
  // One step of a run (a statement, or a nested run starting); raises "step
  // limit reached", "time limit reached" or "memory limit reached" once a
  // bound of `limits` (those the budget was started with) is exceeded.
  void countStep(const RunLimits& limits) {
    if (budgeted_) takeStep(limits);
  }

 private:
  void takeStep(const RunLimits& limits);
  bool budgeted_ = false;  // any of steps, time or memory is bounded
  uint64_t stepsTaken_ = 0;
  std::chrono::steady_clock::time_point deadline_;
};

// Raises "value too large" when an operation is about to build `bytes` bytes
// of one value beyond `maxBytes` (0: no cap); `what` says what was being
// built.
[[noreturn]] void failValueSize(size_t bytes, size_t maxBytes, const char* what);
inline void checkGrowth(size_t bytes, size_t maxBytes, const char* what) {
  if (maxBytes && bytes > maxBytes) failValueSize(bytes, maxBytes, what);
}

// `path` (as a builtin was given it) checked against the confinement folder
// of `limits`: raises "path outside the sandbox" naming `builtin` when it
// leads outside, or to the folder itself when `allowRoot` is false. Does
// nothing when files are not confined.
void checkConfined(const RunLimits& limits, const std::string& path, const char* builtin, bool allowRoot = true);

}  // namespace velk
