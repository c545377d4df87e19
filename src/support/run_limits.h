// Bounds for running untrusted programs: a folder that files and `cd` are
// confined to, a budget of steps and of time, and caps on the size of one
// value and on the memory in use. Every bound is off unless set, and the velk
// executable sets none; a harness that runs hostile programs (the fuzz targets)
// sets them before a run. All of them live here, in one place.
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

// The bounds in force. Change them between runs only.
RunLimits& runLimits();

// Starts counting steps and time afresh for a new run.
void startRunBudget();

namespace run_limits_detail {
extern bool budgeted;  // any of steps, time or memory is bounded
void takeStep();
}  // namespace run_limits_detail

// One step of a run (a statement, or a nested run starting); raises "step
// limit reached", "time limit reached" or "memory limit reached" once a
// bound is exceeded.
inline void countStep() {
  if (run_limits_detail::budgeted) run_limits_detail::takeStep();
}

// Raises "value too large" when an operation is about to build `bytes` bytes
// of one value beyond the cap; `what` says what was being built.
void checkValueSize(size_t bytes, const char* what);
inline void checkGrowth(size_t bytes, const char* what) {
  if (runLimits().maxValueBytes && bytes > runLimits().maxValueBytes) checkValueSize(bytes, what);
}

// `path` (as a builtin was given it) checked against the confinement folder:
// raises "path outside the sandbox" naming `builtin` when it leads outside,
// or to the folder itself when `allowRoot` is false. Does nothing when files
// are not confined.
void checkConfined(const std::string& path, const char* builtin, bool allowRoot = true);

}  // namespace velk
